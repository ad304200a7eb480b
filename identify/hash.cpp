// hash.cpp - MD5, SHA-1 and SHA-256 of an image, as hex, from the system's cryptographic library
#include "identify/hash.h"

#include "catalogue/dat.h"
#include "platform/platform.h"

static_assert(HashMd5 == PlatformMd5 && HashSha1 == PlatformSha1 && HashSha256 == PlatformSha256,
              "one numbering of the digests");
static_assert(HashMd5 == DatMd5 && HashSha1 == DatSha1 && HashSha256 == DatSha256, "one numbering of the digests");

std::string HashHex(HashKind kind, const unsigned char* bytes, size_t length)
{
    static const char hex[] = "0123456789abcdef";
    unsigned char digest[32];
    size_t size = PlatformDigest(kind, bytes, length, digest);
    std::string text;
    for (size_t i = 0; i < size; i++) {
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 0xF];
    }
    return text;
}

const char* HashName(HashKind kind)
{
    return kind == HashMd5 ? "MD5" : kind == HashSha1 ? "SHA-1" : "SHA-256";
}
