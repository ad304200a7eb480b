// changes.cpp - the changes log: which old name becomes which catalogue name, on the console and in VBoyLog.txt
#include "rename/rename.h"

#include "run/options.h"

#include <string>

AppendFile ChangesLog(ChangesLogName);

void CloseChangesLog()
{
    CloseAppendFile(&ChangesLog);
}

void LogChange(const char* oldName, const char* canonicalName)
{
    if (!OptChanges)
        return;
    std::string newName = canonicalName;
    if (OptSep)
        ApplySeparator(newName);
    std::string old = NameWithoutExtension(oldName);
    if (!OptChangesAll && old == newName)
        return;
    OpenAppendFile(&ChangesLog);
    std::string line;
    if (OptChangesReverse)
        line = "O: \"" + old + "\"  N: \"" + newName + "\"\n";
    else
        line = "N: \"" + newName + "\"  O: \"" + old + "\"\n";
    if (!OptQuiet)
        fputs(line.c_str(), stdout);
    // The log says what is about to happen: it reaches the file before the
    // file it speaks of is moved.
    WriteAppendFile(&ChangesLog, line.c_str(), true);
}
