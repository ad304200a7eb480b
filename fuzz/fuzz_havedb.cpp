// fuzz_havedb.cpp - fuzz target: the have database reader over any bytes, checked against the format it promises
#include "fuzz.h"

#include "catalogue/catalogue.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The catalogue's CRCs as PrepareCatalogue fills them, without its reload
// (which would look for files).
void FillCatalogueCrcs()
{
    ResetCatalogue();
    for (int i = 0; i < KnownRomCount; i++)
        CatalogueCrcs[i] = (uint32_t)strtoul(std::string(KnownRomTable[i], 8).c_str(), nullptr, 16);
}

uint32_t BigEndian32(const uint8_t* p)
{
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::SilenceConsole();
    FillCatalogueCrcs();
    FILE* stream = fuzz::OpenBytes(data, size, true);
    int loaded = ReadHaveDatabase(stream);
    fclose(stream);

    // The format: "QUOR", a system number whose lowest byte is 19, then
    // whole big-endian CRCs up to the end; a short last record is ignored.
    bool good = size >= 8 && memcmp(data, "QUOR", 4) == 0 && data[7] == 19;
    fuzz::Check(loaded == (good ? 1 : 0), "the database was judged against its format");
    int32_t expected[KnownRomCount] = {};
    if (good) {
        for (size_t at = 8; at + 4 <= size; at += 4) {
            uint32_t crc = BigEndian32(data + at);
            for (int i = 0; i < KnownRomCount; i++)
                if (CatalogueCrcs[i] == crc)
                    expected[i] = 1;
        }
    }
    for (int i = 0; i < KnownRomCount; i++)
        fuzz::Check(CopyCounts[i] == expected[i], "a copy count that the database does not give");
    return 0;
}
