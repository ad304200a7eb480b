// posix.cpp - the platform operations on Linux and other POSIX systems
#include "platform/platform.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

#ifdef __linux__
#include <sys/syscall.h>
#endif
#ifdef __APPLE__
#include <mach-o/dyld.h>
#endif

struct PlatformListing {
    DIR* dir = nullptr;
    std::string path;
};

// errno in the Windows codes the rest of the program expects.
static uint32_t MapErrno(int e)
{
    switch (e) {
    case 0:
        return 0;
    case EEXIST:
    case ENOTEMPTY:
        return ErrorAlreadyExists;
    case EACCES:
    case EPERM:
    case EROFS:
        return ErrorAccessDenied;
    case ENOENT:
        return 2;
    case ENOTDIR:
        return 3;
    case EXDEV:
        return 17;
    case ENOSPC:
        return 112;
    default:
        return 31;
    }
}

void PlatformStartup()
{
}

PlatformListing* PlatformOpenListing(const std::string& dir)
{
    DIR* d = opendir(dir.c_str());
    if (d == nullptr)
        return nullptr;
    PlatformListing* listing = new PlatformListing;
    listing->dir = d;
    listing->path = dir;
    return listing;
}

int PlatformNextEntry(PlatformListing* listing, PlatformDirEntry* entry)
{
    if (listing == nullptr)
        return 0;
    for (;;) {
        errno = 0;
        struct dirent* de = readdir(listing->dir);
        if (de == nullptr)
            return 0;
        entry->name = de->d_name;
        entry->isHidden = !entry->name.empty() && entry->name[0] == '.';
        entry->isDirectory = false;
        entry->size = 0;
        if (entry->name == "." || entry->name == "..") {
            entry->isDirectory = true;
            return 1;
        }
        // A link counts as what it points to, as a Windows listing would show it.
        struct stat st;
        if (fstatat(dirfd(listing->dir), de->d_name, &st, 0) != 0 &&
            fstatat(dirfd(listing->dir), de->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;  // vanished since it was listed
        // Devices, pipes and sockets are no part of a collection, and opening
        // a pipe would wait forever.
        if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode))
            continue;
        entry->isDirectory = S_ISDIR(st.st_mode);
        if (!entry->isDirectory) {
            unsigned long long size = st.st_size < 0 ? 0 : (unsigned long long)st.st_size;
            entry->size = size > 0xFFFFFFFFull ? 0xFFFFFFFFu : (uint32_t)size;
        }
        return 1;
    }
}

void PlatformCloseListing(PlatformListing* listing)
{
    if (listing == nullptr)
        return;
    closedir(listing->dir);
    delete listing;
}

int PlatformGetDirId(const std::string& path, PlatformDirId* id)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return 0;
    id->volume = (uint64_t)st.st_dev;
    id->file = (uint64_t)st.st_ino;
    return 1;
}

std::string PlatformGetCurrentDirectory()
{
    std::vector<char> buf(4096);
    for (;;) {
        if (getcwd(buf.data(), buf.size()) != nullptr)
            return std::string(buf.data());
        if (errno != ERANGE || buf.size() > (1u << 20))
            return std::string();
        buf.resize(buf.size() * 2);
    }
}

int PlatformSetCurrentDirectory(const std::string& path)
{
    return chdir(path.c_str()) == 0 ? 1 : 0;
}

std::string PlatformProgramPath()
{
#ifdef __APPLE__
    uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::vector<char> raw(size + 1);
    if (_NSGetExecutablePath(raw.data(), &size) != 0)
        return std::string();
    char* resolved = realpath(raw.data(), nullptr);
#else
    char* resolved = realpath("/proc/self/exe", nullptr);
#endif
    if (resolved == nullptr)
        return std::string();
    std::string result(resolved);
    free(resolved);
    return result;
}

uint32_t PlatformCreateDirectory(const std::string& path)
{
    if (mkdir(path.c_str(), 0777) == 0)
        return 0;
    return MapErrno(errno);
}

// True when both names are links of one file that has several names: what a
// move interrupted between its link and its unlink leaves behind.
static bool SameFileTwice(const std::string& a, const std::string& b)
{
    struct stat sa, sb;
    return lstat(a.c_str(), &sa) == 0 && lstat(b.c_str(), &sb) == 0 && S_ISREG(sa.st_mode) &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino && sa.st_nlink >= 2;
}

uint32_t PlatformMoveFile(const std::string& from, const std::string& to)
{
    // Finishing an interrupted move: the target already is this very file.
    if (SameFileTwice(from, to))
        return unlink(from.c_str()) == 0 ? 0 : MapErrno(errno);
#if defined(__linux__) && defined(SYS_renameat2)
    if (syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 1u /* RENAME_NOREPLACE */) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return MapErrno(errno);
#endif
    // The file system refuses the no-replace flag: a hard link never replaces
    // its target, and the old name goes only once the new one stands.
    if (link(from.c_str(), to.c_str()) != 0)
        return MapErrno(errno);
    if (unlink(from.c_str()) != 0) {
        int e = errno;
        unlink(to.c_str());
        return MapErrno(e);
    }
    return 0;
}

uint32_t PlatformReplaceFile(const std::string& from, const std::string& target)
{
    if (rename(from.c_str(), target.c_str()) == 0)
        return 0;
    return MapErrno(errno);
}

uint32_t PlatformRemoveFile(const std::string& path)
{
    if (unlink(path.c_str()) == 0)
        return 0;
    return MapErrno(errno);
}

int PlatformSyncStream(FILE* stream)
{
    if (fflush(stream) != 0)
        return 0;
    if (fsync(fileno(stream)) != 0 && errno != EINVAL && errno != EROFS)
        return 0;
    return 1;
}

int PlatformSeek(FILE* stream, int64_t offset, int whence)
{
    return fseeko(stream, (off_t)offset, whence);
}

int64_t PlatformTell(FILE* stream)
{
    return (int64_t)ftello(stream);
}

std::string PlatformFallbackDirectory()
{
    std::string home;
    const char* env = getenv("HOME");
    if (env != nullptr && *env != '\0') {
        home = env;
    } else {
        struct passwd pw;
        struct passwd* found = nullptr;
        std::vector<char> buf(16384);
        if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found != nullptr &&
            found->pw_dir != nullptr)
            home = found->pw_dir;
    }
    if (home.empty() || home.back() != '/')
        home += '/';
    return home;
}
