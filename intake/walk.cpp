// walk.cpp - the walk of the collection's folders, one folder at a time as the current directory
#include "intake/intake.h"

#include "platform/platform.h"
#include "run/options.h"

#include <set>
#include <string>
#include <utility>

// Every folder this walk has entered, by its identity on its volume, so that
// no folder is walked twice however it is reached.
static std::set<std::pair<uint64_t, uint64_t>> enteredDirs;

void ResetWalk()
{
    enteredDirs.clear();
}

// Remembers the listed folder as entered. Returns false when it was already.
static bool FirstEntry(PlatformListing* listing)
{
    PlatformDirId id;
    if (!PlatformListingId(listing, &id))
        return true;
    return enteredDirs.insert({id.volume, id.file}).second;
}

// True when a no-scan marker file can be opened in the current directory.
static bool HasMarker(const std::string& name)
{
    FILE* f = PlatformOpenFile(name, "r", 1);
    if (f == nullptr)
        return false;
    fclose(f);
    return true;
}

static int WalkListing(PlatformListing* listing);

// Walks the subdirectory name of the listed (and current) folder, coming back
// to it. Returns false when the walk could not come back.
static bool EnterSubdirectory(PlatformListing* parent, const std::string& name)
{
    std::string subPath = std::string(".") + PathSeparator + name;
    printf("Scanning %s%c*%s\n", subPath.c_str(), PathSeparator, SystemTable[SystemNumber]);

    PlatformListing* child = PlatformOpenListing(name);
    if (child == nullptr || !PlatformEnterListing(child)) {
        fprintf(stderr, "Cannot enter %s\n", subPath.c_str());
        PlatformCloseListing(child);
        return true;
    }
    bool walked = false;
    if (FirstEntry(child)) {
        static const std::string markers[2] = {"_noscan.Quor", std::string("_noscan.") + ProgramName};
        bool marked = HasMarker(markers[0]) || HasMarker(markers[1]);
        if (marked && !OptQuiet)
            printf("Skipping %s (noscan file found)\n", subPath.c_str());
        walked = !marked;
    }
    bool cameBack = walked ? WalkListing(child) == 0 : true;
    PlatformCloseListing(child);
    // Back by the parent's handle, never by a path that may be too long.
    if (cameBack && PlatformEnterListing(parent))
        return true;
    fprintf(stderr, "Cannot return from %s\n", subPath.c_str());
    return false;
}

// Hands every file of the listed (and current) folder on and walks its
// subfolders as asked. Returns 0, or -1 when the walk was lost in a folder
// it could not leave.
static int WalkListing(PlatformListing* listing)
{
    PlatformDirEntry entry;
    while (PlatformNextEntry(listing, &entry)) {
        if (entry.name == "." || entry.name == "..")
            continue;
        // A link could lead anywhere, out of the collection among others.
        if (entry.isLink) {
            if (!OptQuiet)
                printf("Skipping link .%c%s\n", PathSeparator, entry.name.c_str());
            continue;
        }
        if (entry.isDirectory) {
            if (!OptScanDirs && !OptListDirs)
                continue;
            if (entry.isHidden)
                continue;
            if (!EnterSubdirectory(listing, entry.name))
                return -1;
            continue;
        }
        IntakeFile(entry.name.c_str(), entry.size);
    }
    return 0;
}

int ScanDirectory(const char* path)
{
    PlatformListing* listing = PlatformOpenListing(path);
    if (listing == nullptr)
        return 0;
    FirstEntry(listing);
    WalkListing(listing);
    PlatformEnterListing(listing);
    PlatformCloseListing(listing);
    return 0;
}
