// fuzz_groupinfo.cpp - fuzz target: the group information reader over any text, and the group lookup over what it stored
#include "fuzz.h"

#include "catalogue/catalogue.h"
#include "groupinfo/groupinfo.h"
#include "platform/platform.h"
#include "rename/rename.h"
#include "run/imagebuffer.h"
#include "run/options.h"
#include "run/outputfile.h"

#include <cstring>

namespace {

// True when field holds a terminator within its size.
bool Terminated(const char* field, size_t size)
{
    return memchr(field, '\0', size) != nullptr;
}

// A stored directory stays below VBoyRen: relative, no drive, no parent
// level, native separators, and one separator at its end (a lone separator
// is the directory of an empty directory text).
bool SafeDirectory(const char* dir)
{
    size_t len = strlen(dir);
    if (len == 0)
        return true;
    if (len == 1)
        return dir[0] == PathSeparator;
    if (dir[len - 1] != PathSeparator || dir[0] == '\\' || dir[0] == '/')
        return false;
    if (len >= 2 && dir[1] == ':')
        return false;
    const char* level = dir;
    for (const char* p = dir; *p != '\0'; p++) {
        if (*p == '\\' || *p == '/') {
            if (*p != PathSeparator)
                return false;
            if (p - level == 2 && level[0] == '.' && level[1] == '.')
                return false;
            level = p + 1;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::SilenceConsole();
    ResetGroupTable();
    CrcKey = 0;
    FILE* stream = fuzz::OpenBytes(data, size, false);
    ReadGroupInfo(stream);
    fclose(stream);

    for (const GroupSlot& slot : GroupTable) {
        fuzz::Check(Terminated(slot.pattern, sizeof slot.pattern), "a pattern fills its whole field");
        fuzz::Check(Terminated(slot.directory, sizeof slot.directory), "a directory fills its whole field");
        fuzz::Check(Terminated(slot.extension, sizeof slot.extension), "an extension fills its whole field");
        fuzz::Check(strlen(slot.extension) <= 5, "an extension of more than 5 characters");
        fuzz::Check(slot.listMissing == 0 || slot.listMissing == 1, "listMissing neither 0 nor 1");
        fuzz::Check(SafeDirectory(slot.directory), "a directory that leads outside VBoyRen");
        fuzz::Check(slot.pattern[0] == '\0' || slot.directory[0] != '\0', "a rule without its directory");
    }
    GroupTableLoaded = 1;
    for (int i = 0; i < KnownRomCount; i++) {
        int g = FindGroup(i);
        fuzz::Check(g >= -1 && g < GroupSlotCount, "FindGroup outside the table");
    }
    return 0;
}
