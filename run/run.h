// run.h - the command line, the order of a run, and where output files go
//
// Owns RunOptions (the Opt... flags), StartDirectory, ProgramDirectory, the
// one ImageBuffer of a run, and the placement rule of every fixed-name file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The program's own name in every message and file name.
constexpr const char* ProgramName = "QuorVBoy";
constexpr const char* ProgramVersion = "1.00";
// The have database's file name: the program's name and ".db".
constexpr const char* HaveDatabaseName = "QuorVBoy.db";

// The console this build serves, and its per-system constants.
constexpr int SystemNumber = 19;
constexpr const char* SystemExtension = ".vb";
constexpr const char* SystemFullName = "Nintendo Virtual Boy";
constexpr const char* SystemFilePrefix = "VBoy";
constexpr const char* SystemSection = "[VBoy]";

// The image extensions of each system, indexed by system number; this build
// uses only its own row.
extern const char* const SystemTable[];

// RunOptions: set once from the command line, read by everyone else.
extern int32_t OptRename;
extern int32_t OptMove;
extern int32_t OptList;
extern int32_t OptListDirs;
extern int32_t OptScan;
extern int32_t OptScanNew;
extern int32_t OptScanDirs;
extern int32_t OptDeep;
extern int32_t OptDirs;
extern int32_t OptQuiet;
extern int32_t OptChanges;
extern int32_t OptChangesReverse;
extern int32_t OptChangesAll;
extern int32_t OptNoDb;
extern int32_t OptShortNames;
extern int32_t OptSep;
extern int32_t OptNoSep;
extern char SepChar;
extern int32_t OptAudit;
extern int32_t OptAudit2;
extern int32_t OptAudit3;
extern int32_t OptAudit4;
extern int32_t OptCrcFile;
extern int32_t OptBannerToStdout;

// Sets every RunOptions value to its state at start (OptChangesAll 1,
// SepChar a space, all else 0).
void ResetRunOptions();

// Matches one argument against the argument table and applies every row it
// matches; prints the "convert" line when that row matches.
void MatchArgument(const char* arg);

// Matches every argument after the program name, applies the sep/nosep rule
// and returns the number of modes chosen.
int ParseArguments(int argc, char** argv);

// The directory the program was started in, as the system gives it, and the
// program file's directory with a trailing separator.
extern std::string StartDirectory;
extern std::string ProgramDirectory;

// Cuts a program file's path after its last separator (one past the first
// character), or keeps it whole, and appends a separator.
std::string ProgramDirectoryOf(const std::string& programPath);

// The one buffer holding the current image; its storage is always 65,536
// bytes more than ImageBufferCapacity. nullptr when it could not be had.
extern unsigned char* ImageBuffer;
extern uint32_t ImageBufferCapacity;

constexpr uint32_t ImageBufferInitialCapacity = 0x500000;
constexpr uint32_t ImageBufferSlack = 0x10000;

// Allocates the run's ImageBuffer. Returns 1 on success, 0 without storage.
int AllocateImageBuffer();

// Makes sure ImageBuffer holds at least size bytes; never shrinks it.
// Returns 1 when it does, 0 when new storage could not be had (the buffer is
// then gone and ImageBufferCapacity is 0).
int GrowImageBuffer(uint32_t size);

// Releases ImageBuffer.
void FreeImageBuffer();

// Opens a fixed-name file of the program: a ".db" name beside the program
// first, then in StartDirectory, then in the stand-in for drive C: (with the
// "Using default log" line). A place where the name is a link or anything
// but a regular file counts as failed. Returns nullptr when all three fail;
// for a writing mode that is reported once per name with "Cannot create %s".
// openedPath, when given, receives the path opened.
FILE* OpenOutputFile(const char* name, const char* mode, std::string* openedPath = nullptr);

// A list or database being rewritten: its content goes to a temporary file
// beside the target, which replaces the target only when complete.
struct ReplacementFile {
    FILE* stream = nullptr;
    std::string tempPath;
    std::string targetPath;
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

// Where the program's notices go: standard output, but standard error in
// the emulator CRC file mode, whose standard output is the CRC file alone.
FILE* NoticeStream();

// The banner, to standard output or standard error by OptBannerToStdout.
void PrintBanner();

// The usage text, with its pause for ENTER.
void PrintUsage();

// Runs the program on its command line; returns the exit status (always 0).
int RunProgram(int argc, char** argv);
