// win32.cpp - the platform operations on Windows, through the ANSI calls of KERNEL32
//
// The executable carries a manifest that makes UTF-8 the active code page, so
// the ...A calls below see every file name, not only those of a local code
// page. Error codes are passed on as GetLastError gives them, but for the two
// that mean "the target exists", which both become 183. Digests come from
// BCrypt, a system library since Windows Vista.
#include "platform/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <bcrypt.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <vector>

struct PlatformListing {
    HANDLE find = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA pending;  // the entry FindFirstFileA already gave
    bool hasPending = false;
    std::string path;          // the listed directory's full path
};

// A failed call's code as the rest of the program expects it: never 0 (a
// failure must not pass for success), 183 for both "already exists" codes.
static uint32_t FailureCode(DWORD code)
{
    switch (code) {
    case 0:
        return ERROR_GEN_FAILURE;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return ErrorAlreadyExists;
    default:
        return (uint32_t)code;
    }
}

static bool EndsWithSeparator(const std::string& path)
{
    if (path.empty())
        return false;
    char last = path.back();
    return last == '\\' || last == '/' || last == ':';
}

static bool IsReparsePoint(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// True when no directory level of path (the last name not counted) is a
// reparse point: a junction or link could lead out of the collection.
static bool NoReparseOnTheWay(const std::string& path)
{
    for (size_t i = 0; i < path.size(); i++) {
        if (path[i] != '\\' && path[i] != '/')
            continue;
        if (i == 0 || path[i - 1] == ':')
            continue;
        if (IsReparsePoint(GetFileAttributesA(path.substr(0, i).c_str())))
            return false;
    }
    return true;
}

PlatformListing* PlatformOpenListing(const std::string& dir)
{
    std::string here = PlatformGetCurrentDirectory();
    std::string full = dir;
    if (dir.empty() || dir == ".") {
        full = here;
    } else if (!(dir.size() >= 2 && dir[1] == ':') && dir[0] != '\\' && dir[0] != '/') {
        // A relative directory is entered later by its full path.
        if (!NoReparseOnTheWay(dir + "\\") || IsReparsePoint(GetFileAttributesA(dir.c_str())))
            return nullptr;
        full = here + (EndsWithSeparator(here) ? "" : "\\") + dir;
    }
    std::string pattern = full.empty() ? std::string(".") : full;
    // "D:\" and "D:" take the wildcard directly: "D:\\*" would be no path.
    if (!EndsWithSeparator(pattern))
        pattern += '\\';
    pattern += '*';

    PlatformListing* listing = new PlatformListing;
    listing->path = full;
    listing->find = FindFirstFileA(pattern.c_str(), &listing->pending);
    if (listing->find == INVALID_HANDLE_VALUE) {
        // A drive root with nothing on it has not even "." and "..": that is
        // an empty listing, not one that failed.
        if (GetLastError() == ERROR_FILE_NOT_FOUND)
            return listing;
        delete listing;
        return nullptr;
    }
    listing->hasPending = true;
    return listing;
}

int PlatformNextEntry(PlatformListing* listing, PlatformDirEntry* entry)
{
    if (listing == nullptr || listing->find == INVALID_HANDLE_VALUE)
        return 0;
    WIN32_FIND_DATAA data;
    if (listing->hasPending) {
        data = listing->pending;
        listing->hasPending = false;
    } else if (!FindNextFileA(listing->find, &data)) {
        return 0;
    }
    entry->name = data.cFileName;
    entry->isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry->isHidden = (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    entry->isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (entry->isDirectory)
        entry->size = 0;
    else
        entry->size = data.nFileSizeHigh != 0 ? 0xFFFFFFFFu : (uint32_t)data.nFileSizeLow;
    return 1;
}

void PlatformCloseListing(PlatformListing* listing)
{
    if (listing == nullptr)
        return;
    if (listing->find != INVALID_HANDLE_VALUE)
        FindClose(listing->find);
    delete listing;
}

int PlatformListingId(PlatformListing* listing, PlatformDirId* id)
{
    if (listing == nullptr)
        return 0;
    // Backup semantics let CreateFileA open a directory.
    HANDLE h = CreateFileA(listing->path.c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    BY_HANDLE_FILE_INFORMATION info;
    BOOL ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (!ok)
        return 0;
    id->volume = (uint64_t)info.dwVolumeSerialNumber;
    id->file = ((uint64_t)info.nFileIndexHigh << 32) | (uint64_t)info.nFileIndexLow;
    return 1;
}

int PlatformEnterListing(PlatformListing* listing)
{
    return listing != nullptr && SetCurrentDirectoryA(listing->path.c_str()) ? 1 : 0;
}

std::string PlatformGetCurrentDirectory()
{
    std::vector<char> buf(MAX_PATH + 1);
    for (int tries = 0; tries < 8; tries++) {
        DWORD n = GetCurrentDirectoryA((DWORD)buf.size(), buf.data());
        if (n == 0)
            return std::string();
        if (n < buf.size())
            return std::string(buf.data(), n);
        buf.resize((size_t)n + 1);  // n is the size needed, terminator included
    }
    return std::string();
}

int PlatformSetCurrentDirectory(const std::string& path)
{
    return SetCurrentDirectoryA(path.c_str()) ? 1 : 0;
}

// Windows opens no file relative to a handle: a held folder is a handle that
// shares everything but deletion, so that nobody can rename, move or remove
// the folder while it is held, and the path it then keeps naming.
struct PlatformFolder {
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::string path;  // with its trailing separator
};

// The path of a name of folder: the name itself without a folder.
static std::string FolderPath(PlatformFolder* folder, const std::string& name)
{
    return folder != nullptr ? folder->path + name : name;
}

PlatformFolder* PlatformHoldCurrentDirectory()
{
    std::string path = PlatformGetCurrentDirectory();
    if (path.empty())
        return nullptr;
    // Backup semantics let CreateFileA open a directory. A handle that may
    // read the folder's data counts in the share checks of later opens (one
    // for attributes only would not), and it is the folder itself that is
    // held, wherever a link on the way led.
    HANDLE h = CreateFileA(path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    PlatformFolder* folder = new PlatformFolder;
    folder->handle = h;
    folder->path = path + (EndsWithSeparator(path) ? "" : "\\");
    return folder;
}

void PlatformReleaseFolder(PlatformFolder* folder)
{
    if (folder == nullptr)
        return;
    CloseHandle(folder->handle);
    delete folder;
}

int PlatformEnterFolder(PlatformFolder* folder)
{
    return folder != nullptr && SetCurrentDirectoryA(folder->path.c_str()) ? 1 : 0;
}

FILE* PlatformOpenFileIn(PlatformFolder* folder, const std::string& name, const char* mode, int followLink)
{
    return PlatformOpenFile(FolderPath(folder, name), mode, followLink);
}

int PlatformIsFilePlaceIn(PlatformFolder* folder, const std::string& name)
{
    return PlatformIsFilePlace(FolderPath(folder, name));
}

uint32_t PlatformReplaceFileIn(PlatformFolder* folder, const std::string& from, const std::string& target)
{
    return PlatformReplaceFile(FolderPath(folder, from), FolderPath(folder, target));
}

uint32_t PlatformRemoveFileIn(PlatformFolder* folder, const std::string& name)
{
    return PlatformRemoveFile(FolderPath(folder, name));
}

std::string PlatformProgramPath()
{
    std::vector<char> buf(MAX_PATH + 1);
    for (;;) {
        DWORD n = GetModuleFileNameA(nullptr, buf.data(), (DWORD)buf.size());
        if (n == 0)
            return std::string();
        if (n < buf.size())
            return std::string(buf.data(), n);
        // Cut short: the whole buffer was used. Try again with more room.
        if (buf.size() >= 0x100000)
            return std::string();
        buf.resize(buf.size() * 2);
    }
}

uint32_t PlatformCreateDirectory(const std::string& path)
{
    if (!NoReparseOnTheWay(path))
        return ErrorNotADirectory;
    if (CreateDirectoryA(path.c_str(), nullptr))
        return 0;
    uint32_t code = FailureCode(GetLastError());
    if (code != ErrorAlreadyExists)
        return code;
    // Only a real directory counts as one that exists.
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        IsReparsePoint(attributes))
        return ErrorNotADirectory;
    return ErrorAlreadyExists;
}

uint32_t PlatformMoveFile(const std::string& from, const std::string& to)
{
    if (!NoReparseOnTheWay(from) || !NoReparseOnTheWay(to))
        return ErrorNotADirectory;
    // Without MOVEFILE_REPLACE_EXISTING a move never replaces its target.
    if (MoveFileA(from.c_str(), to.c_str()))
        return 0;
    return FailureCode(GetLastError());
}

FILE* PlatformOpenFile(const std::string& path, const char* mode, int followLink)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || (!followLink && IsReparsePoint(attributes)))) {
        errno = EINVAL;
        return nullptr;
    }
    bool binary = strchr(mode, 'b') != nullptr;
    bool exclusive = strchr(mode, 'x') != nullptr;
    bool update = strchr(mode, '+') != nullptr && mode[0] != 'w';
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    int flags = binary ? _O_BINARY : _O_TEXT;
    std::string streamMode(1, mode[0]);
    switch (mode[0]) {
    case 'r':
        flags |= update ? _O_RDWR | _O_APPEND : _O_RDONLY;
        access |= update ? FILE_APPEND_DATA : 0;
        break;
    case 'a':
        access = FILE_APPEND_DATA | (update ? GENERIC_READ : 0);
        disposition = OPEN_ALWAYS;
        flags |= _O_APPEND | (update ? _O_RDWR : _O_WRONLY);
        break;
    case 'w':
        access = GENERIC_WRITE;
        disposition = exclusive ? CREATE_NEW : CREATE_ALWAYS;
        flags |= _O_WRONLY;
        break;
    default:
        errno = EINVAL;
        return nullptr;
    }
    streamMode += update ? "+" : "";
    streamMode += binary ? "b" : "t";
    HANDLE h = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           disposition, FILE_ATTRIBUTE_NORMAL | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT),
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        errno = (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) ? EEXIST : ENOENT;
        return nullptr;
    }
    // Only a file on a disk: never a pipe, a console or another device.
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        CloseHandle(h);
        errno = EINVAL;
        return nullptr;
    }
    int fd = _open_osfhandle((intptr_t)h, flags);
    if (fd == -1) {
        CloseHandle(h);
        return nullptr;
    }
    FILE* stream = _fdopen(fd, streamMode.c_str());
    if (stream == nullptr)
        _close(fd);
    return stream;
}

