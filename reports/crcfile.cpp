// crcfile.cpp - the CRC file for the MESS emulator, built from the catalogue, on standard output
#include "reports/reports.h"

#include "catalogue/catalogue.h"

#include <cstdio>
#include <string>

// Takes the year tag out of name: "(19..)", "(2000)" or "(2001)" closed
// after 4 or 7 characters. Returns the year, or an empty text.
static std::string TakeYear(std::string& name)
{
    size_t p = name.find("(19");
    if (p == std::string::npos)
        p = name.find("(2000)");
    if (p == std::string::npos)
        p = name.find("(2001)");
    if (p == std::string::npos)
        return std::string();
    size_t from = p > 0 ? p - 1 : 0;
    if (p + 5 < name.size() && name[p + 5] == ')') {
        std::string year = name.substr(p + 1, 4);
        name.erase(from, p + 6 - from);
        return year;
    }
    if (p + 8 < name.size() && name[p + 8] == ')') {
        std::string year = name.substr(p + 1, 7);
        name.erase(from, p + 9 - from);
        return year;
    }
    return std::string();
}

// Takes the bad-dump tag or the "{status}" out of name. Returns the status.
static std::string TakeStatus(std::string& name)
{
    size_t q = name.find("[b");
    if (q != std::string::npos) {
        size_t r = name.find(']', q + 2);
        size_t from = (q > 0 && name[q - 1] == ' ') ? q - 1 : q;
        if (r == std::string::npos)
            name.erase(from);
        else
            name.erase(from, r + 1 - from);
        return "Known Bad Dump";
    }
    size_t brace = name.find('{');
    if (brace != std::string::npos) {
        size_t close = name.find('}', brace + 1);
        std::string status = name.substr(brace + 1, close == std::string::npos ? std::string::npos
                                                                                 : close - brace - 1);
        name.erase(brace);
        return status;
    }
    return std::string();
}

void WriteEmulatorCrcFile()
{
    printf("# This MESS CRC file was generated from Varnel's Quor databases\n");
    printf("# Please keep this notice intact if editing this file\n");
    printf("# crc= Game Name | Year | Manufacturer | Emulation Status\n");
    printf("\n");
    printf("[vboy]\n");
    for (int i = 0; i < CatalogueSize(); i++) {
        // An entry without a CRC has no line in a file of CRCs.
        if (!CatalogueEntries[i].hasCrc || CatalogueEntries[i].nodump)
            continue;
        std::string name = EntryName(i);
        size_t lt = name.find('<');
        if (lt != std::string::npos)
            name.erase(lt);
        std::string year = TakeYear(name);
        std::string status = TakeStatus(name);
        char crc[9];
        FormatCrcText(CatalogueEntries[i].crc, crc);
        printf("%s= %s | %s | | %s%s\n", crc, name.c_str(), year.c_str(), status.c_str(), "");
    }
}
