// options.h - the settings of a run: RunOptions from the command line, the system's constants, the two directories
//
// Every other part of the program reads these; only run control writes them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The program's own name in every message and file name, and its version.
constexpr const char* ProgramName = "QuorVBoy";
constexpr const char* ProgramVersion = "1.00";

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
extern int32_t OptUndo;
// The DAT a "DAT=" word names, as given (relative to the start directory);
// empty when none does.
extern std::string OptDatPath;

// The words of the command line after the program's name, as given.
extern std::vector<std::string> ArgumentWords;

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

// Where the program's notices go: standard output, but standard error in
// the emulator CRC file mode, whose standard output is the CRC file alone.
FILE* NoticeStream();
