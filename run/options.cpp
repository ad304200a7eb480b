// options.cpp - RunOptions, the matching of command-line words by letter positions, and the run's directories
#include "run/options.h"

#include "platform/platform.h"

#include <cctype>
#include <cstring>

const char* const SystemTable[] = {
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", ".vb",
};

int32_t OptRename;
int32_t OptMove;
int32_t OptList;
int32_t OptListDirs;
int32_t OptScan;
int32_t OptScanNew;
int32_t OptScanDirs;
int32_t OptDeep;
int32_t OptDirs;
int32_t OptQuiet;
int32_t OptChanges;
int32_t OptChangesReverse;
int32_t OptChangesAll = 1;
int32_t OptNoDb;
int32_t OptShortNames;
int32_t OptSep;
int32_t OptNoSep;
char SepChar = ' ';
int32_t OptAudit;
int32_t OptAudit2;
int32_t OptAudit3;
int32_t OptAudit4;
int32_t OptCrcFile;
int32_t OptBannerToStdout;
int32_t OptUndo;
std::string OptDatPath;
std::vector<std::string> ArgumentWords;

void ResetRunOptions()
{
    OptRename = OptMove = OptList = OptListDirs = 0;
    OptScan = OptScanNew = OptScanDirs = OptDeep = OptDirs = OptQuiet = 0;
    OptChanges = OptChangesReverse = 0;
    OptChangesAll = 1;
    OptNoDb = OptShortNames = OptSep = OptNoSep = 0;
    SepChar = ' ';
    OptAudit = OptAudit2 = OptAudit3 = OptAudit4 = 0;
    OptCrcFile = OptBannerToStdout = OptUndo = 0;
    OptDatPath.clear();
    ArgumentWords.clear();
}

// The character at position pos (counted from 1), letters in upper case;
// 0 when the argument is not that long.
static char At(const char* arg, size_t len, size_t pos)
{
    if (pos > len)
        return 0;
    return (char)toupper((unsigned char)arg[pos - 1]);
}

void MatchArgument(const char* arg)
{
    size_t len = strlen(arg);
    char c1 = At(arg, len, 1);

    if (c1 == 'V' && At(arg, len, 7) == 'N')
        OptBannerToStdout = 1;
    if (c1 == 'L') {
        OptList = 1;
        if (At(arg, len, 5) == 'D')
            OptListDirs = 1;
    }
    if (c1 == 'R')
        OptRename = 1;
    if (c1 == 'D' && At(arg, len, 4) == 'S')
        OptDirs = 1;
    if (c1 == 'D' && At(arg, len, 4) == 'P')
        OptDeep = 1;
    if (c1 == 'S' && At(arg, len, 4) == 'N') {
        OptScan = 1;
        if (At(arg, len, 5) == 'N') {
            OptScanNew = 1;
            if (At(arg, len, 8) == 'D')
                OptScanDirs = 1;
        }
        if (At(arg, len, 5) == 'D')
            OptScanDirs = 1;
    }
    if (c1 == 'Q')
        OptQuiet = 1;
    if (c1 == 'A' && At(arg, len, 5) == 'T') {
        OptAudit = 1;
        if (len >= 6 && arg[5] == '2')
            OptAudit2 = 1;
        if (len >= 6 && arg[5] == '3')
            OptAudit3 = 1;
        if (len >= 6 && arg[5] == '4')
            OptAudit4 = 1;
    }
    if (c1 == 'N' && At(arg, len, 4) == 'B')
        OptNoDb = 1;
    if (c1 == 'F' && At(arg, len, 7) == '3')
        OptShortNames = 1;
    if (c1 == 'N' && At(arg, len, 5) == 'P') {
        OptSep = 1;
        OptNoSep = 1;
    }
    if (c1 == 'S' && At(arg, len, 3) == 'P' && len == 4) {
        OptSep = 1;
        SepChar = arg[3];
    }
    if (c1 == 'C' && At(arg, len, 2) == 'H') {
        OptChanges = 1;
        if (At(arg, len, 8) == 'N') {
            OptChangesAll = 0;
            if (At(arg, len, 11) == '-')
                OptChangesReverse = 1;
        }
        if (At(arg, len, 8) == '-')
            OptChangesReverse = 1;
    }
    if (c1 == 'C' && At(arg, len, 7) == 'T')
        printf("Cannot convert this system to other formats\n");
    if (c1 == 'M' && At(arg, len, 3) == 'V') {
        OptMove = 1;
        OptRename = 1;
    }
    if (c1 == 'M' && At(arg, len, 9) == 'S')
        OptCrcFile = 1;
    if (c1 == 'U' && At(arg, len, 2) == 'N')
        OptUndo = 1;
    if (c1 == 'D' && At(arg, len, 2) == 'A' && At(arg, len, 3) == 'T' && At(arg, len, 4) == '=')
        OptDatPath = arg + 4;
}

int ParseArguments(int argc, char** argv)
{
    for (int i = 1; i < argc; i++) {
        ArgumentWords.push_back(argv[i]);
        MatchArgument(argv[i]);
    }
    if (SepChar != ' ' && OptNoSep)
        OptCrcFile = 2;
    return OptScan + OptRename + OptList + OptCrcFile + OptBannerToStdout + OptAudit + OptUndo;
}

std::string StartDirectory;
std::string ProgramDirectory;

std::string ProgramDirectoryOf(const std::string& programPath)
{
    size_t cut = programPath.find_last_of(PathSeparator);
#ifdef _WIN32
    size_t slash = programPath.find_last_of('/');
    if (slash != std::string::npos && (cut == std::string::npos || slash > cut))
        cut = slash;
#endif
    std::string dir = (cut != std::string::npos && cut > 0) ? programPath.substr(0, cut) : programPath;
    return dir + PathSeparator;
}

FILE* NoticeStream()
{
    return OptCrcFile ? stderr : stdout;
}
