// crc32.cpp - the standard CRC-32 (reflected polynomial 0xEDB88320) from a well-kept library
#include "identify/identify.h"

#include <zlib.h>

uint32_t Crc32(uint32_t crc, const unsigned char* bytes, size_t length)
{
    // zlib takes at most a uInt per call.
    while (length > 0) {
        uInt chunk = length > 0x40000000u ? 0x40000000u : (uInt)length;
        crc = (uint32_t)crc32(crc, bytes, chunk);
        bytes += chunk;
        length -= chunk;
    }
    return crc;
}
