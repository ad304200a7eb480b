// run.cpp - QuorVBoy's entry point: the banner, the usage text and the fixed order of a run
#include "run/run.h"

#include "catalogue/catalogue.h"
#include "groupinfo/groupinfo.h"
#include "identify/identify.h"
#include "intake/intake.h"
#include "platform/platform.h"
#include "rename/rename.h"
#include "reports/reports.h"
#include "run/imagebuffer.h"
#include "run/options.h"
#include "run/outputfile.h"

#include <new>

void PrintBanner()
{
    FILE* out = OptBannerToStdout ? stdout : stderr;
    fprintf(out, "%s: %s ROM auditor, renamer and sorter V%s\n", ProgramName, SystemFullName,
            ProgramVersion);
    fprintf(out, "Names and sorts your collection; never overwrites a file.\n");
}

void PrintUsage()
{
    PrintBanner();
    fflush(stdout);
    fprintf(stderr,
            "Usage: %s [rename|move|scan[d]|scannew[d]|list[d]|audit[2]%s\n"
            "       [changes[-]] [changesnew[-]] [quiet] [dirs] [deep] [sep_]",
            ProgramName, "");
    fprintf(stderr, "\n\n");
    fprintf(stderr, "rename     = rename ROMs\n");
    fprintf(stderr, "move       = move ROMs\n");
    fprintf(stderr, "scan       = generate listing of all ROMs [w/dirs]\n");
    fprintf(stderr, "scannew    = generate listing of unknown ROMs [w/dirs]\n");
    fprintf(stderr, "list       = lists ROMs you have/need [w/dirs]\n");
    fprintf(stderr, "audit      = prints names not matching any line in Quorinfo.cfg\n");
    fprintf(stderr, "changes    = log rename/move operations (- reverses)\n");
    fprintf(stderr, "changesnew = log rename/move operations that change a filename\n");
    fprintf(stderr, "dirs       = move to dirs using Quorinfo.cfg info\n");
    fprintf(stderr, "quiet      = suppress most non-error messages\n");
    fprintf(stderr, "sepX       = replaces space in filenames with char X\n");
    fprintf(stderr, "deep       = adds more detail to scanfiles where applicable\n");
    fprintf(stderr, "undo       = take back the last rename or move\n");
    fprintf(stderr, "Hit ENTER to continue ");
    char answer[16];
    if (fgets(answer, sizeof answer, stdin) == nullptr)
        answer[0] = '\0';
    fprintf(stderr, "\n");
    fprintf(stderr, "Several output files are created depending on selected options:\n");
    fprintf(stderr, "\n");
    fprintf(stderr, "%-13s= %s\n", HaveDatabaseName, "database of scanned ROMs");
    fprintf(stderr, "%-13s= %s\n", MissListName, "ROMs missing (if in rename/move/list mode)");
    fprintf(stderr, "%-13s= %s\n", HaveListName, "ROMS present (if in rename/move/list mode)");
    fprintf(stderr, "%-13s= %s\n", ScanListingName, "log of 'scan' and 'scannew'");
    fprintf(stderr, "%-13s= %s\n", ChangesLogName, "log of 'changes' and 'changesnew'");
    fprintf(stderr, "%-13s= %s\n", ZipLogName, "log of ZIP errors");
    fprintf(stderr, "\n");
}

// True for a path that does not lead from the current directory.
static bool IsAbsolutePath(const std::string& path)
{
    if (!path.empty() && (path[0] == '/' || path[0] == PathSeparator))
        return true;
    bool letter = !path.empty() && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return PathSeparator == '\\' && letter && path.size() >= 2 && path[1] == ':';
}

// Loads the DAT the command line or the group information file names, if
// any, as this run's catalogue. Returns 0 when it cannot be used.
static int ChooseCatalogue()
{
    bool fromGroupFile = OptDatPath.empty();
    const std::string& given = fromGroupFile ? GroupDatPath : OptDatPath;
    if (given.empty())
        return 1;
    if (CrcKey != 0) {
        fflush(stdout);
        fprintf(stderr, "KEY= is not used with a DAT\n");
        SetCrcKey(0);
    }
    std::string path = fromGroupFile && !IsAbsolutePath(given) ? ProgramDirectory + given : given;
    return LoadDatCatalogue(path, given);
}

// The walk of a scan, rename, move or list run and the lists written after it.
static void WalkCollection()
{
    int allocated = AllocateImageBuffer();
    if (OptList)
        OptRename = 1;
    if (allocated) {
        // A move a killed run left half done is finished before any other.
        if (OptRename && !OptList)
            RecoverInterruptedMoves();
        printf("Scanning .%c*%s\n", PathSeparator, SystemTable[SystemNumber]);
        ResetWalk();
        ScanDirectory(".");
        CloseChangesLog();
        CloseScanListing();
        CloseZipLog();
        CloseJournal();
    }
    FreeImageBuffer();
    if (OptRename) {
        WriteMissList();
        WriteHaveList();
    }
}

int RunProgram(int argc, char** argv)
{
    PlatformStartup();
    int modes = ParseArguments(argc, argv);
    if (modes == 0) {
        OptBannerToStdout = 1;
        PrintUsage();
        FillCatalogue();
        PrintStats();
        return 0;
    }
    if (modes > 1) {
        PrintUsage();
        fprintf(stderr, "Cannot use more than one of scan,list,rename\n");
        fprintf(stderr, "and cannot mix 'sep' and 'nosep'\n");
        return 0;
    }

    PrintBanner();
    // Held first: the folder the run starts in is the one it keeps to, even
    // when it is renamed before its path is read.
    HoldStartFolder();
    StartDirectory = PlatformGetCurrentDirectory();
    // Without it every output path would lead from the file system's root.
    if (StartDirectory.empty()) {
        fprintf(stderr, "Cannot read the current directory\n");
        ReleaseStartFolder();
        return 0;
    }
    // Without a program path the start directory stands in, never the root.
    std::string programPath = PlatformProgramPath();
    ProgramDirectory = programPath.empty() ? ProgramDirectoryOf(StartDirectory + PathSeparator)
                                           : ProgramDirectoryOf(programPath);
    LoadGroupInfo();
    // A user who asked for a DAT never silently gets the built-in names.
    if (!ChooseCatalogue()) {
        fflush(stdout);
        PlatformSetCurrentDirectory(StartDirectory);
        return 0;
    }
    PrepareCatalogue();
    if (!DatPath.empty())
        fprintf(NoticeStream(), "Catalogue: %s (%s), %d entries from %s\n", DatHeaderName.c_str(), DatHeaderVersion.c_str(),
                CatalogueSize(), DatPath.c_str());
    PrintStats();
    if (OptCrcFile)
        WriteEmulatorCrcFile();
    else if (OptAudit)
        RunAudit();
    else if (OptUndo) {
        RunUndo();
        CloseJournal();
    }
    else
        WalkCollection();
    fflush(stdout);
    ReturnToStartFolder();
    ReleaseStartFolder();
    return 0;
}

int main(int argc, char** argv)
{
    // Memory that cannot be had ends the run cleanly, said in one line.
    try {
        return RunProgram(argc, argv);
    } catch (const std::bad_alloc&) {
        fflush(stdout);
        fprintf(stderr, "Out of memory: the run ends here\n");
        ReturnToStartFolder();
        ReleaseStartFolder();
        return 0;
    }
}
