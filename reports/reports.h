// reports.h - the have, missing and duplicates lists, the statistics line, and the emulator CRC file
#pragma once

// Writes "VBoyHave.txt", the have database and the duplicates report from
// CopyCounts; nothing when nothing is had.
void WriteHaveList();

// Writes "VBoyMiss.txt" and its summary from CopyCounts and the groups.
void WriteMissList();

// Prints the catalogue's statistics line (not in the emulator CRC file mode).
void PrintStats();

// Prints the emulator CRC file of the catalogue on standard output.
void WriteEmulatorCrcFile();
