// platform.h - the few operating-system operations QuorVBoy needs, one implementation per system
//
// Everything outside platform/ calls these instead of the system; posix.cpp
// and win32.cpp implement them and CMake builds exactly one of the two.
// Error codes are the Windows ones on every system: 0 success, 183 the target
// exists, 5 access denied, anything else another failure.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The native path separator: '\\' on Windows, '/' elsewhere.
#ifdef _WIN32
constexpr char PathSeparator = '\\';
#else
constexpr char PathSeparator = '/';
#endif

constexpr uint32_t ErrorAlreadyExists = 183;
constexpr uint32_t ErrorAccessDenied = 5;

// One entry of a directory listing. Lengths of 4 GiB and more are given as
// 0xFFFFFFFF so that they can never pass for a small file.
struct PlatformDirEntry {
    std::string name;
    uint32_t size = 0;
    bool isDirectory = false;
    bool isHidden = false;
};

struct PlatformListing;

// Prepares the process's console once at start (on Windows: names beyond
// ASCII shown in UTF-8, as the program sees them).
void PlatformStartup();

// Starts listing the entries of dir (including "." and ".." where the system
// gives them). Returns nullptr when the directory cannot be listed.
PlatformListing* PlatformOpenListing(const std::string& dir);

// Fills entry with the next entry of the listing. Returns 1, or 0 at the end.
int PlatformNextEntry(PlatformListing* listing, PlatformDirEntry* entry);

// Ends a listing; nullptr is accepted.
void PlatformCloseListing(PlatformListing* listing);

// The identity of a directory on its volume, for telling whether a walk has
// already entered it (device and inode, or volume serial and file index).
struct PlatformDirId {
    uint64_t volume = 0;
    uint64_t file = 0;
};

// Fills id for the directory path. Returns 1, or 0 when it cannot be told.
int PlatformGetDirId(const std::string& path, PlatformDirId* id);

// The process's current directory, as the system gives it; empty on failure.
std::string PlatformGetCurrentDirectory();

// Makes path the current directory. Returns 1 on success, 0 on failure.
int PlatformSetCurrentDirectory(const std::string& path);

// The full, resolved path of the running program file; empty on failure.
std::string PlatformProgramPath();

// Creates one directory. Returns 0 on success, else an error code (183 when
// something of that name exists).
uint32_t PlatformCreateDirectory(const std::string& path);

// Moves a file; never replaces an existing target, on any file system.
// Returns 0 on success, 183 when the target is taken, 5 on denied access,
// another non-zero code on any other failure.
uint32_t PlatformMoveFile(const std::string& from, const std::string& to);

// Puts a completely written file in place of target, replacing it in one
// step. Returns 0 on success, else an error code; on failure both files are
// left as they were.
uint32_t PlatformReplaceFile(const std::string& from, const std::string& target);

// Removes a file. Returns 0 on success, else an error code.
uint32_t PlatformRemoveFile(const std::string& path);

// Flushes stream and asks the system to put its data on the medium.
// Returns 1 on success, 0 on failure.
int PlatformSyncStream(FILE* stream);

// Seeks a stream to a 64-bit offset (whence as for fseek). 0 on success.
int PlatformSeek(FILE* stream, int64_t offset, int whence);

// A stream's 64-bit position, or -1.
int64_t PlatformTell(FILE* stream);

// The stand-in for the root of drive C:, with its trailing separator:
// "C:\" on Windows, the user's home directory elsewhere.
std::string PlatformFallbackDirectory();
