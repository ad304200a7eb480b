// posix.cpp - the platform operations on Linux and other POSIX systems
#include "platform/platform.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <openssl/evp.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/file.h>
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

// Opens the directory at path (from the current directory unless it is
// absolute) without following a link at any level: its handle, or -1 with
// errno set.
static int OpenDirectoryNoLink(const std::string& path)
{
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    int fd = open(!path.empty() && path[0] == '/' ? "/" : ".", flags);
    size_t pos = 0;
    while (fd >= 0 && pos < path.size()) {
        size_t slash = path.find('/', pos);
        if (slash == std::string::npos)
            slash = path.size();
        std::string level = path.substr(pos, slash - pos);
        pos = slash + 1;
        if (level.empty() || level == ".")
            continue;
        int next = openat(fd, level.c_str(), flags | O_NOFOLLOW);
        int e = errno;
        close(fd);
        errno = e;
        fd = next;
    }
    return fd;
}

// The directory that holds path's last name, opened without following a
// link on the way, and that name. The handle is AT_FDCWD for a bare name;
// -1 with errno set on failure.
static int OpenParent(const std::string& path, std::string* leaf)
{
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        *leaf = path;
        return AT_FDCWD;
    }
    *leaf = path.substr(slash + 1);
    return OpenDirectoryNoLink(path.substr(0, slash + 1));
}

static void CloseParent(int fd)
{
    if (fd >= 0)
        close(fd);
}

