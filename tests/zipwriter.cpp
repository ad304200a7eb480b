// zipwriter.cpp - the tests' own ZIP archive writer: default headers computed, then written as they stand
#include "zipwriter.h"

#include "support.h"

#include <zlib.h>

namespace test {

// Little-endian fields of 1, 2 or 4 bytes.
static void Put(std::string& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; i++)
        out += (char)((value >> (8 * i)) & 0xff);
}

std::string DeflateRaw(const std::string& bytes)
{
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, (uLong)bytes.size()) + 16, '\0');
    z.next_in = (Bytef*)bytes.data();
    z.avail_in = (uInt)bytes.size();
    z.next_out = (Bytef*)&out[0];
    z.avail_out = (uInt)out.size();
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

ZipMember& ZipWriter::Add(const std::string& name, const std::string& data, uint16_t method)
{
    laidOut = false;
    members.push_back({name, data, method, std::nullopt, "", ""});
    return members.back();
}

void ZipWriter::Layout()
{
    locals.clear();
    centrals.clear();
    packed.clear();
    size_t offset = prefix.size(), directorySize = 0;
    for (const ZipMember& m : members) {
        packed.push_back(m.packed ? *m.packed : m.method == ZipDeflated ? DeflateRaw(m.data) : m.data);
        uint16_t version = m.method == ZipStored ? 10 : 20, name = (uint16_t)m.name.size();
        uint32_t crc = Crc(m.data), size = (uint32_t)packed.back().size(), length = (uint32_t)m.data.size();
        // Stamped 12:00:00 on 2020-01-01, the same on every run; made by 2.0, with the archive attribute.
        locals.push_back({0x04034b50, version, 0, m.method, 0x6000, 0x5021, crc, size, length, name, 0, m.name, ""});
        centrals.push_back({0x02014b50, 20, 0, (uint8_t)version, 0, 0, m.method, 0x6000, 0x5021, crc, size, length, name,
                            (uint16_t)m.centralExtra.size(), (uint16_t)m.comment.size(), 0, 0, 0x20, (uint32_t)offset,
                            m.name, m.centralExtra, m.comment});
        offset += 30 + m.name.size() + size;
        directorySize += 46 + m.name.size() + m.centralExtra.size() + m.comment.size();
    }
    directoryStart = offset;
    endStart = offset + directorySize;
    uint16_t count = (uint16_t)members.size();
    end = {0x06054b50, 0, 0, count, count, (uint32_t)directorySize, (uint32_t)offset,
           (uint16_t)archiveComment.size(), archiveComment};
    laidOut = true;
}

std::string ZipWriter::Bytes()
{
    Ready();
    std::string o = prefix;
    for (size_t i = 0; i < locals.size(); i++) {
        const ZipLocalHeader& h = locals[i];
        Put(o, h.signature, 4);
        for (uint32_t v : {h.versionNeeded, h.flags, h.method, h.modTime, h.modDate}) Put(o, v, 2);
        for (uint32_t v : {h.crc32, h.compressedSize, h.uncompressedSize}) Put(o, v, 4);
        for (uint32_t v : {h.nameLength, h.extraLength}) Put(o, v, 2);
        o += h.name + h.extra + packed[i];
    }
    for (const ZipCentralEntry& e : centrals) {
        Put(o, e.signature, 4);
        for (uint32_t v : {e.versionMadeBy, e.hostSystem, e.versionNeeded, e.systemNeeded}) Put(o, v, 1);
        for (uint32_t v : {e.flags, e.method, e.modTime, e.modDate}) Put(o, v, 2);
        for (uint32_t v : {e.crc32, e.compressedSize, e.uncompressedSize}) Put(o, v, 4);
        for (uint32_t v : {e.nameLength, e.extraLength, e.commentLength, e.diskNumberStart, e.internalAttributes})
            Put(o, v, 2);
        for (uint32_t v : {e.externalAttributes, e.localHeaderOffset}) Put(o, v, 4);
        o += e.name + e.extra + e.comment;
    }
    Put(o, end.signature, 4);
    for (uint32_t v : {end.thisDisk, end.directoryDisk, end.entriesOnDisk, end.totalEntries}) Put(o, v, 2);
    for (uint32_t v : {end.directorySize, end.directoryOffset}) Put(o, v, 4);
    Put(o, end.commentLength, 2);
    o += end.comment + trailing;
    return o.substr(0, keep);
}

void ZipWriter::WriteTo(const std::string& path)
{
    WriteFile(path, Bytes());
}

}  // namespace test
