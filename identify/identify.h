// identify.h - size and format tests, the CRC-32 of each image, and the scan listing
#pragma once

#include "run/outputfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The lengths an image may have, both included.
constexpr uint32_t MinImageSize = 8192;
constexpr uint32_t MaxImageSize = 2099200;

// The scan listing "VAvuDevo.zid", opened when the first line is due.
extern AppendFile ScanListing;

// Checks, keys and hands on one candidate image: a loose ".vb" file read
// here, or an archive member described by ImageInArchive and ArchiveCrc.
// name is the loose file's or the archive's bare name.
void IdentifyImage(const char* name, uint32_t length);

// 1 when the header window of the image holds a Virtual Boy mark, else 0.
// length must be within the image size limits.
int IsVirtualBoyImage(const unsigned char* bytes, uint32_t length);

// The standard CRC-32 of the bytes, continued from crc (0 to start).
uint32_t Crc32(uint32_t crc, const unsigned char* bytes, size_t length);

// The name as the scan listing shows it: cut at its last "." unless that
// dot is its first character.
void ListedName(const char* name, char* out, size_t outSize);

// Closes the scan listing if it is open.
void CloseScanListing();
