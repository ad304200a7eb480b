// dat.h - the reader of DAT files (Logiqx XML and clrmamepro text): the images a collector's catalogue lists
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The hashes an entry can give, strongest last (the same numbers as
// identify/hash.h's HashKind).
constexpr int8_t DatNoHash = -1;
constexpr int8_t DatMd5 = 0;
constexpr int8_t DatSha1 = 1;
constexpr int8_t DatSha256 = 2;

// A size of 4 GiB or more, which no image can have.
constexpr uint32_t DatSizeTooLarge = 0xFFFFFFFF;

// The longest entry name taken, in bytes.
constexpr size_t DatMaxNameLength = 200;

// One rom of a DAT whose name ends in ".vb" (any case). Kept small: a DAT
// of 100,000 entries must load in a few MiB.
struct DatEntry {
    uint32_t name = 0;      // where the entry's name begins in the names text (see DatName)
    uint32_t size = 0;      // bytes, DatSizeTooLarge for 4 GiB or more; meaningful with hasSize
    uint32_t crc = 0;       // meaningful with hasCrc
    // One byte for the four flags, so that a record takes 48 bytes.
    bool hasSize : 1;
    bool hasCrc : 1;
    bool nodump : 1;        // status "nodump": never matched, listed missing
    bool baddump : 1;       // status "baddump"
    int8_t hashKind = DatNoHash;  // the strongest hash the rom gives (DatMd5, DatSha1, DatSha256)
    unsigned char hash[32] = {};  // its digest: 16, 20 or 32 bytes
    DatEntry() : hasSize(false), hasCrc(false), nodump(false), baddump(false) {}
};

// The entries of a DAT, in its order.
using DatEntries = std::vector<DatEntry>;

struct DatHeader {
    std::string name, version;  // the header's name (its description when it has none) and version
};

// Reads a DAT file, Logiqx XML or clrmamepro text, told apart by content.
// On success returns 1 with header, the entries in the DAT's order and
// names: every entry's name (its rom's file name without the extension),
// each ended by a NUL byte. A rom whose name cannot be a file name on every
// system, or repeats an earlier entry's name (in any case), is not taken:
// "Cannot use the name \"%s\" from %s\n" on stderr. On failure returns 0,
// with *reason set to a few words ("cannot open", "line 12: unclosed
// block"), and the outputs empty. Never loads a DTD or expands an entity;
// reads the file in pieces, so that its text is never held whole.
int ReadDat(const std::string& path, DatHeader* header, DatEntries* entries, std::string* names,
            std::string* reason);

// The name of an entry read with names.
inline const char* DatName(const std::string& names, const DatEntry& entry)
{
    return names.c_str() + entry.name;
}

// The entry's hash as lower-case hex digits; empty when it gives none.
std::string DatHashText(const DatEntry& entry);

// 1 when name can be a file name (with an extension added) on Linux and on
// Windows alike, else 0: not empty, "." or "..", no "/", "\", control byte
// or one of < > : " | ? *, no name Windows reserves (CON, PRN, AUX, NUL,
// COM1-9, LPT1-9, with an extension or not, any case), at most
// DatMaxNameLength bytes.
int IsUsableName(const std::string& name);

// Writes the catalogue entries for which listed is true as a Logiqx XML DAT
// whose header names the catalogue's DAT and its version: the fix list.
void WriteFixDat(FILE* stream, bool (*listed)(int));
