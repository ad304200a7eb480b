// catalogue.cpp - the catalogue in use: the 37 built-in entries or a DAT's, and the lookups by CRC value and CRC text
#include "catalogue/catalogue.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

const char* const KnownRomTable[KnownRomCount] = {
    "bb71b522 3D Tetris (U)",
    "d8b823be Croach, The (PD)",
    "c9710a36 Galactic Pinball (JU)",
    "2199af41 Golf (U)",
    "efd0ac36 Insane Mouse Mansion (J)",
    "cab61e8b Jack Bros (J)",
    "81af4d6d Jack Bros (U)",
    "bf0d0ab0 Mario Clash (JU) [a1]",
    "a47de78c Mario Clash (JU)",
    "5ac0d8bb Mario's Tennis (JU) [a1]",
    "7ce7460d Mario's Tennis (JU)",
    "63a181af Nester's Funky Bowling (U) [b1]",
    "9c092bce Nester's Funky Bowling (U) [b2]",
    "2f76eca9 Nester's Funky Bowling (U)",
    "40498f5e Panic Bomber (J)",
    "19bb2dfb Panic Bomber (U) [b1]",
    "25fb89bb Panic Bomber (U)",
    "e6d411dc Reality Boy Demo 1 (PD)",
    "dc2ec5b8 Reality Boy Demo 2 (PD)",
    "7e85c45d Red Alarm (J)",
    "aa10a7b4 Red Alarm (U)",
    "c2211fcc Space Squash (J)",
    "6ba07915 T&E Virtual Golf (J)",
    "36103000 Teleroboxer (JU)",
    "3ccb67ae V Tetris (J)",
    "05d06377 Vertical Force (J)",
    "4c32ba5e Vertical Force (U)",
    "2e20b6e7 Virtual Baseball (U)",
    "133e9372 Virtual Boy Wario Land (JU)",
    "45471e40 Virtual Fishing (J)",
    "41fb63bf Virtual Golf (J)",
    "cc62ab38 Virtual League Baseball (U)",
    "42e17e38 Virtual Pong (PD)",
    "9ba8bb5e Virtual Pro Yakyuu '95 (J)",
    "c44b6874 Virtual-E Cursor Demo (PD)",
    "742298d1 Waterworld (U) [a1]",
    "82a95e51 Waterworld (U)",
};

DatEntries CatalogueEntries;
std::string CatalogueNames;
std::vector<int32_t> CopyCounts;
uint32_t CrcKey;
std::string DatPath;
std::string DatHeaderName;
std::string DatHeaderVersion;

// The indexes of the entries that have a CRC, ordered by CRC and then by
// index: the lookups find the lowest index of a CRC by halving.
static std::vector<int32_t> crcIndex;
// The largest size an entry gives.
static uint32_t largestSize;

void ResetCatalogue()
{
    CatalogueEntries.clear();
    CatalogueNames.clear();
    CopyCounts.clear();
    crcIndex.clear();
    largestSize = 0;
    CrcKey = 0;
    DatPath.clear();
    DatHeaderName.clear();
    DatHeaderVersion.clear();
}

int CatalogueSize()
{
    return (int)CatalogueEntries.size();
}

// The first 8 characters of text read as a hexadecimal number.
static uint32_t ParseCrcText(const char* text)
{
    char digits[9];
    size_t n = 0;
    while (n < 8 && text[n] != '\0') {
        digits[n] = text[n];
        n++;
    }
    digits[n] = '\0';
    return (uint32_t)strtoul(digits, nullptr, 16);
}

// Adds an entry of the built-in table at the catalogue's end.
static void AddBuiltInEntry(const char* text)
{
    CatalogueEntry entry;
    entry.name = (uint32_t)CatalogueNames.size();
    entry.crc = ParseCrcText(text);
    entry.hasCrc = true;
    CatalogueNames.append(text + EntryNameOffset);
    CatalogueNames += '\0';
    CatalogueEntries.push_back(entry);
}

