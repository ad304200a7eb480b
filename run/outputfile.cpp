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

// The start folder, held from the run's start: files placed there are
// reached through it, never by its path.
static PlatformFolder* startFolder;

int HoldStartFolder()
{
    PlatformReleaseFolder(startFolder);
    startFolder = PlatformHoldCurrentDirectory();
    return startFolder != nullptr;
}

int ReturnToStartFolder()
{
    if (startFolder != nullptr)
        return PlatformEnterFolder(startFolder);
    return PlatformSetCurrentDirectory(StartDirectory);
}

void ReleaseStartFolder()
{
    PlatformReleaseFolder(startFolder);
    startFolder = nullptr;
}

// A place a fixed-name file is tried at: a folder by its path, and for the
// start folder the handle it is held by, if any.
struct Place {
    std::string dir;  // with its trailing separator
    PlatformFolder* folder = nullptr;
};

// The places a fixed-name file is tried at, in order.
static int CandidatePlaces(const char* name, Place places[3])
{
    int n = 0;
    if (strstr(name, ".db") != nullptr)
        places[n++].dir = ProgramDirectory;
    std::string start = StartDirectory;
    if (start.empty() || start.back() != PathSeparator)
        start += PathSeparator;
    places[n].dir = start;
    places[n++].folder = startFolder;
    places[n++].dir = PlatformFallbackDirectory();
    return n;
}

// What the platform is handed for name at place: the bare name in a held
// folder, else the path.
static std::string PlaceName(const Place& place, const std::string& name)
{
    return place.folder != nullptr ? name : place.dir + name;
}

std::vector<std::string> OutputFilePlaces(const char* name)
{
    Place places[3];
    int n = CandidatePlaces(name, places);
    std::vector<std::string> paths;
    for (int i = 0; i < n; i++)
        paths.push_back(places[i].dir + name);
    return paths;
}

FILE* OpenOutputFile(const char* name, const char* mode, std::string* openedPath)
{
    Place places[3];
    int n = CandidatePlaces(name, places);
    for (int i = 0; i < n; i++) {
        // A link or a special file under a fixed name is no place for it.
        FILE* stream = PlatformOpenFileIn(places[i].folder, PlaceName(places[i], name), mode, 0);
        if (stream == nullptr)
            continue;
        std::string path = places[i].dir + name;
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

// Creates a temporary file beside the target under a name of this run's own
// and gives it to file.
static FILE* CreateTemporary(const char* mode, ReplacementFile* file)
{
    std::string createMode = std::string(mode) + "x";
    std::string stem = file->targetName + "." + std::to_string(PlatformProcessId());
    for (int n = 0; n < 100; n++) {
        file->tempName = stem + (n == 0 ? std::string() : "-" + std::to_string(n)) + ".tmp";
        FILE* stream = PlatformOpenFileIn(file->folder, file->tempName, createMode.c_str(), 0);
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
    Place places[3];
    int n = CandidatePlaces(name, places);
    for (int i = 0; i < n; i++) {
        file->folder = places[i].folder;
        file->targetName = PlaceName(places[i], name);
        file->targetPath = places[i].dir + name;
        if (!PlatformIsFilePlaceIn(file->folder, file->targetName))
            continue;
        FILE* stream = CreateTemporary(mode, file);
        if (stream == nullptr)
            continue;
        if (i == n - 1)
            fprintf(stderr, "Using default log: %s\n", file->targetPath.c_str());
        file->stream = stream;
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
    if (ok && PlatformReplaceFileIn(file->folder, file->tempName, file->targetName) == 0)
        return 1;
    PlatformRemoveFileIn(file->folder, file->tempName);
    fprintf(stderr, "Cannot write %s\n", file->targetPath.c_str());
    return 0;
}

void AbandonReplacementFile(ReplacementFile* file)
{
    if (file->stream == nullptr)
        return;
    fclose(file->stream);
    file->stream = nullptr;
    PlatformRemoveFileIn(file->folder, file->tempName);
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
