// identify.h - size and format tests, the CRC-32 of each image, and the scan listing
#pragma once

#include "run/imagebuffer.h"
#include "run/outputfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The lengths an image may have, both included; a DAT that gives larger
// images raises the upper limit up to the console's whole cartridge space.
constexpr uint32_t MinImageSize = 8192;
constexpr uint32_t MaxImageSize = 2099200;
constexpr uint32_t CartridgeSpace = 0x1000000;

// The upper limit of this run: MaxImageSize, or the largest size the
// catalogue's DAT gives (at most CartridgeSpace).
uint32_t MaxImageLength();

// The scan listing "VAvuDevo.zid", opened when the first line is due.
extern AppendFile ScanListing;

// Checks, keys and hands on one candidate image: a loose ".vb" file read
// here, or an archive member as intake describes it.
void IdentifyImage(ImageInHand* image);

// With a DAT: the entry the image of these bytes is (size, CRC and the
// strongest hash the entry gives all equal), or -1. An entry whose CRC
// matches but nothing else is said: "%s has the CRC of %s but not its %s".
int VerifiedEntry(const char* name, const unsigned char* bytes, uint32_t length, uint32_t crc);

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
