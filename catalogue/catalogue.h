// catalogue.h - the catalogue of known images (built in, or from a DAT), its lookups, copy counts and the memory of what was had
#pragma once

#include "catalogue/dat.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The number of entries of the built-in table, and where an entry's name
// begins in it.
constexpr int KnownRomCount = 37;
constexpr int EntryNameOffset = 9;

// The built-in table: 8 lower-case hex digits of the image's CRC-32, a
// space, and the canonical name.
extern const char* const KnownRomTable[KnownRomCount];

// One entry of the catalogue in use: its name (in CatalogueNames) and CRC,
// and what a DAT gives besides: a size, the strongest hash, a status. The
// built-in table gives a name and a CRC only.
using CatalogueEntry = DatEntry;

// The catalogue in use, in its order (the order of every report), and the
// names of its entries, each ended by a NUL.
extern DatEntries CatalogueEntries;
extern std::string CatalogueNames;

// Copies had of each entry: 0 missing, 1 had, 2 or more duplicates. Read
// by anyone; changed only through MarkHad, AddCopy and ForgetCopies.
extern std::vector<int32_t> CopyCounts;

// XOR key both lookups retry with when it is not 0; set by SetCrcKey.
extern uint32_t CrcKey;

// The DAT the catalogue comes from: its path as the user gave it (empty for
// the built-in table), and its header's name and version.
extern std::string DatPath;
extern std::string DatHeaderName;
extern std::string DatHeaderVersion;

// The number of entries in the catalogue in use.
int CatalogueSize();

// Entry i is had: its count becomes 1 (whatever it was).
void MarkHad(int i);

// One more copy of entry i was handled.
void AddCopy(int i);

// Every entry is counted as missing again.
void ForgetCopies();

// Sets the XOR key of the lookups (the group information file's "KEY=").
void SetCrcKey(uint32_t key);

// Empties the catalogue, forgets its DAT and sets CrcKey to 0.
void ResetCatalogue();

// Reads the DAT at path (shown as given in messages) as the catalogue of
// this run. Returns 1; 0 after "Cannot read the DAT %s: %s".
int LoadDatCatalogue(const std::string& path, const std::string& given);

// Fills the catalogue from the built-in table unless a DAT was loaded, with
// nothing had.
void FillCatalogue();

// Fills the catalogue, then reloads what was had before.
void PrepareCatalogue();

// The canonical name of entry i.
const char* EntryName(int i);

// The largest image size an entry gives (0 when none does).
uint32_t LargestEntrySize();

// The first entry whose CRC is crc, or failing that crc XOR CrcKey; -1.
int FindEntryByCrc(uint32_t crc);

// The first entry from start on whose CRC text equals the first 8
// characters of text, or failing that their value XOR CrcKey; -1. Passing
// one past an answer gives the next entry of the same CRC.
int FindEntryByCrcText(const char* text, int start);

// Writes crc as CRC text: 8 lower-case hex digits and a terminator.
void FormatCrcText(uint32_t crc, char text[9]);

// Reloads CopyCounts from the have database, or failing that from the have
// list, printing the lines a user sees about it.
void ReloadHave();

// Reads the have database through the output-file placement rule. Returns 1
// when one was loaded (honouring OptNoDb), else 0.
int LoadHaveDatabase();

// Reads an open have database stream: returns 1 and marks its known CRCs
// had when its header is good, else 0.
int ReadHaveDatabase(FILE* stream);

// Reads an open have list stream and marks the names it holds as had, in
// catalogue order.
void ReadHaveList(FILE* stream);

// Writes the have database of every had entry to stream: "QUOR", the system
// number and each had entry's CRC, all big-endian, in catalogue order.
void WriteHaveDatabase(FILE* stream);
