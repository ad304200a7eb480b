// hash.cpp - placeholder: libcrypto's digests
#include "identify/hash.h"

#include <openssl/evp.h>

std::string HashHex(HashKind kind, const unsigned char* bytes, size_t length)
{
    const EVP_MD* md = kind == HashMd5 ? EVP_md5() : kind == HashSha1 ? EVP_sha1() : EVP_sha256();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    if (EVP_Digest(bytes, length, digest, &n, md, nullptr) != 1)
        return std::string();
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < n; i++) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 15];
    }
    return out;
}
