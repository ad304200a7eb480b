// groupinfo.h - the group information file QuorInfo.cfg and the audit of the catalogue against it
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

constexpr int GroupSlotCount = 64;
constexpr const char* GroupInfoName = "QuorInfo.cfg";

// One group: a "*"-separated pattern over canonical names, its directory
// below "VBoyRen" (ending with a separator once filled), an extension
// without dot for its loose images, and whether its absent images are listed.
struct GroupSlot {
    char pattern[100];
    char directory[100];
    char extension[8];
    int32_t listMissing;
};

extern GroupSlot GroupTable[GroupSlotCount];

// 1 once the group information file was read in this run.
extern int32_t GroupTableLoaded;

// The DAT the group information file names with a "DAT=" line, as written
// (empty when none): absolute, or relative to the program directory.
extern std::string GroupDatPath;

// Empties every slot, forgets the DAT line and clears GroupTableLoaded.
void ResetGroupTable();

// Reads ProgramDirectory's QuorInfo.cfg into GroupTable once per run; does
// nothing when it was read already.
void LoadGroupInfo();

// Reads an open group information stream into the (already reset) table.
void ReadGroupInfo(FILE* stream);

// The first group slot whose every "*"-separated pattern piece occurs in
// EntryName(catalogueIndex); -1 when none does, stopping at an empty pattern.
int FindGroup(int catalogueIndex);

// The audit: unbalanced names, long names, bracketed parts, and the names
// no group takes in, on standard output.
void RunAudit();
