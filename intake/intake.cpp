// intake.cpp - which files and archive members are images, and handing them to identification
#include "intake/intake.h"

#include "catalogue/catalogue.h"
#include "identify/identify.h"
#include "run/imagebuffer.h"
#include "run/options.h"

#include <cctype>
#include <cstring>

bool HasExtension(const char* name, const char* list)
{
    size_t nameLen = strlen(name);
    const char* ext = strchr(list, '.');
    while (ext != nullptr) {
        const char* next = strchr(ext + 1, '.');
        size_t extLen = next != nullptr ? (size_t)(next - ext) : strlen(ext);
        if (extLen <= nameLen) {
            const char* tail = name + nameLen - extLen;
            size_t k = 0;
            while (k < extLen && tolower((unsigned char)tail[k]) == tolower((unsigned char)ext[k]))
                k++;
            if (k == extLen)
                return true;
        }
        ext = next;
    }
    return false;
}

// Marks the catalogue entry of an archive member's directory CRC as had.
static void MarkPresent(uint32_t crc)
{
    int i = FindEntryByCrc(crc);
    if (i >= 0)
        MarkHad(i);
}

// Surveys and, when it holds one image and no executable, takes the image
// member of an archive. Returns after closing every archive it opened.
static void IntakeArchive(const char* name)
{
    const char* imageExt = SystemTable[SystemNumber];
    ZipArchive* archive = ZipOpen(name);
    if (archive == nullptr)
        return;

    int images = 0;
    bool emulator = false;
    bool noted = false;
    uint32_t notedCrc = 0;
    while (ZipEntry* entry = ZipNextEntry(archive)) {
        if (entry->nameLength == 0)
            continue;
        const char* member = entry->name.c_str();
        if (HasExtension(member, ".exe"))
            emulator = true;
        if (HasExtension(member, imageExt)) {
            images++;
            if (OptList && noted)
                MarkPresent(notedCrc);
            noted = true;
            notedCrc = entry->crc32;
        }
    }
    ZipClose(archive);

    if (images > 1 || emulator) {
        if (OptList) {
            if (noted)
                MarkPresent(notedCrc);
        } else {
            if (emulator && images > 0)
                printf("I don't rename ROMS inside EMU distros ... skipping %s\n", name);
            if (images > 0)
                printf("Multiple ROMS found in %s ... skipping\n", name);
        }
        return;
    }

    bool taken = false;
    uint32_t memberSize = 0;
    archive = ZipOpen(name);
    if (archive != nullptr) {
        while (!taken) {
            ZipEntry* entry = ZipNextEntry(archive);
            if (entry == nullptr)
                break;
            bool knownCrc = FindEntryByCrc(entry->crc32) >= 0;
            if (knownCrc) {
                ArchiveCrc = entry->crc32;
                ArchiveCrcKnown = 1;
                memberSize = entry->uncompressedSize;
                ImageInArchive = 1;
                taken = true;
                if (!OptScan)
                    break;
            }
            if (HasExtension(entry->name.c_str(), imageExt)) {
                memberSize = entry->uncompressedSize;
                ImageInArchive = 1;
                taken = true;
                // A member of a size no image has is neither read nor
                // inflated: identification reports its size.
                if (memberSize < MinImageSize || memberSize > MaxImageSize)
                    break;
                if (!GrowImageBuffer(memberSize) ||
                    ZipReadEntry(archive, entry, ImageBuffer) != 0) {
                    printf("Error reading %s ... skipping\n", name);
                    ImageInArchive = 0;
                    ZipClose(archive);
                    return;
                }
                break;
            }
        }
    }
    if (!taken && !OptQuiet)
        printf("NO %s ROMS found in %s\n", SystemFullName, name);
    ZipClose(archive);
    if (taken)
        IdentifyImage(name, memberSize);
}

int IntakeFile(const char* name, uint32_t size)
{
    ImageInArchive = 0;
    ArchiveCrc = 0;
    ArchiveCrcKnown = 0;
    if (HasExtension(name, ".zip")) {
        // An archive the reader refuses has been reported; nothing more.
        IntakeArchive(name);
        return 1;
    }
    if (HasExtension(name, SystemTable[SystemNumber]))
        IdentifyImage(name, size);
    return 1;
}
