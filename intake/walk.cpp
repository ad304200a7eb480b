// walk.cpp - the walk of the collection's folders, one folder at a time as the current directory
#include "intake/intake.h"

#include "platform/platform.h"
#include "run/run.h"

#include <string>
#include <vector>

// The folders this walk is inside, from the start directory down, so that a
// link pointing back up the tree is never entered again.
static std::vector<PlatformDirId> enteredDirs;

void ResetWalk()
{
    enteredDirs.clear();
}

static bool AlreadyEntered(const PlatformDirId& id)
{
    for (const PlatformDirId& d : enteredDirs)
        if (d.volume == id.volume && d.file == id.file)
            return true;
    return false;
}

// True when a no-scan marker file can be opened in the current directory.
static bool HasMarker(const std::string& name)
{
    FILE* f = fopen(name.c_str(), "r");
    if (f == nullptr)
        return false;
    fclose(f);
    return true;
}

// Walks one subdirectory entry of the current directory, coming back to it.
static void EnterSubdirectory(const char* path, const std::string& name)
{
    std::string saved = PlatformGetCurrentDirectory();
    std::string subPath = std::string(path) + PathSeparator + name;
    printf("Scanning %s%c*%s\n", subPath.c_str(), PathSeparator, SystemTable[SystemNumber]);

    PlatformDirId id;
    if (saved.empty() || !PlatformGetDirId(subPath, &id) || AlreadyEntered(id))
        return;
    if (!PlatformSetCurrentDirectory(subPath)) {
        PlatformSetCurrentDirectory(saved);
        return;
    }
    static const std::string markers[2] = {"_noscan.Quor", std::string("_noscan.") + ProgramName};
    for (const std::string& marker : markers) {
        if (HasMarker(marker)) {
            if (!OptQuiet)
                printf("Skipping %s (noscan file found)\n", subPath.c_str());
            PlatformSetCurrentDirectory(saved);
            return;
        }
    }
    ScanDirectory(".");
    PlatformSetCurrentDirectory(saved);
}

int ScanDirectory(const char* path)
{
    PlatformListing* listing = PlatformOpenListing(path);
    if (listing == nullptr)
        return 0;
    PlatformDirId here;
    bool pushed = PlatformGetDirId(path, &here) != 0;
    if (pushed)
        enteredDirs.push_back(here);

    PlatformDirEntry entry;
    while (PlatformNextEntry(listing, &entry)) {
        if (entry.name == "." || entry.name == "..")
            continue;
        if (entry.isDirectory) {
            if (!OptScanDirs && !OptListDirs)
                continue;
            if (entry.isHidden)
                continue;
            EnterSubdirectory(path, entry.name);
            continue;
        }
        IntakeFile(entry.name.c_str(), entry.size);
    }

    if (pushed)
        enteredDirs.pop_back();
    PlatformCloseListing(listing);
    return 0;
}
