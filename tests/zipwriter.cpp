// zipwriter.cpp - the tests' own ZIP archive writer: default headers computed, then written as they stand
#include "zipwriter.h"

#include <zlib.h>

#include <cstdio>
#include <stdexcept>

namespace test {

namespace {

// A fixed modification stamp, so that archives are the same on every run.
constexpr uint16_t DefaultTime = 0x6000;  // 12:00:00
constexpr uint16_t DefaultDate = 0x5021;  // 2020-01-01
constexpr uint8_t VersionStored = 10;
constexpr uint8_t VersionDeflated = 20;
constexpr uint32_t ArchiveAttribute = 0x20;

void Put16(std::string& out, uint16_t value)
{
    out += (char)(value & 0xff);
    out += (char)((value >> 8) & 0xff);
}

void Put32(std::string& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out += (char)((value >> shift) & 0xff);
}

uint32_t CrcOf(const std::string& bytes)
{
    return (uint32_t)crc32(0L, (const Bytef*)bytes.data(), (uInt)bytes.size());
}

void WriteLocal(std::string& out, const ZipLocalHeader& h)
{
    Put32(out, h.signature);
    Put16(out, h.versionNeeded);
    Put16(out, h.flags);
    Put16(out, h.method);
    Put16(out, h.modTime);
    Put16(out, h.modDate);
    Put32(out, h.crc32);
    Put32(out, h.compressedSize);
    Put32(out, h.uncompressedSize);
    Put16(out, h.nameLength);
    Put16(out, h.extraLength);
    out += h.name;
    out += h.extra;
}

void WriteCentral(std::string& out, const ZipCentralEntry& e)
{
    Put32(out, e.signature);
    out += (char)e.versionMadeBy;
    out += (char)e.hostSystem;
    out += (char)e.versionNeeded;
    out += (char)e.systemNeeded;
    Put16(out, e.flags);
    Put16(out, e.method);
    Put16(out, e.modTime);
    Put16(out, e.modDate);
    Put32(out, e.crc32);
    Put32(out, e.compressedSize);
    Put32(out, e.uncompressedSize);
    Put16(out, e.nameLength);
    Put16(out, e.extraLength);
    Put16(out, e.commentLength);
    Put16(out, e.diskNumberStart);
    Put16(out, e.internalAttributes);
    Put32(out, e.externalAttributes);
    Put32(out, e.localHeaderOffset);
    out += e.name;
    out += e.extra;
    out += e.comment;
}

void WriteEnd(std::string& out, const ZipEndRecord& r)
{
    Put32(out, r.signature);
    Put16(out, r.thisDisk);
    Put16(out, r.directoryDisk);
    Put16(out, r.entriesOnDisk);
    Put16(out, r.totalEntries);
    Put32(out, r.directorySize);
    Put32(out, r.directoryOffset);
    Put16(out, r.commentLength);
    out += r.comment;
}

}  // namespace

std::string DeflateRaw(const std::string& bytes, int level)
{
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string out(deflateBound(&stream, (uLong)bytes.size()) + 16, '\0');
    stream.next_in = (Bytef*)bytes.data();
    stream.avail_in = (uInt)bytes.size();
    stream.next_out = (Bytef*)&out[0];
    stream.avail_out = (uInt)out.size();
    int result = deflate(&stream, Z_FINISH);
    size_t written = out.size() - stream.avail_out;
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        throw std::runtime_error("deflate did not finish");
    out.resize(written);
    return out;
}

ZipMember& ZipWriter::Add(const std::string& name, const std::string& data, uint16_t method)
{
    laidOut = false;
    ZipMember member;
    member.name = name;
    member.data = data;
    member.method = method;
    members.push_back(member);
    return members.back();
}

void ZipWriter::Layout()
{
    locals.clear();
    centrals.clear();
    packedData.clear();
    size_t offset = prefix.size();
    for (const ZipMember& m : members) {
        std::string packed = m.packed ? *m.packed
                             : m.method == ZipDeflated ? DeflateRaw(m.data)
                                                       : m.data;
        uint8_t version = m.method == ZipStored ? VersionStored : VersionDeflated;

        ZipLocalHeader h;
        h.versionNeeded = version;
        h.method = m.method;
        h.modTime = DefaultTime;
        h.modDate = DefaultDate;
        h.crc32 = CrcOf(m.data);
        h.compressedSize = (uint32_t)packed.size();
        h.uncompressedSize = (uint32_t)m.data.size();
        h.nameLength = (uint16_t)m.name.size();
        h.extraLength = (uint16_t)m.localExtra.size();
        h.name = m.name;
        h.extra = m.localExtra;

        ZipCentralEntry e;
        e.versionMadeBy = VersionDeflated;
        e.hostSystem = 0;
        e.versionNeeded = version;
        e.systemNeeded = 0;
        e.method = m.method;
        e.modTime = DefaultTime;
        e.modDate = DefaultDate;
        e.crc32 = h.crc32;
        e.compressedSize = h.compressedSize;
        e.uncompressedSize = h.uncompressedSize;
        e.nameLength = h.nameLength;
        e.extraLength = (uint16_t)m.centralExtra.size();
        e.commentLength = (uint16_t)m.comment.size();
        e.externalAttributes = ArchiveAttribute;
        e.localHeaderOffset = (uint32_t)offset;
        e.name = m.name;
        e.extra = m.centralExtra;
        e.comment = m.comment;

        offset += 30 + h.name.size() + h.extra.size() + packed.size();
        locals.push_back(h);
        centrals.push_back(e);
        packedData.push_back(packed);
    }
    directoryStart = offset;
    size_t directorySize = 0;
    for (const ZipCentralEntry& e : centrals)
        directorySize += 46 + e.name.size() + e.extra.size() + e.comment.size();
    endStart = directoryStart + directorySize;

    end = ZipEndRecord();
    end.entriesOnDisk = (uint16_t)members.size();
    end.totalEntries = (uint16_t)members.size();
    end.directorySize = (uint32_t)directorySize;
    end.directoryOffset = (uint32_t)directoryStart;
    end.commentLength = (uint16_t)archiveComment.size();
    end.comment = archiveComment;
    laidOut = true;
}

void ZipWriter::EnsureLaidOut()
{
    if (!laidOut)
        Layout();
}

ZipLocalHeader& ZipWriter::Local(size_t i)
{
    EnsureLaidOut();
    return locals.at(i);
}

ZipCentralEntry& ZipWriter::Central(size_t i)
{
    EnsureLaidOut();
    return centrals.at(i);
}

ZipEndRecord& ZipWriter::End()
{
    EnsureLaidOut();
    return end;
}

std::string& ZipWriter::Packed(size_t i)
{
    EnsureLaidOut();
    return packedData.at(i);
}

size_t ZipWriter::DirectoryStart()
{
    EnsureLaidOut();
    return directoryStart;
}

size_t ZipWriter::EndStart()
{
    EnsureLaidOut();
    return endStart;
}

std::string ZipWriter::Bytes()
{
    EnsureLaidOut();
    std::string out = prefix;
    for (size_t i = 0; i < locals.size(); i++) {
        WriteLocal(out, locals[i]);
        out += packedData[i];
    }
    for (const ZipCentralEntry& e : centrals)
        WriteCentral(out, e);
    WriteEnd(out, end);
    out += trailing;
    if (keep < out.size())
        out.resize(keep);
    return out;
}

void ZipWriter::WriteTo(const std::string& path)
{
    std::string bytes = Bytes();
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr)
        throw std::runtime_error("cannot create " + path);
    size_t written = fwrite(bytes.data(), 1, bytes.size(), f);
    bool ok = fclose(f) == 0 && written == bytes.size();
    if (!ok)
        throw std::runtime_error("cannot write " + path);
}

}  // namespace test
