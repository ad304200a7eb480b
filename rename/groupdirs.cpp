// groupdirs.cpp - creating VBoyRen and every group folder of the group table before the first move
#include "rename/rename.h"

#include "groupinfo/groupinfo.h"
#include "platform/platform.h"
#include "run/options.h"

#include <cstring>
#include <string>

bool CreateGroupDirs()
{
    if (!CreateOutputDir(OutputDirName))
        return false;
    bool secondColumn = false;
    for (int g = 0; g < GroupSlotCount; g++) {
        const char* dir = GroupTable[g].directory;
        if (dir[0] == '\0')
            continue;
        bool seen = false;
        for (int e = 0; e < g && !seen; e++)
            seen = strcmp(GroupTable[e].directory, dir) == 0;
        if (seen)
            continue;
        if (!OptQuiet) {
            printf("Creating %-25s  %s", dir, secondColumn ? "\n" : "");
            secondColumn = !secondColumn;
        }
        std::string base = std::string(OutputDirName) + PathSeparator;
        for (const char* p = dir; *p != '\0'; p++) {
            if (*p != PathSeparator)
                continue;
            if (!CreateOutputDir(base + std::string(dir, p)))
                return false;
        }
    }
    if (secondColumn)
        printf("\n");
    return true;
}
