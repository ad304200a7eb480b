// win32.cpp - the platform operations on Windows, through the ANSI calls of KERNEL32
//
// The executable carries a manifest that makes UTF-8 the active code page, so
// the ...A calls below see every file name, not only those of a local code
// page. Error codes are passed on as GetLastError gives them, but for the two
// that mean "the target exists", which both become 183.
#include "platform/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <io.h>
#include <stdio.h>
#include <vector>

struct PlatformListing {
    HANDLE find = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA pending;  // the entry FindFirstFileA already gave
    bool hasPending = false;
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

PlatformListing* PlatformOpenListing(const std::string& dir)
{
    std::string pattern = dir.empty() ? std::string(".") : dir;
    // "D:\" and "D:" take the wildcard directly: "D:\\*" would be no path.
    if (!EndsWithSeparator(pattern))
        pattern += '\\';
    pattern += '*';

    PlatformListing* listing = new PlatformListing;
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

int PlatformGetDirId(const std::string& path, PlatformDirId* id)
{
    // Backup semantics let CreateFileA open a directory; a junction or link
    // is followed, so the identity is that of the directory it leads to.
    HANDLE h = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
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
    if (CreateDirectoryA(path.c_str(), nullptr))
        return 0;
    return FailureCode(GetLastError());
}

uint32_t PlatformMoveFile(const std::string& from, const std::string& to)
{
    // Without MOVEFILE_REPLACE_EXISTING a move never replaces its target.
    if (MoveFileA(from.c_str(), to.c_str()))
        return 0;
    return FailureCode(GetLastError());
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
