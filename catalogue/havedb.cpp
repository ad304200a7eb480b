// havedb.cpp - the have database QuorVBoy.db (read and written) and the reload of what earlier runs had
#include "catalogue/catalogue.h"

#include "run/options.h"
#include "run/outputfile.h"

#include <cstring>
#include <string>

// Reads a 4-byte big-endian number; 0 when fewer than 4 bytes come.
static int ReadBigEndian32(FILE* stream, uint32_t* value)
{
    unsigned char b[4];
    if (fread(b, 1, 4, stream) != 4)
        return 0;
    *value = ((uint32_t)b[0] << 24) | ((uint32_t)b[1] << 16) | ((uint32_t)b[2] << 8) | b[3];
    return 1;
}

// Writes a 32-bit value most significant byte first.
static void PutBigEndian32(FILE* stream, uint32_t value)
{
    unsigned char b[4] = {(unsigned char)(value >> 24), (unsigned char)(value >> 16),
                          (unsigned char)(value >> 8), (unsigned char)value};
    fwrite(b, 1, 4, stream);
}

void WriteHaveDatabase(FILE* stream)
{
    fwrite("QUOR", 1, 4, stream);
    PutBigEndian32(stream, (uint32_t)SystemNumber);
    for (int i = 0; i < CatalogueSize(); i++)
        if (CopyCounts[i] != 0 && CatalogueEntries[i].hasCrc)
            PutBigEndian32(stream, CatalogueEntries[i].crc);
}

int ReadHaveDatabase(FILE* stream)
{
    unsigned char magic[4];
    if (fread(magic, 1, 4, stream) != 4 || memcmp(magic, "QUOR", 4) != 0)
        return 0;
    uint32_t system = 0;
    if (!ReadBigEndian32(stream, &system) || (system & 0xFF) != (uint32_t)SystemNumber)
        return 0;
    uint32_t crc = 0;
    while (ReadBigEndian32(stream, &crc)) {
        int i = FindEntryByCrc(crc);
        if (i >= 0)
            MarkHad(i);
    }
    return 1;
}

int LoadHaveDatabase()
{
    if (OptNoDb) {
        if (!OptQuiet)
            fprintf(NoticeStream(), "NODB specified, ignoring %s\n", HaveDatabaseName);
        return 0;
    }
    FILE* stream = OpenOutputFile(HaveDatabaseName, "rb");
    if (stream == nullptr)
        return 0;
    int loaded = ReadHaveDatabase(stream);
    fclose(stream);
    return loaded;
}

void ReadHaveList(FILE* stream)
{
    int resume = 0;
    char line[200];
    while (fgets(line, sizeof line, stream) != nullptr) {
        unsigned char first = (unsigned char)line[0];
        if (first <= 0x20 || first >= 0x80)
            continue;
        size_t len = strlen(line);
        if (len <= 2)
            continue;
        if (line[len - 1] == '\n')
            line[--len] = '\0';
        // A list written on Windows ends its lines with CR LF.
        if (len > 0 && line[len - 1] == '\r')
            line[--len] = '\0';
        for (int i = resume; i < CatalogueSize(); i++) {
            if (strcmp(line, EntryName(i)) == 0) {
                MarkHad(i);
                resume = i;
                break;
            }
        }
    }
}

void ReloadHave()
{
    if (LoadHaveDatabase()) {
        if (!OptQuiet && !OptCrcFile)
            printf("Found %s.db, Ignoring %s\n", ProgramName, HaveListName);
        return;
    }
    FILE* stream = OpenOutputFile(HaveListName, "r");
    if (stream == nullptr)
        return;
    ReadHaveList(stream);
    fclose(stream);
}
