// catalogue.h - the built-in table of known images, its lookups, copy counts and the memory of what was had
#pragma once

#include <cstdint>
#include <cstdio>

// The number of catalogue entries, and where an entry's name begins.
constexpr int KnownRomCount = 37;
constexpr int EntryNameOffset = 9;

// Each entry: 8 lower-case hex digits of the image's CRC-32, a space, and the
// canonical name.
extern const char* const KnownRomTable[KnownRomCount];

// The entries' CRCs as numbers, filled by PrepareCatalogue.
extern uint32_t CatalogueCrcs[KnownRomCount];

// Copies had of each entry: 0 missing, 1 had, 2 or more duplicates. Read
// by anyone; changed only through MarkHad, AddCopy and ForgetCopies.
extern int32_t CopyCounts[KnownRomCount];

// XOR key both lookups retry with when it is not 0; set by SetCrcKey.
extern uint32_t CrcKey;

// Entry i is had: its count becomes 1 (whatever it was).
void MarkHad(int i);

// One more copy of entry i was handled.
void AddCopy(int i);

// Every entry is counted as missing again.
void ForgetCopies();

// Sets the XOR key of the lookups (the group information file's "KEY=").
void SetCrcKey(uint32_t key);

// Sets CatalogueCrcs, CopyCounts and CrcKey to their state before a run.
void ResetCatalogue();

// Fills CatalogueCrcs, zeroes CopyCounts, then reloads what was had before.
void PrepareCatalogue();

// The canonical name of entry i (0..36).
const char* EntryName(int i);

// The index of the entry whose CRC is crc (or crc XOR CrcKey), or -1.
int FindEntryByCrc(uint32_t crc);

// The index, from start on, of the entry whose CRC text equals the first 8
// characters of text (or their value XOR CrcKey), or -1.
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