PlatformListing* PlatformOpenListing(const std::string& dir)
{
    int fd = OpenDirectoryNoLink(dir);
    if (fd < 0)
        return nullptr;
    DIR* d = fdopendir(fd);
    if (d == nullptr) {
        close(fd);
        return nullptr;
    }
    PlatformListing* listing = new PlatformListing;
    listing->dir = d;
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
        entry->isLink = false;
        entry->size = 0;
        if (entry->name == "." || entry->name == "..") {
            entry->isDirectory = true;
            return 1;
        }
        struct stat st;
        if (fstatat(dirfd(listing->dir), de->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;  // vanished since it was listed
        if (S_ISLNK(st.st_mode)) {
            entry->isLink = true;
            return 1;
        }
        // Devices, pipes and sockets are no part of a collection, and opening
        // a pipe could wait forever.
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

int PlatformListingId(PlatformListing* listing, PlatformDirId* id)
{
    struct stat st;
    if (listing == nullptr || fstat(dirfd(listing->dir), &st) != 0)
        return 0;
    id->volume = (uint64_t)st.st_dev;
    id->file = (uint64_t)st.st_ino;
    return 1;
}

int PlatformEnterListing(PlatformListing* listing)
{
    return listing != nullptr && fchdir(dirfd(listing->dir)) == 0 ? 1 : 0;
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

struct PlatformFolder {
    int fd = -1;
};

// The handle a name of folder is reached from: the current directory's
// without a folder.
static int FolderHandle(PlatformFolder* folder)
{
    return folder != nullptr ? folder->fd : AT_FDCWD;
}

PlatformFolder* PlatformHoldCurrentDirectory()
{
#ifdef O_PATH
    // A handle only for reaching names: it needs no right to list the folder.
    const int access = O_PATH;
#else
    const int access = O_RDONLY;
#endif
    int fd = open(".", access | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    PlatformFolder* folder = new PlatformFolder;
    folder->fd = fd;
    return folder;
}

void PlatformReleaseFolder(PlatformFolder* folder)
{
    if (folder == nullptr)
        return;
    close(folder->fd);
    delete folder;
}

int PlatformEnterFolder(PlatformFolder* folder)
{
    return folder != nullptr && fchdir(folder->fd) == 0 ? 1 : 0;
}

int PlatformIsFilePlaceIn(PlatformFolder* folder, const std::string& name)
{
    struct stat st;
    if (fstatat(FolderHandle(folder), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? 1 : 0;
    return S_ISREG(st.st_mode) ? 1 : 0;
}

uint32_t PlatformReplaceFileIn(PlatformFolder* folder, const std::string& from, const std::string& target)
{
    int fd = FolderHandle(folder);
    if (renameat(fd, from.c_str(), fd, target.c_str()) == 0)
        return 0;
    return MapErrno(errno);
}

uint32_t PlatformRemoveFileIn(PlatformFolder* folder, const std::string& name)
{
    if (unlinkat(FolderHandle(folder), name.c_str(), 0) == 0)
        return 0;
    return MapErrno(errno);
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
    // "a/b/" names the folder "a/b", as mkdir takes it.
    std::string folder = path;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    std::string leaf;
    int parent = OpenParent(folder, &leaf);
    if (parent == -1)
        return MapErrno(errno);
    uint32_t result = 0;
    if (mkdirat(parent, leaf.c_str(), 0777) != 0) {
        int e = errno;
        struct stat st;
        // Only a real directory counts as one that exists: a link to one
        // would lead the files moved into it out of the collection.
        if (e == EEXIST)
            result = fstatat(parent, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)
                         ? ErrorAlreadyExists
                         : ErrorNotADirectory;
        else
            result = MapErrno(e);
    }
    CloseParent(parent);
    return result;
}

// Moves leaf name from below one directory handle to below another, never
// replacing the target. Returns errno's code of the failure, or 0.
static int MoveNoReplace(int fromDir, const char* from, int toDir, const char* to)
{
#if defined(__linux__) && defined(SYS_renameat2)
    if (syscall(SYS_renameat2, fromDir, from, toDir, to, 1u /* RENAME_NOREPLACE */) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
#endif
    // The file system refuses the no-replace flag: a hard link never replaces
    // its target, and the old name goes only once the new one stands.
    if (linkat(fromDir, from, toDir, to, 0) != 0)
        return errno;
    if (unlinkat(fromDir, from, 0) != 0) {
        int e = errno;
        unlinkat(toDir, to, 0);
        return e;
    }
    return 0;
}

uint32_t PlatformMoveFile(const std::string& from, const std::string& to)
{
    std::string fromLeaf, toLeaf;
    int fromDir = OpenParent(from, &fromLeaf);
    if (fromDir == -1)
        return MapErrno(errno);
    int toDir = OpenParent(to, &toLeaf);
    if (toDir == -1) {
        int e = errno;
        CloseParent(fromDir);
        return MapErrno(e);
    }
    int e = MoveNoReplace(fromDir, fromLeaf.c_str(), toDir, toLeaf.c_str());
    CloseParent(fromDir);
    CloseParent(toDir);
    return MapErrno(e);
}

uint32_t PlatformReplaceFile(const std::string& from, const std::string& target)
{
    return PlatformReplaceFileIn(nullptr, from, target);
}

uint32_t PlatformRemoveFile(const std::string& path)
{
    return PlatformRemoveFileIn(nullptr, path);
}

uint32_t PlatformRemoveDirectory(const std::string& path)
{
    std::string leaf;
    int parent = OpenParent(path, &leaf);
    if (parent == -1)
        return MapErrno(errno);
    int result = unlinkat(parent, leaf.c_str(), AT_REMOVEDIR);
    int e = errno;
    CloseParent(parent);
    return result == 0 ? 0 : MapErrno(e);
}

int PlatformFileStamp(const std::string& path, uint64_t* size, int64_t* modified)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? 0 : -1;
    if (!S_ISREG(st.st_mode))
        return 0;
    *size = (uint64_t)st.st_size;
#ifdef __APPLE__
    *modified = (int64_t)st.st_mtimespec.tv_sec * 1000000000 + st.st_mtimespec.tv_nsec;
#else
    *modified = (int64_t)st.st_mtim.tv_sec * 1000000000 + st.st_mtim.tv_nsec;
#endif
    return 1;
}

int PlatformSameFile(const std::string& a, const std::string& b)
{
    struct stat sa, sb;
    return lstat(a.c_str(), &sa) == 0 && lstat(b.c_str(), &sb) == 0 && S_ISREG(sa.st_mode) &&
           S_ISREG(sb.st_mode) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

int PlatformLockStream(FILE* stream, int exclusive, int wait)
{
    int operation = (exclusive ? LOCK_EX : LOCK_SH) | (wait ? 0 : LOCK_NB);
    int result;
    do
        result = flock(fileno(stream), operation);
    while (result != 0 && errno == EINTR);
    return result == 0 ? 1 : 0;
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

FILE* PlatformOpenFile(const std::string& path, const char* mode, int followLink)
{
    return PlatformOpenFileIn(nullptr, path, mode, followLink);
}

FILE* PlatformOpenFileIn(PlatformFolder* folder, const std::string& path, const char* mode, int followLink)
{
    int flags = O_NONBLOCK | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    std::string streamMode;
    switch (mode[0]) {
    case 'r':
        flags |= O_RDONLY;
        streamMode = "r";
        break;
    case 'a':
        flags |= O_WRONLY | O_CREAT | O_APPEND;
        streamMode = "a";
        break;
    case 'w':
        flags |= O_WRONLY | O_CREAT | O_TRUNC;
        streamMode = "w";
        break;
    default:
        errno = EINVAL;
        return nullptr;
    }
    if (strchr(mode, 'x') != nullptr)
        flags = (flags & ~O_TRUNC) | O_EXCL;
    // The open never waits (a pipe without a writer would hold it forever);
    // whatever it opened is then refused unless it is a regular file.
    int fd = openat(FolderHandle(folder), path.c_str(), flags, 0666);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        errno = EINVAL;
        return nullptr;
    }
    int fl = fcntl(fd, F_GETFL);
    if (fl == -1 || fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) == -1) {
        close(fd);
        return nullptr;
    }
    FILE* stream = fdopen(fd, streamMode.c_str());
    if (stream == nullptr)
        close(fd);
    return stream;
}

int PlatformIsFilePlace(const std::string& path)
{
    return PlatformIsFilePlaceIn(nullptr, path);
}

unsigned long PlatformProcessId()
{
    return (unsigned long)getpid();
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

size_t PlatformDigest(int algorithm, const unsigned char* bytes, size_t length, unsigned char* digest)
{
    const EVP_MD* md = algorithm == PlatformMd5    ? EVP_md5()
                       : algorithm == PlatformSha1 ? EVP_sha1()
                       : algorithm == PlatformSha256 ? EVP_sha256()
                                                     : nullptr;
    unsigned int size = 0;
    if (md == nullptr || EVP_Digest(bytes, length, digest, &size, md, nullptr) != 1)
        return 0;
    return size;
}
