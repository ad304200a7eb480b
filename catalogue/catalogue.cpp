// catalogue.cpp - the 37 known images and the lookups by CRC value and CRC text
#include "catalogue/catalogue.h"

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

uint32_t CatalogueCrcs[KnownRomCount];
int32_t CopyCounts[KnownRomCount];
uint32_t CrcKey;

void ResetCatalogue()
{
    for (int i = 0; i < KnownRomCount; i++) {
        CatalogueCrcs[i] = 0;
        CopyCounts[i] = 0;
    }
    CrcKey = 0;
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

void PrepareCatalogue()
{
    for (int i = 0; i < KnownRomCount; i++)
        CatalogueCrcs[i] = ParseCrcText(KnownRomTable[i]);
    ForgetCopies();
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
    for (int i = 0; i < KnownRomCount; i++)
        CopyCounts[i] = 0;
}

void SetCrcKey(uint32_t key)
{
    CrcKey = key;
}

const char* EntryName(int i)
{
    return KnownRomTable[i] + EntryNameOffset;
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

int FindEntryByCrc(uint32_t crc)
{
    for (int i = 0; i < KnownRomCount; i++)
        if (CatalogueCrcs[i] == crc)
            return i;
    if (CrcKey == 0)
        return -1;
    for (int i = 0; i < KnownRomCount; i++)
        if (CatalogueCrcs[i] == (crc ^ CrcKey))
            return i;
    return -1;
}

// The first entry from start on whose CRC text is the 8 characters of text.
static int FindCrcText(const char* text, int start)
{
    for (int i = start < 0 ? 0 : start; i < KnownRomCount; i++)
        if (strncmp(KnownRomTable[i], text, 8) == 0)
            return i;
    return -1;
}

int FindEntryByCrcText(const char* text, int start)
{
    int i = FindCrcText(text, start);
    if (i >= 0)
        return i;
    if (CrcKey == 0)
        return -1;
    char keyed[9];
    FormatCrcText(ParseCrcText(text) ^ CrcKey, keyed);
    return FindCrcText(keyed, start);
}
