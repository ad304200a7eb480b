// spawn_posix.cpp - starts the program under test on POSIX systems and waits for it
#include "support.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace test {

int SpawnProgram(const std::string& exe, const std::vector<std::string>& args, const std::string& cwd,
                 const std::string& inPath, const std::string& outPath, const std::string& errPath)
{
    // Everything the child needs is prepared before fork: after it only
    // async-signal-safe calls are made.
    std::vector<char*> argv = {const_cast<char*>(exe.c_str())};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        int in = open(inPath.c_str(), O_RDONLY);
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in >= 0 && out >= 0 && err >= 0 && chdir(cwd.c_str()) == 0 && dup2(in, 0) >= 0 && dup2(out, 1) >= 0 &&
            dup2(err, 2) >= 0)
            execv(exe.c_str(), argv.data());
        _exit(127);  // no exit status of the program
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) && WEXITSTATUS(status) != 127 ? WEXITSTATUS(status) : -1;
}

}  // namespace test
