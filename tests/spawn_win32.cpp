// spawn_win32.cpp - runs the program under test on Windows: CreateProcessA with redirected standard handles
#include "support.h"

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace test {

namespace {

// Appends arg to a command line so that the C runtime's argument parser
// gives it back unchanged: quoted when it holds blanks or quotes or is
// empty, with the backslashes before a quote doubled.
void AppendQuoted(std::string& line, const std::string& arg)
{
    if (!line.empty())
        line += ' ';
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) {
        line += arg;
        return;
    }
    line += '"';
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            backslashes++;
            continue;
        }
        if (c == '"')
            line.append(backslashes * 2 + 1, '\\');
        else
            line.append(backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, '\\');
    line += '"';
}

// Opens path as an inheritable handle for the child: for reading (the NUL
// device when path is empty) or, created afresh, for writing.
HANDLE OpenInheritable(const std::string& path, bool forWriting)
{
    SECURITY_ATTRIBUTES sa;
    sa.nLength = sizeof sa;
    sa.lpSecurityDescriptor = nullptr;
    sa.bInheritHandle = TRUE;
    const char* name = path.empty() ? "NUL" : path.c_str();
    if (forWriting)
        return CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    return CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int SpawnProgram(const std::string& exe, const std::vector<std::string>& args,
                 const std::string& cwd, const std::string& inPath,
                 const std::string& outPath, const std::string& errPath)
{
    std::string line;
    AppendQuoted(line, exe);
    for (const std::string& arg : args)
        AppendQuoted(line, arg);

    HANDLE in = OpenInheritable(inPath, false);
    HANDLE out = OpenInheritable(outPath, true);
    HANDLE err = OpenInheritable(errPath, true);
    int status = -1;
    if (in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE) {
        STARTUPINFOA si;
        ZeroMemory(&si, sizeof si);
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = in;
        si.hStdOutput = out;
        si.hStdError = err;
        PROCESS_INFORMATION pi;
        ZeroMemory(&pi, sizeof pi);
        std::vector<char> mutableLine(line.begin(), line.end());
        mutableLine.push_back('\0');
        if (CreateProcessA(exe.c_str(), mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                           cwd.empty() ? nullptr : cwd.c_str(), &si, &pi)) {
            DWORD code = 0;
            if (WaitForSingleObject(pi.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                GetExitCodeProcess(pi.hProcess, &code)) {
                // Exception codes (0xC0000005 and the like) mean it crashed.
                status = code >= 0xC0000000u ? -1 : (int)code;
            }
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
    }
    if (in != INVALID_HANDLE_VALUE)
        CloseHandle(in);
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    if (err != INVALID_HANDLE_VALUE)
        CloseHandle(err);
    return status;
}

}  // namespace test

#endif  // _WIN32
