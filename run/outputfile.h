// outputfile.h - the program's fixed-name files and where they are opened: lists, logs, the database
//
// Every file the program keeps under a fixed name goes through here: a ".db"
// name beside the program first, then the start directory, then the stand-in
// for drive C:.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

struct PlatformFolder;

// The fixed names, each spelled here only.
constexpr const char* HaveDatabaseName = "QuorVBoy.db";  // the program's name and ".db"
constexpr const char* HaveListName = "VBoyHave.txt";
constexpr const char* MissListName = "VBoyMiss.txt";
constexpr const char* FixListName = "VBoyMiss.dat";
constexpr const char* DupesListName = "VBoyDupes.txt";
constexpr const char* ScanListingName = "VAvuDevo.zid";
constexpr const char* ChangesLogName = "VBoyLog.txt";
constexpr const char* ZipLogName = "Quor_ZIP.txt";
constexpr const char* UndoJournalName = "VBoyUndo.txt";

// Holds the current directory as the start folder for the rest of the run:
// every file placed there is reached through it, so that a start folder
// renamed or moved meanwhile (and anything put at its old path) cannot send
// them elsewhere. Returns 1, or 0 when it cannot be held (its path is then
// used).
int HoldStartFolder();

// Makes the start folder the current directory again, through its hold.
// Returns 1 on success, 0 on failure.
int ReturnToStartFolder();

// Lets go of the start folder.
void ReleaseStartFolder();

// Opens a fixed-name file of the program: a ".db" name beside the program
// first, then in StartDirectory, then in the stand-in for drive C: (with the
// "Using default log" line). A place where the name is a link or anything
// but a regular file counts as failed. Returns nullptr when all three fail;
// for a writing mode that is reported once per name with "Cannot create %s".
// openedPath, when given, receives the path opened.
FILE* OpenOutputFile(const char* name, const char* mode, std::string* openedPath = nullptr);

// The paths a fixed-name file is looked for at, in OpenOutputFile's order.
std::vector<std::string> OutputFilePlaces(const char* name);

// A list or database being rewritten: its content goes to a temporary file
// beside the target, which replaces the target only when complete.
struct ReplacementFile {
    FILE* stream = nullptr;
    std::string targetPath;            // for messages
    PlatformFolder* folder = nullptr;  // the held folder both lie in, if any
    std::string tempName;              // what the platform is handed for each:
    std::string targetName;            // bare names in a held folder, else paths
};

// Opens a fixed-name file for rewriting ("w" or "wb") in the place
// OpenOutputFile would choose: a new temporary file of this run's own beside
// the target (which must be a regular file or nothing). Returns 1 with
// file->stream open, or 0.
int OpenReplacementFile(const char* name, const char* mode, ReplacementFile* file);

// Closes the file and, when every write succeeded, puts it in place of the
// target. Returns 1 on success; on failure the old target stays untouched.
int CommitReplacementFile(ReplacementFile* file);

// Closes and removes an unfinished replacement file.
void AbandonReplacementFile(ReplacementFile* file);

// Forgets which names were reported as impossible to create (tests).
void ResetOutputFileReports();

// One of the files that grow from run to run and are opened on first use:
// the scan listing, the changes log, the ZIP error log, the duplicates
// report.
struct AppendFile {
    explicit AppendFile(const char* fixedName) : name(fixedName) {}
    const char* name;     // the fixed name
    FILE* stream = nullptr;
    std::string path;     // where it was opened
    bool failed = false;  // a failed write was reported
};

// Opens the file for appending if it is not open yet (a failed open is
// tried again at the next call). Returns its stream, or nullptr.
FILE* OpenAppendFile(AppendFile* file);

// Appends text if the file is open, and with flush hands it to the system at
// once. A write that fails is reported with "Cannot write %s" and the path,
// once per file and run.
void WriteAppendFile(AppendFile* file, const char* text, bool flush = false);

// Puts what was written on the medium. Returns 1, or 0 after reporting a
// failure as WriteAppendFile does.
int SyncAppendFile(AppendFile* file);

// Closes the file if it is open, reporting a failed close as a failed write.
void CloseAppendFile(AppendFile* file);

// Closes the file without a word and forgets its path and failure (tests).
void ResetAppendFile(AppendFile* file);
