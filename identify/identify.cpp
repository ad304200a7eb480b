// identify.cpp - the size and format tests of an image, its CRC-32, and the scan listing
#include "identify/identify.h"

#include "catalogue/catalogue.h"
#include "platform/platform.h"
#include "rename/rename.h"
#include "run/imagebuffer.h"
#include "run/options.h"

#include <cstring>
#include <string>

AppendFile ScanListing(ScanListingName);

// The header window: the 32 positions from length - 544 to length - 513.
constexpr uint32_t HeaderWindowStart = 544;
constexpr uint32_t HeaderWindowSize = 32;

int IsVirtualBoyImage(const unsigned char* bytes, uint32_t length)
{
    if (length < HeaderWindowStart)
        return 0;
    uint32_t first = length - HeaderWindowStart;
    for (uint32_t p = first; p < first + HeaderWindowSize; p++) {
        if (bytes[p] == 'V' && (bytes[p + 3] == 'E' || bytes[p + 3] == 'J' || bytes[p + 3] == '-'))
            return 1;
        if (bytes[p] == 'T' && bytes[p + 1] == 'S' && bytes[p + 2] == 'T')
            return 1;
    }
    return 0;
}

void ListedName(const char* name, char* out, size_t outSize)
{
    if (outSize == 0)
        return;
    size_t len = strlen(name);
    const char* dot = strrchr(name, '.');
    if (dot != nullptr && dot != name)
        len = (size_t)(dot - name);
    if (len >= outSize)
        len = outSize - 1;
    memcpy(out, name, len);
    out[len] = '\0';
}

void CloseScanListing()
{
    CloseAppendFile(&ScanListing);
}

// Reads a loose image of length bytes into ImageBuffer. Returns 1 when all
// of it came.
static int ReadLooseImage(FILE* file, uint32_t length)
{
    size_t got = fread(ImageBuffer, 1, length, file);
    return got == length;
}

void IdentifyImage(const char* name, uint32_t length)
{
    FILE* file = nullptr;
    if (!ImageInArchive) {
        file = PlatformOpenFile(name, "rb", 0);
        if (file == nullptr) {
            fprintf(stderr, "Cannot open %s\n", name);
            return;
        }
    }
    // The size is checked before the buffer grows, so that a huge file never
    // costs memory.
    bool sizeOk = length >= MinImageSize && length <= MaxImageSize;
    if (sizeOk && length > ImageBufferCapacity)
        GrowImageBuffer(length);
    if (!sizeOk || ImageBuffer == nullptr) {
        printf("Unrecognized image size in %s\n", name);
        if (file != nullptr)
            fclose(file);
        return;
    }
    if (file != nullptr) {
        int complete = ReadLooseImage(file, length);
        fclose(file);
        if (!complete) {
            // A file that yields less than its length is not keyed on stale
            // buffer contents.
            fprintf(stderr, "Cannot read %s\n", name);
            return;
        }
    }

    uint32_t crc;
    if (ArchiveCrcKnown) {
        crc = ArchiveCrc;
    } else {
        if (!IsVirtualBoyImage(ImageBuffer, length)) {
            printf("NOT in %s Format --> %s\n", SystemFullName, name);
            return;
        }
        crc = Crc32(0, ImageBuffer, length);
    }
    char crcText[9];
    FormatCrcText(crc, crcText);

    if (OptRename)
        RenameImage(crcText, name);
    if (!OptScan)
        return;
    int entry = FindEntryByCrcText(crcText, 0);
    if (OptScanNew && !OptDeep && entry >= 0)
        return;
    if (OpenAppendFile(&ScanListing) == nullptr)
        return;
    std::string listed(strlen(name) + 1, '\0');
    ListedName(name, &listed[0], listed.size());
    char keyed[9];
    FormatCrcText(crc ^ CrcKey, keyed);
    std::string line = std::string("\"") + keyed + " " + listed.c_str() + "\",\n";
    WriteAppendFile(&ScanListing, line.c_str());
}