int PlatformIsFilePlace(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD code = GetLastError();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? 1 : 0;
    }
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 ? 1 : 0;
}

unsigned long PlatformProcessId()
{
    return (unsigned long)GetCurrentProcessId();
}

uint32_t PlatformReplaceFile(const std::string& from, const std::string& target)
{
    if (MoveFileExA(from.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    return FailureCode(GetLastError());
}

uint32_t PlatformRemoveFile(const std::string& path)
{
    if (DeleteFileA(path.c_str()))
        return 0;
    return FailureCode(GetLastError());
}

uint32_t PlatformRemoveDirectory(const std::string& path)
{
    if (!NoReparseOnTheWay(path) || IsReparsePoint(GetFileAttributesA(path.c_str())))
        return ErrorNotADirectory;
    if (RemoveDirectoryA(path.c_str()))
        return 0;
    return FailureCode(GetLastError());
}

int PlatformFileStamp(const std::string& path, uint64_t* size, int64_t* modified)
{
    if (!NoReparseOnTheWay(path))
        return 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        DWORD code = GetLastError();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? 0 : -1;
    }
    if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
        return 0;
    *size = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    *modified = (int64_t)(((uint64_t)data.ftLastWriteTime.dwHighDateTime << 32) | data.ftLastWriteTime.dwLowDateTime);
    return 1;
}

// The volume and index of the regular file at path, or false.
static bool FileIdentity(const std::string& path, PlatformDirId* id)
{
    HANDLE h = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    BOOL ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (!ok || (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
        return false;
    id->volume = info.dwVolumeSerialNumber;
    id->file = ((uint64_t)info.nFileIndexHigh << 32) | info.nFileIndexLow;
    return true;
}

int PlatformSameFile(const std::string& a, const std::string& b)
{
    PlatformDirId ia, ib;
    return NoReparseOnTheWay(a) && NoReparseOnTheWay(b) && FileIdentity(a, &ia) && FileIdentity(b, &ib) &&
           ia.volume == ib.volume && ia.file == ib.file;
}

uint32_t PlatformCopyFile(const std::string& from, const std::string& to)
{
    if (!NoReparseOnTheWay(from) || !NoReparseOnTheWay(to) || IsReparsePoint(GetFileAttributesA(from.c_str())))
        return ErrorNotADirectory;
    // Fails when the target exists; the time of the last write is carried over.
    if (CopyFileA(from.c_str(), to.c_str(), TRUE))
        return 0;
    return FailureCode(GetLastError());
}

// Opens a regular file (never a reparse point) for reading and deleting.
static HANDLE OpenForCheck(const std::string& path)
{
    if (!NoReparseOnTheWay(path))
        return INVALID_HANDLE_VALUE;
    return CreateFileA(path.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// Marks the file open as h for deletion at its closing.
static uint32_t DeleteByHandle(HANDLE h)
{
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition)
               ? 0
               : FailureCode(GetLastError());
}

static bool RegularInfo(HANDLE h, BY_HANDLE_FILE_INFORMATION* info)
{
    return h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, info) &&
           (info->dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

static bool SameIndex(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b)
{
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

static uint64_t SizeOf(const BY_HANDLE_FILE_INFORMATION& info)
{
    return ((uint64_t)info.nFileSizeHigh << 32) | info.nFileSizeLow;
}

uint32_t PlatformRemoveCopy(const std::string& path, const std::string& original, int whole)
{
    HANDLE p = OpenForCheck(path);
    HANDLE o = OpenForCheck(original);
    BY_HANDLE_FILE_INFORMATION ip, io;
    uint32_t result = ErrorNotTheFile;
    if (RegularInfo(p, &ip) && RegularInfo(o, &io) && !SameIndex(ip, io) &&
        (whole ? SizeOf(ip) == SizeOf(io) : SizeOf(ip) <= SizeOf(io))) {
        static char a[65536], b[65536];
        for (;;) {
            DWORD n = 0, m = 0;
            if (!ReadFile(p, a, sizeof a, &n, nullptr) || (n > 0 && !ReadFile(o, b, n, &m, nullptr)) || m != n ||
                memcmp(a, b, n) != 0)
                break;
            if (n == 0) {
                result = DeleteByHandle(p);
                break;
            }
        }
    }
    if (p != INVALID_HANDLE_VALUE)
        CloseHandle(p);
    if (o != INVALID_HANDLE_VALUE)
        CloseHandle(o);
    return result;
}

uint32_t PlatformRemoveSameFile(const std::string& path, const std::string& other, uint64_t size, int64_t modified)
{
    HANDLE p = OpenForCheck(path);
    HANDLE o = OpenForCheck(other);
    BY_HANDLE_FILE_INFORMATION ip, io;
    uint32_t result = ErrorNotTheFile;
    if (RegularInfo(p, &ip) && RegularInfo(o, &io) && SameIndex(ip, io) && SizeOf(ip) == size &&
        (int64_t)(((uint64_t)ip.ftLastWriteTime.dwHighDateTime << 32) | ip.ftLastWriteTime.dwLowDateTime) == modified)
        result = DeleteByHandle(p);
    if (p != INVALID_HANDLE_VALUE)
        CloseHandle(p);
    if (o != INVALID_HANDLE_VALUE)
        CloseHandle(o);
    return result;
}

int PlatformLockStream(FILE* stream, int exclusive, int wait)
{
    HANDLE h = (HANDLE)_get_osfhandle(_fileno(stream));
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    // Windows' locks are mandatory: the byte locked lies far beyond any data,
    // so that reads and appends of other processes go on.
    OVERLAPPED at = {};
    at.OffsetHigh = 0x7FFFFFFF;
    DWORD flags = (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
    // A lock held already is given up first, so that a shared lock can
    // follow an exclusive one.
    UnlockFileEx(h, 0, 1, 0, &at);
    return LockFileEx(h, flags, 0, 1, 0, &at) ? 1 : 0;
}

int PlatformSyncStream(FILE* stream)
{
    if (fflush(stream) != 0)
        return 0;
    HANDLE h = (HANDLE)_get_osfhandle(_fileno(stream));
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    // A console or a pipe has nothing to put on a medium.
    if (GetFileType(h) != FILE_TYPE_DISK)
        return 1;
    return FlushFileBuffers(h) ? 1 : 0;
}

int PlatformSeek(FILE* stream, int64_t offset, int whence)
{
    return _fseeki64(stream, (__int64)offset, whence) == 0 ? 0 : -1;
}

int64_t PlatformTell(FILE* stream)
{
    return (int64_t)_ftelli64(stream);
}

void PlatformStartup()
{
    SetConsoleOutputCP(CP_UTF8);
}

std::string PlatformFallbackDirectory()
{
    return "C:\\";
}

size_t PlatformDigest(int algorithm, const unsigned char* bytes, size_t length, unsigned char* digest)
{
    static const wchar_t* const names[] = {BCRYPT_MD5_ALGORITHM, BCRYPT_SHA1_ALGORITHM, BCRYPT_SHA256_ALGORITHM};
    static const size_t sizes[] = {16, 20, 32};
    static BCRYPT_ALG_HANDLE providers[3];  // opened once, kept for the process's life
    if (algorithm < 0 || algorithm > 2)
        return 0;
    if (providers[algorithm] == nullptr &&
        !BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&providers[algorithm], names[algorithm], nullptr, 0))) {
        providers[algorithm] = nullptr;
        return 0;
    }
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!BCRYPT_SUCCESS(BCryptCreateHash(providers[algorithm], &hash, nullptr, 0, nullptr, 0, 0)))
        return 0;
    bool ok = true;
    while (ok && length > 0) {
        ULONG chunk = length > 0x40000000u ? 0x40000000u : (ULONG)length;
        ok = BCRYPT_SUCCESS(BCryptHashData(hash, (PUCHAR)bytes, chunk, 0));
        bytes += chunk;
        length -= chunk;
    }
    ok = ok && BCRYPT_SUCCESS(BCryptFinishHash(hash, digest, (ULONG)sizes[algorithm], 0));
    BCryptDestroyHash(hash);
    return ok ? sizes[algorithm] : 0;
}
