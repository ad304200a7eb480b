// synth.h - quorgen's synthetic images, forged CRCs, files and its small ZIP archive writer
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace synth {

// The CRC-32 of bytes, as zlib computes it.
uint32_t Crc(const std::string& bytes);

// size pseudo-random bytes from seed with a Virtual Boy mark ('V' and 'E'
// three bytes on) at length-544, the start of the header window.
std::string MakeImage(uint32_t size, uint32_t seed);

// Patches the four bytes at offset so that the CRC-32 of bytes becomes crc.
void ForgeCrc(std::string& bytes, uint32_t crc, size_t offset = 0);

// The catalogue CRC of the entry with this canonical name (exits when there is none).
uint32_t CatalogueCrcOf(const std::string& canonicalName);

// Writes bytes to path, creating its folders; exits on failure.
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
std::string Join(const std::string& a, const std::string& b);

constexpr uint16_t ZipStored = 0;
constexpr uint16_t ZipDeflated = 8;

// An archive as an archiver writes it: local headers and data, the central
// directory, the end record; Bytes is cut to keep bytes.
struct ZipWriter {
    struct Member {
        std::string name, data;
        uint16_t method;
    };
    std::vector<Member> members;
    size_t keep = std::string::npos;

    void Add(const std::string& name, const std::string& data, uint16_t method = ZipStored)
    {
        members.push_back({name, data, method});
    }
    size_t DirectoryStart() const;  // where the central directory starts
    std::string Bytes() const;
};

}  // namespace synth