int LoadDatCatalogue(const std::string& path, const std::string& given)
{
    ResetCatalogue();
    std::string reason;
    DatHeader header;
    fflush(stdout);
    if (!ReadDat(path, &header, &CatalogueEntries, &CatalogueNames, &reason)) {
        fprintf(stderr, "Cannot read the DAT %s: %s\n", path.c_str(), reason.c_str());
        return 0;
    }
    // A text grown by doubling may hold twice what it needs for the run.
    if (CatalogueNames.capacity() > CatalogueNames.size() + CatalogueNames.size() / 4)
        CatalogueNames.shrink_to_fit();
    DatPath = given;
    DatHeaderName = header.name;
    DatHeaderVersion = header.version;
    return 1;
}

void FillCatalogue()
{
    if (DatPath.empty()) {
        CatalogueEntries.clear();
        CatalogueNames.clear();
        for (int i = 0; i < KnownRomCount; i++)
            AddBuiltInEntry(KnownRomTable[i]);
    }
    crcIndex.clear();
    largestSize = 0;
    size_t withCrc = 0;
    for (const CatalogueEntry& entry : CatalogueEntries)
        withCrc += entry.hasCrc && !entry.nodump;
    crcIndex.reserve(withCrc);
    for (int i = 0; i < CatalogueSize(); i++) {
        const CatalogueEntry& entry = CatalogueEntries[i];
        if (entry.hasCrc && !entry.nodump)
            crcIndex.push_back(i);
        if (entry.hasSize && entry.size > largestSize)
            largestSize = entry.size;
    }
    std::stable_sort(crcIndex.begin(), crcIndex.end(),
                     [](int32_t a, int32_t b) { return CatalogueEntries[a].crc < CatalogueEntries[b].crc; });
    CopyCounts.assign(CatalogueEntries.size(), 0);
}

void PrepareCatalogue()
{
    FillCatalogue();
    ReloadHave();
}

void MarkHad(int i)
{
    CopyCounts[i] = 1;
}

void AddCopy(int i)
{
    CopyCounts[i]++;
}

void ForgetCopies()
{
    std::fill(CopyCounts.begin(), CopyCounts.end(), 0);
}

void SetCrcKey(uint32_t key)
{
    CrcKey = key;
}

const char* EntryName(int i)
{
    return CatalogueNames.c_str() + CatalogueEntries[i].name;
}

uint32_t LargestEntrySize()
{
    return largestSize;
}

void FormatCrcText(uint32_t crc, char text[9])
{
    static const char hex[] = "0123456789abcdef";
    for (int i = 7; i >= 0; i--) {
        text[i] = hex[crc & 0xF];
        crc >>= 4;
    }
    text[8] = '\0';
}

// The lowest index from start on of an entry whose CRC is crc, or -1.
static int FindCrc(uint32_t crc, int start)
{
    int32_t from = start < 0 ? 0 : start;
    auto at = std::lower_bound(crcIndex.begin(), crcIndex.end(), from, [crc](int32_t i, int32_t first) {
        uint32_t c = CatalogueEntries[i].crc;
        return c < crc || (c == crc && i < first);
    });
    return at != crcIndex.end() && CatalogueEntries[*at].crc == crc ? *at : -1;
}

int FindEntryByCrc(uint32_t crc)
{
    int i = FindCrc(crc, 0);
    if (i >= 0 || CrcKey == 0)
        return i;
    return FindCrc(crc ^ CrcKey, 0);
}

int FindEntryByCrcText(const char* text, int start)
{
    // Only CRC text as the catalogue writes it matches as it stands: eight
    // lower-case hex digits.
    bool plain = true;
    for (int n = 0; n < 8 && plain; n++)
        plain = (text[n] >= '0' && text[n] <= '9') || (text[n] >= 'a' && text[n] <= 'f');
    int i = plain ? FindCrc(ParseCrcText(text), start) : -1;
    if (i >= 0 || CrcKey == 0)
        return i;
    return FindCrc(ParseCrcText(text) ^ CrcKey, start);
}
