// rename.cpp - moving known images into VBoyRen under their catalogue names, duplicates into VBoyDupes
#include "rename/rename.h"

#include "catalogue/catalogue.h"
#include "groupinfo/groupinfo.h"
#include "platform/platform.h"
#include "run/imagebuffer.h"
#include "run/options.h"

#include <cctype>
#include <cstring>
#include <map>

int32_t OutputDirPrepared;

// The result of NextTempName, overwritten by every call.
static std::string tempName;

// For each duplicates target, the last alternative name this run found taken
// or filled.
static std::map<std::string, std::string> lastAlternative;

void ResetRename()
{
    OutputDirPrepared = 0;
    tempName.clear();
    lastAlternative.clear();
}

std::string NameExtension(const std::string& name)
{
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0)
        return std::string();
    return name.substr(dot);
}

std::string NameWithoutExtension(const std::string& name)
{
    return name.substr(0, name.size() - NameExtension(name).size());
}

// The extension a moved file keeps: a file named just ".vb" (or ".zip") is
// all extension.
static std::string KeptExtension(const char* oldName)
{
    std::string ext = NameExtension(oldName);
    return ext.empty() && oldName[0] == '.' ? std::string(oldName) : ext;
}

std::string& ApplySeparator(std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != ' ')
            out += c;
        else if (!OptNoSep)
            out += SepChar;
    }
    text.swap(out);
    return text;
}

const char* NextTempName(const char* path)
{
    tempName = path;
    size_t n = tempName.size();
    char last = n >= 1 ? tempName[n - 1] : '0';
    char prev = n >= 2 ? tempName[n - 2] : '0';
    if (last == '9' && prev == '9') {
        printf("Out of temp filenames!\n");
        return nullptr;
    }
    if (!isdigit((unsigned char)prev))
        prev = '0';
    if (isdigit((unsigned char)last)) {
        last++;
        if (last > '9') {
            last = '0';
            prev++;
        }
    } else {
        last = '0';
    }
    if (n >= 1)
        tempName[n - 1] = last;
    if (n >= 2 && prev != '0')
        tempName[n - 2] = prev;
    return tempName.c_str();
}

bool CreateOutputDir(const std::string& dir)
{
    uint32_t error = PlatformCreateDirectory(dir);
    if (error == 0)
        JournalDirectory(dir);
    if (error == 0 || error == ErrorAlreadyExists)
        return true;
    fprintf(stderr, "Error creating dir: '%s'\n", dir.c_str());
    return false;
}

static bool Taken(uint32_t error)
{
    return error == ErrorAlreadyExists || error == ErrorAccessDenied;
}

// Says that a move failed for another reason than a taken target: the file
// stays where it is.
static void ReportFailedMove(const char* oldName, const std::string& target, uint32_t error)
{
    // A move the journal refused was never tried; the journal's failure has
    // been reported.
    if (error != 0 && error != ErrorNotJournaled)
        fprintf(stderr, "Cannot move %s to %s\n", oldName, target.c_str());
}

std::string NewImageName(const char* canonical)
{
    std::string name = canonical;
    if (OptShortNames && name.size() > ShortNameLimit) {
        int32_t saved = OptNoSep;
        OptNoSep = 1;
        ApplySeparator(name);
        OptNoSep = saved;
        if (name.size() > ShortNameLimit)
            name = name.substr(0, ShortNameHead) + "..." + name.substr(name.size() - ShortNameTail);
    }
    if (OptSep)
        ApplySeparator(name);
    return name;
}

// Lower-cases ASCII letters.
static std::string Lower(std::string text)
{
    for (char& c : text)
        c = (char)tolower((unsigned char)c);
    return text;
}

// Sends a file whose target is taken into VBoyDupes, under numbered
// alternative names while those are taken too; it stays where it is when
// VBoyDupes cannot be created.
static void MoveToDupes(const char* oldName, const char* canonical)
{
    if (!CreateOutputDir(DupesDirName))
        return;
    std::string target = std::string(DupesDirName) + PathSeparator;
    if (OptMove)
        target += oldName;
    else
        target += std::string(canonical) + KeptExtension(oldName);
    uint32_t error = JournaledMove(oldName, target);
    if (!Taken(error)) {
        ReportFailedMove(oldName, target, error);
        return;
    }
    // The alternatives this run has already filled are taken still: the
    // sequence goes on after the last one.
    std::string& last = lastAlternative[target];
    std::string current = last.empty() ? target : last;
    const char* alternative;
    while ((alternative = NextTempName(current.c_str())) != nullptr) {
        current = alternative;
        error = JournaledMove(oldName, current);
        if (!Taken(error)) {
            if (error == 0)
                last = current;
            ReportFailedMove(oldName, current, error);
            break;
        }
        last = current;
    }
}

void RenameImage(const ImageInHand& image)
{
    int i = image.entry;
    const char* oldName = image.name;
    if (i < 0)
        return;
    if (!OutputDirPrepared) {
        OutputDirPrepared = 1;
        if (!OptList) {
            // The image stays where it is, but it is in the collection.
            if (!CreateOutputDir(OutputDirName)) {
                AddCopy(i);
                return;
            }
            if (!OptMove && OptDirs && GroupTableLoaded)
                CreateGroupDirs();
        }
    }
    const char* canonical = EntryName(i);
    LogChange(oldName, canonical);
    if (!OptList) {
        std::string target = std::string(OutputDirName) + PathSeparator;
        if (OptMove) {
            target += oldName;
        } else {
            int g = (OptDirs && GroupTableLoaded) ? FindGroup(i) : -1;
            // A group folder of no level puts the image in VBoyRen itself.
            if (g >= 0 && strcmp(GroupTable[g].directory, std::string(1, PathSeparator).c_str()) != 0)
                target += GroupTable[g].directory;
            target += NewImageName(canonical);
            if (image.inArchive)
                target += ".zip";
            else if (g >= 0 && GroupTable[g].extension[0] != '\0')
                target += std::string(".") + GroupTable[g].extension;
            else
                target += Lower(KeptExtension(oldName));
        }
        uint32_t error = JournaledMove(oldName, target);
        if (Taken(error)) {
            if (!OptQuiet)
                printf("File %s already exists (Original: %s)\n", target.c_str(), oldName);
            MoveToDupes(oldName, canonical);
        } else {
            ReportFailedMove(oldName, target, error);
        }
    }
    AddCopy(i);
}
