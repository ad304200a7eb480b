// stats.cpp - the statistics line: the catalogue's entries by the tags in their names
#include "reports/reports.h"

#include "catalogue/catalogue.h"
#include "run/options.h"

#include <cstring>
#include <string>

void PrintStats()
{
    int redumps = 0;
    int hacks = 0;
    int bad = 0;
    int unclassed = 0;
    for (int i = 0; i < CatalogueSize(); i++) {
        const char* name = EntryName(i);
        if (strstr(name, "[!]"))
            redumps++;
        if (strstr(name, "[h") || strstr(name, "[t") || strstr(name, "Hack)"))
            hacks++;
        if (strstr(name, "[b") || strstr(name, "[o") || CatalogueEntries[i].baddump)
            bad++;
        if (strstr(name, "ZZZ_"))
            unclassed++;
    }
    std::string suffix;
    if (unclassed != 0)
        suffix = " (" + std::to_string(unclassed) + " unclassed)";
    if (OptCrcFile)
        return;
    printf("\nStats: %d entries%s, %d redumps, %d hacks/trainers, %d bad/overdumps\n", CatalogueSize(),
           suffix.c_str(), redumps, hacks, bad);
}
