// datload.cpp - reads a DAT as the program does and says what it took: quordatload FILE [--list]
//
// Time and peak memory come from outside (bench/run.sh or /usr/bin/time);
// --list prints every entry as "name|size|crc|hash|flags", for a look by eye.
#include "catalogue/dat.h"

#include <chrono>
#include <cstdio>
#include <cstring>

static std::string Hex8(uint32_t value)
{
    char text[9];
    snprintf(text, sizeof text, "%08x", (unsigned)value);
    return text;
}

int main(int argc, char** argv)
{
    if (argc < 2)
        return fprintf(stderr, "usage: quordatload FILE [--list]\n"), 2;
    DatHeader header;
    DatEntries entries;
    std::string names, reason;
    auto start = std::chrono::steady_clock::now();
    int ok = ReadDat(argv[1], &header, &entries, &names, &reason);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!ok)
        return printf("Cannot read the DAT %s: %s\n", argv[1], reason.c_str()), 1;
    printf("%s (%s): %zu entries, %zu bytes of names, in %.1f ms\n", header.name.c_str(), header.version.c_str(),
           entries.size(), names.size(), ms);
    if (argc > 2 && strcmp(argv[2], "--list") == 0)
        for (const DatEntry& e : entries)
            printf("%s|%s|%s|%s|%s%s\n", DatName(names, e), e.hasSize ? std::to_string(e.size).c_str() : "-",
                   e.hasCrc ? Hex8(e.crc).c_str() : "-", DatHashText(e).c_str(), e.nodump ? "N" : "",
                   e.baddump ? "B" : "");
    return 0;
}
