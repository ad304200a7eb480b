// intake.h - the walk of the collection's folders, the choice of images, and the ZIP archive reader
#pragma once

#include "run/outputfile.h"

#include <cstdint>
#include <cstdio>
#include <string>

// Walks the current directory (and, for scand, scannewd and listd, the
// folders below it), handing every file to IntakeFile. Returns 0.
int ScanDirectory(const char* path);

// Forgets the folders a walk has entered (tests).
void ResetWalk();

// Decides whether the file name (of the given length, in the current
// directory) holds an image and hands it to identification. Returns 1.
int IntakeFile(const char* name, uint32_t size);

// True when name ends, in any letter case, with one of the "."-separated
// extensions of list (".zip", ".exe", ".vb", or several run together).
bool HasExtension(const char* name, const char* list);

// ZIP reader ---------------------------------------------------------------

// The current central-directory entry of an open archive.
struct ZipEntry {
    uint32_t signature = 0;
    uint8_t versionMadeBy = 0;
    uint8_t hostSystem = 0;
    uint8_t versionNeeded = 0;
    uint8_t systemNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t modTime = 0;
    uint16_t modDate = 0;
    uint32_t crc32 = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint16_t nameLength = 0;
    uint16_t extraLength = 0;
    uint16_t commentLength = 0;
    uint16_t diskNumberStart = 0;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = 0;
    uint32_t localHeaderOffset = 0;
    std::string name;
};

// An open archive: its file, its end record and a window on its central
// directory (read in pieces, so that a directory of any declared size costs
// no more memory than one window).
struct ZipArchive {
    std::string path;
    FILE* file = nullptr;
    int64_t length = 0;
    std::string endRecord;  // the end record and everything behind it
    uint32_t endSignature = 0;
    uint16_t thisDisk = 0;
    uint16_t directoryDisk = 0;
    uint16_t entriesOnDisk = 0;
    uint16_t totalEntries = 0;
    uint32_t directorySize = 0;
    uint32_t directoryOffset = 0;
    uint16_t commentLength = 0;
    std::string window;        // directory bytes from windowStart on
    uint32_t windowStart = 0;  // where the window begins within the directory
    uint32_t readPosition = 0;
    uint32_t entriesRead = 0;  // the directory lists totalEntries, and no more is read
    ZipEntry entry;
};

// The ZIP error log "Quor_ZIP.txt", opened on the first error that needs it.
extern AppendFile ZipLog;

// Opens an archive and reads the start of its central directory. Returns
// nullptr after reporting why it could not (silently when memory for the
// archive itself runs out).
ZipArchive* ZipOpen(const char* path);

// The next central-directory entry, or nullptr at the directory's end (its
// size read through, or as many entries read as the end record counts) or
// after reporting a damaged entry.
ZipEntry* ZipNextEntry(ZipArchive* archive);

// Positions the archive's file at the entry's data. 0, or -1 after a report.
int ZipSeekData(ZipArchive* archive, ZipEntry* entry);

// Writes the member's uncompressed bytes (exactly its uncompressed size) to
// buffer. 0 on success, -1 seek or read failure, -2 unsupported format,
// -3 damaged data; every failure is reported.
int ZipReadEntry(ZipArchive* archive, ZipEntry* entry, unsigned char* buffer);

// Closes the archive and releases everything it holds; nullptr is accepted.
void ZipClose(ZipArchive* archive);

// Reports a damaged or unsupported archive on the console and in ZipLog.
void ReportZipError(const char* detail, const char* message, const char* path);

// Closes ZipLog if it is open.
void CloseZipLog();
