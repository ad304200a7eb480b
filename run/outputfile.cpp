// outputfile.cpp - where the program's fixed-name lists, logs and database are opened
#include "run/outputfile.h"

#include "platform/platform.h"
#include "run/options.h"

#include <cerrno>
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

std::vector<std::string> OutputFilePlaces(const char* name)
{
    std::string dirs[3];
    int n = CandidateDirectories(name, dirs);
    std::vector<std::string> places;
    for (int i = 0; i < n; i++)
        places.push_back(dirs[i] + name);
    return places;
}

FILE* OpenOutputFile(const char* name, const char* mode, std::string* openedPath)
{
    std::string dirs[3];
    int n = CandidateDirectories(name, dirs);
    for (int i = 0; i < n; i++) {
        std::string path = dirs[i] + name;
        // A link or a special file under a fixed name is no place for it.
        FILE* stream = PlatformOpenFile(path, mode, 0);
        if (stream == nullptr)
            continue;
        if (i == n - 1)
            fprintf(stderr, "Using default log: %s\n", path.c_str());
        if (openedPath != nullptr)
            *openedPath = path;
        return stream;
    }
    if (IsWriteMode(mode))
        ReportCannotCreate(name);
    return nullptr;
}

// Creates a temporary file beside target under a name of this run's own.
static FILE* CreateTemporary(const std::string& target, const char* mode, std::string* tempPath)
{
    std::string createMode = std::string(mode) + "x";
    std::string stem = target + "." + std::to_string(PlatformProcessId());
    for (int n = 0; n < 100; n++) {
        *tempPath = stem + (n == 0 ? std::string() : "-" + std::to_string(n)) + ".tmp";
        FILE* stream = PlatformOpenFile(*tempPath, createMode.c_str(), 0);
        if (stream != nullptr)
            return stream;
        // Only a name that is taken (a killed run's, another machine's) is
        // worth another try.
        if (errno != EEXIST)
            return nullptr;
    }
    return nullptr;
}

int OpenReplacementFile(const char* name, const char* mode, ReplacementFile* file)
{
    std::string dirs[3];
    int n = CandidateDirectories(name, dirs);
    for (int i = 0; i < n; i++) {
        std::string target = dirs[i] + name;
        if (!PlatformIsFilePlace(target))
            continue;
        std::string temp;
        FILE* stream = CreateTemporary(target, mode, &temp);
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

FILE* OpenAppendFile(AppendFile* file)
{
    if (file->stream == nullptr)
        file->stream = OpenOutputFile(file->name, "a", &file->path);
    return file->stream;
}

// Says once per file and run that what was written to it did not all arrive.
static void ReportAppendFailure(AppendFile* file)
{
    if (file->failed)
        return;
    file->failed = true;
    fprintf(stderr, "Cannot write %s\n", file->path.c_str());
}

void WriteAppendFile(AppendFile* file, const char* text, bool flush)
{
    if (file->stream == nullptr)
        return;
    if (fputs(text, file->stream) == EOF || (flush && fflush(file->stream) != 0) || ferror(file->stream))
        ReportAppendFailure(file);
}

int SyncAppendFile(AppendFile* file)
{
    if (file->stream == nullptr)
        return 1;
    if (PlatformSyncStream(file->stream) && !ferror(file->stream))
        return 1;
    ReportAppendFailure(file);
    return 0;
}

void CloseAppendFile(AppendFile* file)
{
    if (file->stream == nullptr)
        return;
    bool ok = ferror(file->stream) == 0;
    ok = fclose(file->stream) == 0 && ok;
    file->stream = nullptr;
    if (!ok)
        ReportAppendFailure(file);
}

void ResetAppendFile(AppendFile* file)
{
    if (file->stream != nullptr)
        fclose(file->stream);
    file->stream = nullptr;
    file->path.clear();
    file->failed = false;
}
