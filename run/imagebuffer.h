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

// What intake learns of one image, handed to identification and on to the
// rename engine.
struct ImageInHand {
    const char* name = "";        // the loose file's bare name, or the archive's
    uint32_t length = 0;          // the file's length, or the member's uncompressed size
    bool inArchive = false;       // taken from an archive member: the whole archive moves
    bool crcFromDirectory = false;  // taken by its directory CRC, which the catalogue knows
    uint32_t directoryCrc = 0;    // that CRC (which may be 0 like any other)
    bool inBuffer = false;        // its bytes stand at the start of ImageBuffer
    int entry = -1;               // the catalogue entry identification found it to be, or -1
};
