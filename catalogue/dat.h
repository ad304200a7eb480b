// dat.h - DAT files: the catalogues collectors keep (Logiqx XML and clrmamepro text), read and written
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Reads the DAT at path into the (empty) catalogue: one entry for each rom
// whose name ends in ".vb", in the DAT's order, and the header's name and
// version. A name that cannot be a file name everywhere, or that an earlier
// entry has, is not taken: "Cannot use the name \"%s\" from %s" (given).
// Returns 1; 0 with reason set to a few words when the DAT cannot be used.
int ReadDat(const std::string& path, const std::string& given, std::string* name, std::string* version,
            std::string* reason);

// Writes the entries listed as a Logiqx XML DAT whose header names the
// catalogue's DAT and its version.
void WriteFixDat(FILE* stream, const std::vector<int>& entries);
