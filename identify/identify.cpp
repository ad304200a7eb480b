// identify.cpp - the size and format tests of an image, its CRC-32, and the scan listing
#include "identify/identify.h"

#include "catalogue/catalogue.h"
#include "identify/hash.h"
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

uint32_t MaxImageLength()
{
    uint32_t largest = DatPath.empty() ? 0 : LargestEntrySize();
    if (largest > CartridgeSpace)
        largest = CartridgeSpace;
    return largest > MaxImageSize ? largest : MaxImageSize;
}

int VerifiedEntry(const char* name, const unsigned char* bytes, uint32_t length, uint32_t crc)
{
    char crcText[9];
    FormatCrcText(crc, crcText);
    std::string computed[3];  // each hash at most once, and only when an entry asks for it
    int said = -1;
    const char* saidWhat = "";
    for (int i = FindEntryByCrcText(crcText, 0); i >= 0; i = FindEntryByCrcText(crcText, i + 1)) {
        const CatalogueEntry& entry = CatalogueEntries[i];
        const char* differs = nullptr;
        if (entry.hasSize && entry.size != length) {
            differs = "size";
        } else if (entry.hashKind != DatNoHash) {
            HashKind kind = (HashKind)entry.hashKind;
            std::string& digest = computed[kind];
            if (digest.empty())
                digest = HashHex(kind, bytes, length);
            if (digest != DatHashText(entry))
                differs = HashName(kind);
        }
        if (differs == nullptr)
            return i;
        // Of several entries of this CRC, the one said is the first whose
        // size is right, else the first.
        if (said < 0 || (strcmp(saidWhat, "size") == 0 && strcmp(differs, "size") != 0)) {
            said = i;
            saidWhat = differs;
        }
    }
    if (said >= 0)
        printf("%s has the CRC of %s but not its %s\n", name, EntryName(said), saidWhat);
    return -1;
}

void IdentifyImage(ImageInHand* image)
{
    const char* name = image->name;
    uint32_t length = image->length;
    FILE* file = nullptr;
    if (!image->inArchive) {
        file = PlatformOpenFile(name, "rb", 0);
        if (file == nullptr) {
            fprintf(stderr, "Cannot open %s\n", name);
            return;
        }
    }
    // The size is checked before the buffer grows, so that a huge file never
    // costs memory.
    bool sizeOk = length >= MinImageSize && length <= MaxImageLength();
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
        image->inBuffer = true;
    }

    uint32_t crc;
    if (!DatPath.empty() && image->inBuffer) {
        // A DAT's entry is the image whose bytes it verifies, mark or no mark.
        // A scan that lists every image needs no entry, and hashes only an
        // image without a mark, which is listed only as an entry.
        crc = Crc32(0, ImageBuffer, length);
        bool marked = IsVirtualBoyImage(ImageBuffer, length) != 0;
        bool needed = OptRename || (OptScanNew && !OptDeep) || !marked;
        image->entry = needed ? VerifiedEntry(name, ImageBuffer, length, crc) : -1;
        if (image->entry < 0 && !marked) {
            printf("NOT in %s Format --> %s\n", SystemFullName, name);
            return;
        }
    } else if (image->crcFromDirectory) {
        crc = image->directoryCrc;
    } else {
        if (!IsVirtualBoyImage(ImageBuffer, length)) {
            printf("NOT in %s Format --> %s\n", SystemFullName, name);
            return;
        }
        crc = Crc32(0, ImageBuffer, length);
    }
    char crcText[9];
    FormatCrcText(crc, crcText);
    if (DatPath.empty())
        image->entry = FindEntryByCrcText(crcText, 0);

    if (OptRename)
        RenameImage(*image);
    if (!OptScan)
        return;
    if (OptScanNew && !OptDeep && image->entry >= 0)
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
