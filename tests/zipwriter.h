// zipwriter.h - the tests' own ZIP archive writer, with every field of every header open to tampering
//
// A test adds members, lets Layout compute every header field the way a
// correct archiver would, overrides whatever fields it wants to damage, and
// takes the bytes. Bytes writes the fields exactly as they stand: nothing is
// recomputed after Layout, so a length or offset set by the test can lie
// about what really follows it.
//
//   test::ZipWriter zip;
//   zip.Add("game.vb", image, test::ZipDeflated);
//   zip.Central(0).versionNeeded = 21;
//   test::WriteFile("x.zip", zip.Bytes());
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace test {

constexpr uint16_t ZipStored = 0;
constexpr uint16_t ZipDeflated = 8;

constexpr uint32_t ZipLocalSignature = 0x04034b50;
constexpr uint32_t ZipCentralSignature = 0x02014b50;
constexpr uint32_t ZipEndSignature = 0x06054b50;

// The raw deflate stream of bytes (no zlib header or trailer), as zlib's
// deflate writes it with window bits -15.
std::string DeflateRaw(const std::string& bytes, int level = 6);

// A local header: 30 fixed bytes, then name and extra as given.
struct ZipLocalHeader {
    uint32_t signature = ZipLocalSignature;
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t modTime = 0;
    uint16_t modDate = 0;
    uint32_t crc32 = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint16_t nameLength = 0;
    uint16_t extraLength = 0;
    std::string name;
    std::string extra;
};

// A central directory entry: 46 fixed bytes, then name, extra and comment.
struct ZipCentralEntry {
    uint32_t signature = ZipCentralSignature;
    uint8_t versionMadeBy = 0;
    uint8_t hostSystem = 0;
    uint8_t versionNeeded = 0;
    uint8_t systemNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t modTime = 0;
    uint16_t modDate = 0;
    uint32_t crc32 = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint16_t nameLength = 0;
    uint16_t extraLength = 0;
    uint16_t commentLength = 0;
    uint16_t diskNumberStart = 0;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = 0;
    uint32_t localHeaderOffset = 0;
    std::string name;
    std::string extra;
    std::string comment;
};

// The end-of-central-directory record: 22 fixed bytes, then the comment.
struct ZipEndRecord {
    uint32_t signature = ZipEndSignature;
    uint16_t thisDisk = 0;
    uint16_t directoryDisk = 0;
    uint16_t entriesOnDisk = 0;
    uint16_t totalEntries = 0;
    uint32_t directorySize = 0;
    uint32_t directoryOffset = 0;
    uint16_t commentLength = 0;
    std::string comment;
};

// One member as a test asks for it. Layout packs data by method (stored as
// is, deflated with DeflateRaw) unless packed gives the bytes to store
// behind the local header; the CRC and uncompressed size always come from
// data.
struct ZipMember {
    std::string name;
    std::string data;
    uint16_t method = ZipStored;
    std::optional<std::string> packed;
    std::string localExtra;
    std::string centralExtra;
    std::string comment;
};

struct ZipWriter {
    std::vector<ZipMember> members;
    std::string archiveComment;
    std::string prefix;    // bytes before the first local header
    std::string trailing;  // bytes after the end record
    size_t keep = std::string::npos;  // Bytes is cut to this many bytes

    // Adds a member and returns it, so that its extras, comment or packed
    // bytes can be set before Layout.
    ZipMember& Add(const std::string& name, const std::string& data, uint16_t method = ZipStored);

    // Computes every header field from the members, the archive comment and
    // the prefix, discarding earlier overrides.
    void Layout();

    // The fields Bytes will write; Layout runs first if it has not yet.
    ZipLocalHeader& Local(size_t i);
    ZipCentralEntry& Central(size_t i);
    ZipEndRecord& End();
    std::string& Packed(size_t i);  // the bytes behind local header i

    // The archive: prefix, each local header with its packed bytes, the
    // central directory, the end record, trailing; cut to keep bytes.
    std::string Bytes();

    // Where the central directory and the end record start in Bytes (before
    // any cut), as laid out.
    size_t DirectoryStart();
    size_t EndStart();

    // Writes Bytes to path.
    void WriteTo(const std::string& path);

private:
    void EnsureLaidOut();
    bool laidOut = false;
    std::vector<ZipLocalHeader> locals;
    std::vector<ZipCentralEntry> centrals;
    std::vector<std::string> packedData;
    ZipEndRecord end;
    size_t directoryStart = 0;
    size_t endStart = 0;
};

}  // namespace test
