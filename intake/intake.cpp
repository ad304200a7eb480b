// intake.cpp - which files and archive members are images, and handing them to identification
#include "intake/intake.h"

#include "catalogue/catalogue.h"
#include "identify/identify.h"
#include "run/imagebuffer.h"
#include "run/options.h"

#include <cctype>
#include <cstring>
#include <vector>

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

// In list mode, marks as had the image members of an archive that is
// skipped, among its first count entries (those its survey read): each by
// the entry its bytes verify against the DAT.
static void MarkVerifiedMembers(const char* name, int count)
{
    ZipArchive* archive = ZipOpen(name);
    if (archive == nullptr)
        return;
    for (int n = 0; n < count; n++) {
        ZipEntry* entry = ZipNextEntry(archive);
        if (entry == nullptr)
            break;
        uint32_t size = entry->uncompressedSize;
        if (entry->nameLength == 0 || !HasExtension(entry->name.c_str(), SystemTable[SystemNumber]) ||
            FindEntryByCrc(entry->crc32) < 0 || size < MinImageSize || size > MaxImageLength() ||
            !GrowImageBuffer(size) || ZipReadEntry(archive, entry, ImageBuffer) != 0)
            continue;
        int i = VerifiedEntry(name, ImageBuffer, size, Crc32(0, ImageBuffer, size));
        if (i >= 0)
            MarkHad(i);
    }
    ZipClose(archive);
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
    int surveyed = 0;
    bool emulator = false;
    std::vector<uint32_t> imageCrcs;
    while (ZipEntry* entry = ZipNextEntry(archive)) {
        surveyed++;
        if (entry->nameLength == 0)
            continue;
        const char* member = entry->name.c_str();
        if (HasExtension(member, ".exe"))
            emulator = true;
        if (HasExtension(member, imageExt)) {
            images++;
            imageCrcs.push_back(entry->crc32);
        }
    }
    ZipClose(archive);

    if (images > 1 || emulator) {
        if (OptList && !DatPath.empty()) {
            MarkVerifiedMembers(name, surveyed);
        } else if (OptList) {
            // Known by their directory CRCs, as the archive says.
            for (uint32_t crc : imageCrcs) {
                int i = FindEntryByCrc(crc);
                if (i >= 0)
                    MarkHad(i);
            }
        } else {
            if (emulator && images > 0)
                printf("I don't rename ROMS inside EMU distros ... skipping %s\n", name);
            if (images > 0)
                printf("Multiple ROMS found in %s ... skipping\n", name);
        }
        return;
    }

    ImageInHand image;
    image.name = name;
    image.inArchive = true;
    bool taken = false;
    archive = ZipOpen(name);
    if (archive != nullptr) {
        while (!taken) {
            ZipEntry* entry = ZipNextEntry(archive);
            if (entry == nullptr)
                break;
            bool knownCrc = FindEntryByCrc(entry->crc32) >= 0;
            bool imageName = HasExtension(entry->name.c_str(), imageExt);
            if (!knownCrc && !imageName)
                continue;
            taken = true;
            image.length = entry->uncompressedSize;
            if (knownCrc) {
                image.crcFromDirectory = true;
                image.directoryCrc = entry->crc32;
            }
            // A member taken by its known CRC is read only where its bytes
            // count: in a scan, under a name of an image, or to be verified
            // against a DAT. One of a size no image has is neither read nor
            // inflated: identification reports its size.
            bool read = !knownCrc || (OptScan && imageName) || !DatPath.empty();
            if (!read || image.length < MinImageSize || image.length > MaxImageLength())
                break;
            if (!GrowImageBuffer(image.length) || ZipReadEntry(archive, entry, ImageBuffer) != 0) {
                printf("Error reading %s ... skipping\n", name);
                ZipClose(archive);
                return;
            }
            image.inBuffer = true;
        }
    }
    if (!taken && !OptQuiet)
        printf("NO %s ROMS found in %s\n", SystemFullName, name);
    ZipClose(archive);
    if (taken)
        IdentifyImage(&image);
}

int IntakeFile(const char* name, uint32_t size)
{
    if (HasExtension(name, ".zip")) {
        // An archive the reader refuses has been reported; nothing more.
        IntakeArchive(name);
        return 1;
    }
    if (HasExtension(name, SystemTable[SystemNumber])) {
        ImageInHand image;
        image.name = name;
        image.length = size;
        IdentifyImage(&image);
    }
    return 1;
}
