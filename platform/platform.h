// platform.h - the few operating-system operations QuorVBoy needs, one implementation per system
//
// Everything outside platform/ calls these instead of the system; posix.cpp
// and win32.cpp implement them and CMake builds exactly one of the two.
// Error codes are the Windows ones on every system: 0 success, 183 the target
// exists, 5 access denied (on Windows only), anything else another failure.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The native path separator: '\\' on Windows, '/' elsewhere.
// The system's line end, for text written without translation.
#ifdef _WIN32
constexpr char PathSeparator = '\\';
constexpr const char* LineEnd = "\r\n";
#else
constexpr char PathSeparator = '/';
constexpr const char* LineEnd = "\n";
#endif

constexpr uint32_t ErrorAlreadyExists = 183;
constexpr uint32_t ErrorAccessDenied = 5;
// Something that is not a real directory stands where one should be.
constexpr uint32_t ErrorNotADirectory = 267;
// The file system has neither a no-replace rename nor hard links: a move can
// only be made as a copy.
constexpr uint32_t ErrorNoLinks = 50;
// The file found is not the one the caller described.
constexpr uint32_t ErrorNotTheFile = 1006;

// One entry of a directory listing. Lengths of 4 GiB and more are given as
// 0xFFFFFFFF so that they can never pass for a small file.
struct PlatformDirEntry {
    std::string name;
    uint32_t size = 0;
    bool isDirectory = false;
    bool isHidden = false;
    bool isLink = false;  // a symbolic link (on Windows, a reparse point), to anything
};

struct PlatformListing;

// Prepares the process's console once at start (on Windows: names beyond
// ASCII shown in UTF-8, as the program sees them).
void PlatformStartup();

// Starts listing the entries of dir (including "." and ".." where the system
// gives them): dir is relative to the current directory, and is never
// reached through a link as its last step. Returns nullptr when the
// directory cannot be opened or listed.
PlatformListing* PlatformOpenListing(const std::string& dir);

// Fills entry with the next entry of the listing. Returns 1, or 0 at the end.
// Devices, pipes and sockets are passed over; links are given as links.
int PlatformNextEntry(PlatformListing* listing, PlatformDirEntry* entry);

// Ends a listing; nullptr is accepted.
void PlatformCloseListing(PlatformListing* listing);

// The identity of a directory on its volume, for telling whether a walk has
// already entered it (device and inode, or volume serial and file index).
struct PlatformDirId {
    uint64_t volume = 0;
    uint64_t file = 0;
};

// Fills id for the listed directory. Returns 1, or 0 when it cannot be told.
int PlatformListingId(PlatformListing* listing, PlatformDirId* id);

// Makes the listed directory the current directory, by its handle where the
// system has one, so that any depth can be entered and left. Returns 1 on
// success, 0 on failure.
int PlatformEnterListing(PlatformListing* listing);

// The process's current directory, as the system gives it; empty on failure.
std::string PlatformGetCurrentDirectory();

// Makes path the current directory. Returns 1 on success, 0 on failure.
int PlatformSetCurrentDirectory(const std::string& path);

// A folder held for the whole run, so that its files are reached through it
// and not by its path: moving or renaming it, or putting something else at
// its path, cannot send them anywhere else (on POSIX a handle that every
// operation below goes through; on Windows a handle that keeps anybody from
// renaming, moving or removing the folder while it is held).
struct PlatformFolder;

// Holds the current directory. Returns nullptr when it cannot be held.
PlatformFolder* PlatformHoldCurrentDirectory();

// Lets go of a held folder; nullptr is accepted.
void PlatformReleaseFolder(PlatformFolder* folder);

// Makes the held folder the current directory. Returns 1 on success, 0 on
// failure.
int PlatformEnterFolder(PlatformFolder* folder);

// PlatformOpenFile, PlatformIsFilePlace, PlatformReplaceFile and
// PlatformRemoveFile for a bare name in a held folder; with folder nullptr,
// name is a path and they are those operations themselves.
FILE* PlatformOpenFileIn(PlatformFolder* folder, const std::string& name, const char* mode, int followLink);
int PlatformIsFilePlaceIn(PlatformFolder* folder, const std::string& name);
uint32_t PlatformReplaceFileIn(PlatformFolder* folder, const std::string& from, const std::string& target);
uint32_t PlatformRemoveFileIn(PlatformFolder* folder, const std::string& name);

