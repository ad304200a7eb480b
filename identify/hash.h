// hash.h - the digests that verify an image against a DAT: MD5, SHA-1 and SHA-256
#pragma once

#include <cstddef>
#include <string>

// The digests, weakest first (the same numbers as a DatEntry's hashKind).
enum HashKind { HashMd5 = 0, HashSha1 = 1, HashSha256 = 2 };

// The lower-case hex digest of the bytes; empty on failure.
std::string HashHex(HashKind kind, const unsigned char* bytes, size_t length);

// The name a message gives the digest: "MD5", "SHA-1" or "SHA-256".
const char* HashName(HashKind kind);
