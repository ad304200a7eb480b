// process_posix.cpp - the hardening tests' control of processes on POSIX: runs with a private HOME, starts, kills, owners
#include "hardening.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace hard {

namespace {

// The environment of a run: the scratch's home stands in for the user's,
// and leak checking (which needs to trace the process itself) is off.
void PrepareEnvironment(const test::Scratch& scratch)
{
    setenv("HOME", test::Join(scratch.root, "home").c_str(), 1);
    static const std::string asan = [] {
        const char* old = getenv("ASAN_OPTIONS");
        return (old != nullptr && *old != '\0' ? std::string(old) + ":" : std::string()) + "detect_leaks=0";
    }();
    setenv("ASAN_OPTIONS", asan.c_str(), 1);
}

std::string Slurp(const std::string& path)
{
    std::string text = test::ReadFile(path);
    std::error_code ec;
    fs::remove(path, ec);
    return text;
}

}  // namespace

std::string Program(const test::Scratch& scratch)
{
    return test::Join(scratch.program, fs::path(QUOR_EXE).filename().string());
}

Outcome Run(const test::Scratch& scratch, const std::vector<std::string>& argv, const std::string& cwd)
{
    int pid = Start(scratch, argv, cwd);
    if (pid < 0)
        return Outcome();
    Outcome o = Reap(pid);
    o.out = Slurp(test::Join(scratch.root, "run-out.txt"));
    o.err = Slurp(test::Join(scratch.root, "run-err.txt"));
    return o;
}

int Start(const test::Scratch& scratch, const std::vector<std::string>& argv, const std::string& where)
{
    PrepareEnvironment(scratch);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::string outPath = test::Join(scratch.root, "run-out.txt");
    std::string errPath = test::Join(scratch.root, "run-err.txt");
    std::string cwd = where.empty() ? scratch.collection : where;
    pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        int in = open("/dev/null", O_RDONLY);
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in >= 0 && out >= 0 && err >= 0 && chdir(cwd.c_str()) == 0 && dup2(in, 0) >= 0 && dup2(out, 1) >= 0 &&
            dup2(err, 2) >= 0)
            execv(args[0], args.data());
        _exit(127);
    }
    return (int)pid;
}

Outcome Reap(int pid)
{
    Outcome o;
    int status = 0;
    while (waitpid((pid_t)pid, &status, 0) < 0) {
        if (errno != EINTR)
            return o;
    }
    if (WIFEXITED(status))
        o.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        o.signal = WTERMSIG(status);
    return o;
}

bool KillAndReap(int pid)
{
    kill((pid_t)pid, SIGKILL);
    Outcome o = Reap(pid);
    return o.signal == SIGKILL;
}

void Pause(long microseconds)
{
    struct timespec t;
    t.tv_sec = microseconds / 1000000;
    t.tv_nsec = (microseconds % 1000000) * 1000;
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

bool NobodyIds(unsigned* uid, unsigned* gid)
{
    struct passwd* pw = getpwnam("nobody");
    if (pw == nullptr)
        return false;
    *uid = (unsigned)pw->pw_uid;
    *gid = (unsigned)pw->pw_gid;
    return true;
}

bool IsRoot()
{
    return geteuid() == 0;
}

void ChownTree(const std::string& root, unsigned uid, unsigned gid)
{
    std::error_code ec;
    if (lchown(root.c_str(), (uid_t)uid, (gid_t)gid) != 0)
        return;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
        if (lchown(it->path().c_str(), (uid_t)uid, (gid_t)gid) != 0)
            return;
}

std::string FindOnPath(const std::string& name)
{
    const char* path = getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t colon = dirs.find(':', start);
        std::string dir = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    return "";
}

}  // namespace hard
