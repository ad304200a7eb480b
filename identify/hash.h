// hash.h - the strong hashes that verify an image against a DAT: MD5, SHA-1, SHA-256
#pragma once

#include <cstddef>
#include <string>

enum HashKind { HashMd5, HashSha1, HashSha256 };

// The lower-case hex digest of the bytes; empty on failure.
std::string HashHex(HashKind kind, const unsigned char* bytes, size_t length);
