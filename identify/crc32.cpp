// crc32.cpp - the standard CRC-32 (reflected polynomial 0xEDB88320) from a well-kept library
//
// libdeflate's libdeflate_crc32 where the build found it (QUOR_CRC_LIBDEFLATE),
// zlib's crc32 otherwise. They give the same value, continued from the same
// initial value; libdeflate's folds whole blocks with carry-less multiplies
// and so checksums an image several times faster than it can be read.
#include "identify/identify.h"

#ifdef QUOR_CRC_LIBDEFLATE
#include <libdeflate.h>
#else
#include <zlib.h>
#endif

uint32_t Crc32(uint32_t crc, const unsigned char* bytes, size_t length)
{
#ifdef QUOR_CRC_LIBDEFLATE
    return length == 0 ? crc : libdeflate_crc32(crc, bytes, length);
#else
    // zlib takes at most a uInt per call.
    while (length > 0) {
        uInt chunk = length > 0x40000000u ? 0x40000000u : (uInt)length;
        crc = (uint32_t)crc32(crc, bytes, chunk);
        bytes += chunk;
        length -= chunk;
    }
    return crc;
#endif
}
