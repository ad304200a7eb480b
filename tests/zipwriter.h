// zipwriter.h - the tests' own ZIP archive writer, with every field of every header open to tampering
//
// Layout (run by the first accessor) computes every field as a correct
// archiver would; a test overrides what it wants to damage; Bytes writes the
// fields as they stand, so a length or offset can lie.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace test {

constexpr uint16_t ZipStored = 0;
constexpr uint16_t ZipDeflated = 8;

// The raw deflate stream of bytes (no zlib header or trailer).
std::string DeflateRaw(const std::string& bytes);

// The local header (30 fixed bytes), the central directory entry (46) and the
// end record (22), each followed by its variable parts.
struct ZipLocalHeader {
    uint32_t signature = 0x04034b50;
    uint16_t versionNeeded = 0, flags = 0, method = 0, modTime = 0, modDate = 0;
    uint32_t crc32 = 0, compressedSize = 0, uncompressedSize = 0;
    uint16_t nameLength = 0, extraLength = 0;
    std::string name, extra;
};

struct ZipCentralEntry {
    uint32_t signature = 0x02014b50;
    uint8_t versionMadeBy = 0, hostSystem = 0, versionNeeded = 0, systemNeeded = 0;
    uint16_t flags = 0, method = 0, modTime = 0, modDate = 0;
    uint32_t crc32 = 0, compressedSize = 0, uncompressedSize = 0;
    uint16_t nameLength = 0, extraLength = 0, commentLength = 0, diskNumberStart = 0, internalAttributes = 0;
    uint32_t externalAttributes = 0, localHeaderOffset = 0;
    std::string name, extra, comment;
};

struct ZipEndRecord {
    uint32_t signature = 0x06054b50;
    uint16_t thisDisk = 0, directoryDisk = 0, entriesOnDisk = 0, totalEntries = 0;
    uint32_t directorySize = 0, directoryOffset = 0;
    uint16_t commentLength = 0;
    std::string comment;
};

// A member: data stored or deflated by method, unless packed gives the bytes
// behind the local header; CRC and uncompressed size always come from data.
struct ZipMember {
    std::string name, data;
    uint16_t method = ZipStored;
    std::optional<std::string> packed = std::nullopt;
    std::string centralExtra = "", comment = "";
};

struct ZipWriter {
    std::vector<ZipMember> members;
    std::string archiveComment;
    std::string prefix;               // bytes before the first local header
    std::string trailing;             // bytes after the end record
    size_t keep = std::string::npos;  // Bytes is cut to this many bytes

    ZipMember& Add(const std::string& name, const std::string& data, uint16_t method = ZipStored);

    // Computes every field from the members, discarding earlier overrides.
    void Layout();

    ZipLocalHeader& Local(size_t i) { return Ready(), locals.at(i); }
    ZipCentralEntry& Central(size_t i) { return Ready(), centrals.at(i); }
    ZipEndRecord& End() { return Ready(), end; }
    std::string& Packed(size_t i) { return Ready(), packed.at(i); }  // the bytes behind local header i
    // Where the central directory and the end record start, as laid out.
    size_t DirectoryStart() { return Ready(), directoryStart; }
    size_t EndStart() { return Ready(), endStart; }

    // Prefix, local headers and packed bytes, directory, end record, trailing; cut to keep.
    std::string Bytes();
    void WriteTo(const std::string& path);

private:
    void Ready()
    {
        if (!laidOut)
            Layout();
    }
    bool laidOut = false;
    std::vector<ZipLocalHeader> locals;
    std::vector<ZipCentralEntry> centrals;
    std::vector<std::string> packed;
    ZipEndRecord end;
    size_t directoryStart = 0, endStart = 0;
};

}  // namespace test