// The full, resolved path of the running program file; empty on failure.
std::string PlatformProgramPath();

// Creates one directory. Returns 0 on success, 183 when a real directory of
// that name exists already, another code on any other failure (something
// else of that name, a link among them, is such a failure). No directory on
// the way is passed through a link.
uint32_t PlatformCreateDirectory(const std::string& path);

// Moves a file; never replaces an existing target, on any file system, and
// never passes through a link in a directory of either path. Returns 0 on
// success, 183 when the target is taken, 5 on denied access (Windows only),
// 50 where the file system can neither rename without replacing nor make a
// hard link (nothing was done), another non-zero code on any other failure.
uint32_t PlatformMoveFile(const std::string& from, const std::string& to);

// Copies the regular file from to a new file to (created new: 183 when the
// name is taken), its bytes put on the medium and its modification time
// carried over; no link is followed on either path. Returns 0, or an error
// code after removing what it had created.
uint32_t PlatformCopyFile(const std::string& from, const std::string& to);

// Removes the name path only when it is a regular file other than original
// whose bytes equal original's (whole 1) or begin them (whole 0); the check
// and the removal are made on the same folder handles, no link followed.
// Returns 0, 1006 when it is not such a copy, another code on failure.
uint32_t PlatformRemoveCopy(const std::string& path, const std::string& original, int whole);

// Removes the name path only when path and other are names of one regular
// file of that size and modification time, checked and removed through the
// same folder handles, no link followed. Returns 0, 1006 when they are not,
// another code on failure.
uint32_t PlatformRemoveSameFile(const std::string& path, const std::string& other, uint64_t size,
                                int64_t modified);

// Opens a regular file as fopen would with mode ("r", "rb", "a", "w", "wb";
// an added "x" creates it new and fails when the name exists; "a+" and "r+"
// read and append, "r+" only to a file that exists), never waiting
// on the file (a pipe or device is refused, not waited for), and refusing
// anything but a regular file: a directory, a pipe, a device. With
// followLink 0 a name that is a link (on Windows, a reparse point) is
// refused too. Returns nullptr on any refusal or failure, with errno EEXIST
// when "x" found the name taken.
FILE* PlatformOpenFile(const std::string& path, const char* mode, int followLink);

// 1 when a file could be put at path: nothing stands there, or a regular
// file that is not a link; 0 for a link, a directory or a special file.
int PlatformIsFilePlace(const std::string& path);

// The running process's identifier, for names no other run uses at once.
unsigned long PlatformProcessId();

// Puts a completely written file in place of target, replacing it in one
// step. Returns 0 on success, else an error code; on failure both files are
// left as they were.
uint32_t PlatformReplaceFile(const std::string& from, const std::string& target);

// Removes a file. Returns 0 on success, else an error code.
uint32_t PlatformRemoveFile(const std::string& path);

// Removes an empty directory (never one that holds anything, never through
// a link at any level). Returns 0 on success, else an error code.
uint32_t PlatformRemoveDirectory(const std::string& path);

// The size and the modification time (an integer in the system's finest
// unit) of the regular file at path, no link followed at any level. Returns 1; 0 when
// no regular file is there; -1 when the system cannot tell.
int PlatformFileStamp(const std::string& path, uint64_t* size, int64_t* modified);

// Locks an open stream's file against other processes: shared, or
// exclusive; waiting for the lock, or not. Returns 1 when it holds the lock,
// 0 when it does not. The lock goes with the stream's closing or the
// process's end.
int PlatformLockStream(FILE* stream, int exclusive, int wait);

// 1 when both paths are names of one and the same regular file (no link
// followed at any level), else 0.
int PlatformSameFile(const std::string& a, const std::string& b);

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

// The digests PlatformDigest computes.
constexpr int PlatformMd5 = 0;
constexpr int PlatformSha1 = 1;
constexpr int PlatformSha256 = 2;

// Writes the digest of the bytes by algorithm (PlatformMd5, PlatformSha1 or
// PlatformSha256) to digest, which has room for 32 bytes, with the system's
// cryptographic library (BCrypt on Windows, OpenSSL's libcrypto elsewhere).
// Returns the digest's length, 0 on failure.
size_t PlatformDigest(int algorithm, const unsigned char* bytes, size_t length, unsigned char* digest);
