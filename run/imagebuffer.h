// imagebuffer.h - the image in hand: the one buffer of a run and where its image came from
#pragma once

#include <cstdint>

// The one buffer holding the current image; its storage is always 65,536
// bytes more than ImageBufferCapacity. nullptr when it could not be had.
extern unsigned char* ImageBuffer;
extern uint32_t ImageBufferCapacity;

constexpr uint32_t ImageBufferInitialCapacity = 0x500000;
constexpr uint32_t ImageBufferSlack = 0x10000;

// Allocates the run's ImageBuffer. Returns 1 on success, 0 without storage.
int AllocateImageBuffer();

// Makes sure ImageBuffer holds at least size bytes; never shrinks it.
// Returns 1 when it does, 0 when new storage could not be had (the buffer is
// then gone and ImageBufferCapacity is 0).
int GrowImageBuffer(uint32_t size);

// Releases ImageBuffer.
void FreeImageBuffer();

// Set by intake for identification and the rename engine before each image:
// ImageInArchive 1 when the image came from an archive member (the name
// handed on is the archive's); ArchiveCrcKnown 1 when the member was taken by
// its directory CRC, which the catalogue knows, and ArchiveCrc that CRC
// (which may be 0 like any other).
extern int32_t ImageInArchive;
extern uint32_t ArchiveCrc;
extern int32_t ArchiveCrcKnown;
