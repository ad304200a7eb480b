// synth.cpp - quorgen's synthetic images, forged CRCs, files and ZIP archives
#include "synth.h"

#include "catalogue/catalogue.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace synth {

uint32_t Crc(const std::string& bytes)
{
    return (uint32_t)crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), (uInt)bytes.size());
}

std::string MakeImage(uint32_t size, uint32_t seed)
{
    std::string bytes(size, '\0');
    uint32_t x = seed * 2654435761u + 0x9E3779B9u;
    x = x != 0 ? x : 1;
    for (uint32_t i = 0; i < size; i++) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = (char)(x >> 24);
    }
    if (size >= 544)
        bytes[size - 544] = 'V', bytes[size - 541] = 'E';
    return bytes;
}

// The register before byte b was fed to the reflected CRC-32 of 0xEDB88320,
// given the register after it: the top byte of the register after a step
// tells which table entry was used, as the entries' top bytes all differ.
static uint32_t UnfeedByte(uint32_t after, uint8_t b)
{
    static uint32_t entry[256];
    static uint8_t indexOfTop[256];
    for (uint32_t n = entry[255] != 0 ? 256 : 0; n < 256; n++) {
        uint32_t c = n;
        for (int k = 0; k < 8; k++)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        entry[n] = c;
        indexOfTop[c >> 24] = (uint8_t)n;
    }
    uint32_t index = indexOfTop[after >> 24];
    return ((after ^ entry[index]) << 8) | ((index ^ b) & 0xFF);
}

void ForgeCrc(std::string& bytes, uint32_t crc, size_t offset)
{
    if (offset + 4 > bytes.size()) {
        fprintf(stderr, "quorgen: no room to forge a CRC\n");
        exit(1);
    }
    uint32_t before = ~Crc(bytes.substr(0, offset));  // the register after the prefix
    uint32_t after = ~crc;
    for (size_t i = bytes.size(); i > offset + 4; i--)
        after = UnfeedByte(after, (uint8_t)bytes[i - 1]);
    // Feeding four bytes is XORing their little-endian word into the register
    // and feeding four zero bytes.
    for (int i = 0; i < 4; i++)
        after = UnfeedByte(after, 0);
    for (int i = 0; i < 4; i++)
        bytes[offset + i] = (char)(((after ^ before) >> (8 * i)) & 0xFF);
}

uint32_t CatalogueCrcOf(const std::string& canonicalName)
{
    for (int i = 0; i < KnownRomCount; i++)
        if (canonicalName == KnownRomTable[i] + EntryNameOffset)
            return (uint32_t)strtoul(std::string(KnownRomTable[i], 8).c_str(), nullptr, 16);
    fprintf(stderr, "quorgen: no catalogue entry named \"%s\"\n", canonicalName.c_str());
    exit(1);
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    fs::path p(path);
    std::error_code ec;
    if (p.has_parent_path())
        fs::create_directories(p.parent_path(), ec);
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    out.close();
    if (!out.good()) {
        fprintf(stderr, "quorgen: cannot write %s\n", path.c_str());
        exit(1);
    }
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(fs::path(path), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string Join(const std::string& a, const std::string& b)
{
    return a.empty() ? b : a + (char)fs::path::preferred_separator + b;
}

static std::string DeflateRaw(const std::string& bytes)
{
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, (uLong)bytes.size()) + 16, '\0');
    z.next_in = (Bytef*)bytes.data();
    z.avail_in = (uInt)bytes.size();
    z.next_out = (Bytef*)&out[0];
    z.avail_out = (uInt)out.size();
    deflate(&z, Z_FINISH);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

// Little-endian fields of 2 or 4 bytes.
static void Put(std::string& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; i++)
        out += (char)((value >> (8 * i)) & 0xff);
}

size_t ZipWriter::DirectoryStart() const
{
    ZipWriter whole = *this;
    whole.keep = std::string::npos;
    size_t directory = 0;
    for (const Member& m : members)
        directory += 46 + m.name.size();
    return whole.Bytes().size() - 22 - directory;
}

std::string ZipWriter::Bytes() const
{
    std::string locals, directory;
    for (const Member& m : members) {
        std::string packed = m.method == ZipDeflated ? DeflateRaw(m.data) : m.data;
        uint16_t version = m.method == ZipStored ? 10 : 20;
        uint32_t crc = Crc(m.data), offset = (uint32_t)locals.size();
        // Stamped 12:00:00 on 2020-01-01, the same on every run.
        std::string common;
        for (uint32_t v : {0u, (uint32_t)m.method, 0x6000u, 0x5021u})
            Put(common, v, 2);
        for (uint32_t v : {crc, (uint32_t)packed.size(), (uint32_t)m.data.size()})
            Put(common, v, 4);
        Put(common, (uint32_t)m.name.size(), 2);
        Put(common, 0, 2);
        Put(locals, 0x04034b50, 4);
        Put(locals, version, 2);
        locals += common + m.name + packed;
        // Made by 2.0, with the archive attribute.
        Put(directory, 0x02014b50, 4);
        Put(directory, 20 | (uint32_t)version << 16, 4);
        directory += common;
        for (uint32_t v : {0u, 0u, 0u})
            Put(directory, v, 2);
        Put(directory, 0x20, 4);
        Put(directory, offset, 4);
        directory += m.name;
    }
    std::string out = locals + directory;
    Put(out, 0x06054b50, 4);
    for (uint32_t v : {0u, 0u, (uint32_t)members.size(), (uint32_t)members.size()})
        Put(out, v, 2);
    for (uint32_t v : {(uint32_t)directory.size(), (uint32_t)locals.size()})
        Put(out, v, 4);
    Put(out, 0, 2);
    return out.substr(0, keep);
}

}  // namespace synth
