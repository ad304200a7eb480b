// fuzz_havelist.cpp - fuzz target: the have-list reload over any text
#include "fuzz.h"

#include "catalogue/catalogue.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::SilenceConsole();
    ResetCatalogue();
    FILE* stream = fuzz::OpenBytes(data, size, false);
    ReadHaveList(stream);
    fclose(stream);
    for (int i = 0; i < KnownRomCount; i++)
        fuzz::Check(CopyCounts[i] == 0 || CopyCounts[i] == 1, "a reloaded count other than 0 or 1");

    // Whatever came before, a line naming the last catalogue entry is always
    // recognised: no earlier match can resume past it.
    std::string more(reinterpret_cast<const char*>(data), size);
    more += "\n";
    more += EntryName(KnownRomCount - 1);
    ResetCatalogue();
    stream = fuzz::OpenBytes(reinterpret_cast<const uint8_t*>(more.data()), more.size(), false);
    ReadHaveList(stream);
    fclose(stream);
    fuzz::Check(CopyCounts[KnownRomCount - 1] == 1, "the last entry's line was not recognised");
    return 0;
}
