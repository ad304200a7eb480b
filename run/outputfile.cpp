// outputfile.cpp - where the program's fixed-name lists, logs and database are opened
#include "platform/platform.h"
#include "run/run.h"

#include <cstring>
#include <set>

// Names already reported as impossible to create in this run.
static std::set<std::string> reportedNames;

void ResetOutputFileReports()
{
    reportedNames.clear();
}

static bool IsWriteMode(const char* mode)
{
    return mode[0] == 'w' || mode[0] == 'a';
}

static void ReportCannotCreate(const char* name)
{
    if (reportedNames.insert(name).second)
        fprintf(stderr, "Cannot create %s\n", name);
}

// The directories a fixed-name file is tried in, in order.
static int CandidateDirectories(const char* name, std::string dirs[3])
{
    int n = 0;
    if (strstr(name, ".db") != nullptr)
        dirs[n++] = ProgramDirectory;
    std::string start = StartDirectory;
    if (start.empty() || start.back() != PathSeparator)
        start += PathSeparator;
    dirs[n++] = start;
    dirs[n++] = PlatformFallbackDirectory();
    return n;
}

FILE* OpenOutputFile(const char* name, const char* mode)
{
    std::string dirs[3];
    int n = CandidateDirectories(name, dirs);
    for (int i = 0; i < n; i++) {
        std::string path = dirs[i] + name;
        FILE* stream = fopen(path.c_str(), mode);
        if (stream == nullptr)
            continue;
        if (i == n - 1)
            fprintf(stderr, "Using default log: %s\n", path.c_str());
        return stream;
    }
    if (IsWriteMode(mode))
        ReportCannotCreate(name);
    return nullptr;
}

int OpenReplacementFile(const char* name, const char* mode, ReplacementFile* file)
{
    std::string dirs[3];
    int n = CandidateDirectories(name, dirs);
    for (int i = 0; i < n; i++) {
        std::string target = dirs[i] + name;
        std::string temp = target + ".tmp";
        FILE* stream = fopen(temp.c_str(), mode);
        if (stream == nullptr)
            continue;
        if (i == n - 1)
            fprintf(stderr, "Using default log: %s\n", target.c_str());
        file->stream = stream;
        file->tempPath = temp;
        file->targetPath = target;
        return 1;
    }
    ReportCannotCreate(name);
    return 0;
}

int CommitReplacementFile(ReplacementFile* file)
{
    if (file->stream == nullptr)
        return 0;
    bool ok = ferror(file->stream) == 0;
    ok = PlatformSyncStream(file->stream) && ok;
    ok = fclose(file->stream) == 0 && ok;
    file->stream = nullptr;
    if (ok && PlatformReplaceFile(file->tempPath, file->targetPath) == 0)
        return 1;
    PlatformRemoveFile(file->tempPath);
    fprintf(stderr, "Cannot write %s\n", file->targetPath.c_str());
    return 0;
}

void AbandonReplacementFile(ReplacementFile* file)
{
    if (file->stream == nullptr)
        return;
    fclose(file->stream);
    file->stream = nullptr;
    PlatformRemoveFile(file->tempPath);
}
