// zip_test.cpp - the ZIP reader: members read exactly, and every failure with its result, console lines and log
#include "support.h"

#include <zlib.h>

#include <functional>
#include <optional>

namespace {

std::string Noise(size_t size, uint32_t seed)
{
    std::string bytes(size, '\0');
    for (char& c : bytes)
        seed = seed * 1103515245u + 12345u, c = (char)(seed >> 23);
    return bytes;
}

std::string Deflate(const std::string& bytes)  // raw: the zlib stream without its header and trailer
{
    uLongf size = compressBound((uLong)bytes.size());
    std::string out(size, '\0');
    EXPECT_EQ(compress2((Bytef*)&out[0], &size, (const Bytef*)bytes.data(), (uLong)bytes.size(), 6), Z_OK);
    return out.substr(2, size - 6);
}

std::string Field(uint32_t value, size_t width)  // little-endian, zeros beyond 4 bytes
{
    std::string out(width, '\0');
    for (size_t i = 0; i < width && i < 4; i++)
        out[i] = (char)(value >> (8 * i));
    return out;
}

// An archive of one member "game.vb" as an archiver lays it out; central and
// end: where its directory entry and its end record start.
struct Zip {
    std::string bytes;
    size_t central, end;
    void Set(size_t at, uint32_t value, size_t width) { bytes.replace(at, width, Field(value, width)); }
};
using Damage = std::function<void(Zip&)>;

// Fields changed in the directory entry (C), the end record (E) or the local header (L).
Damage C(size_t at, uint32_t value, size_t width) { return [=](Zip& z) { z.Set(z.central + at, value, width); }; }
Damage E(size_t at, uint32_t value, size_t width) { return [=](Zip& z) { z.Set(z.end + at, value, width); }; }
Damage L(size_t at, uint32_t value, size_t width) { return [=](Zip& z) { z.Set(at, value, width); }; }
constexpr size_t Version = 6, System = 7, Method = 10, Crc = 16, Packed = 20, Size = 24, NameLength = 28, Disk = 34,
                 Offset = 42, ThisDisk = 4, DirectoryDisk = 6, Total = 10, DirectorySize = 12, Comment = 20, Extra = 28;

// The member's data packed as given, or by its method; then damaged.
std::string Archive(const std::string& data, bool deflate, const std::vector<Damage>& damage = {},
                    std::optional<std::string> packed = std::nullopt)
{
    packed = packed ? *packed : deflate ? Deflate(data) : data;
    uint32_t crc = (uint32_t)crc32(0, (const Bytef*)data.data(), (uInt)data.size()), version = deflate ? 20 : 10;
    // Flags, method, time, date, CRC, sizes, name and extra lengths: alike in both headers.
    std::string common = Field(0, 2) + Field(deflate ? 8 : 0, 2) + Field(0x50216000, 4) + Field(crc, 4) +
                         Field((uint32_t)packed->size(), 4) + Field((uint32_t)data.size(), 4) + Field(7, 4);
    Zip z{"PK\x03\x04" + Field(version, 2) + common + "game.vb" + *packed, 0, 0};
    z.central = z.bytes.size();
    z.bytes += "PK\x01\x02" + Field(20, 2) + Field(version, 2) + common + Field(0, 6) + Field(0x20, 4) + Field(0, 4);
    z.end = (z.bytes += "game.vb").size();
    z.bytes += "PK\x05\x06" + Field(0, 4) + Field(0x10001, 4) + Field(53, 4) + Field((uint32_t)z.central, 6);
    for (const Damage& d : damage)
        d(z);
    return z.bytes;
}

const std::string Image = Noise(10000, 41), Stream = Deflate(Image);

// Reads x.zip's first member into a buffer of exactly its uncompressed size
// followed by a guard: ZipReadEntry's result, or OpenFails or EntryFails.
constexpr int OpenFails = 10, EntryFails = 11;
struct Attempt {
    int result = OpenFails;
    std::string data, console;
    bool guardIntact = true;
};

Attempt ReadFirstMember()
{
    Attempt a;
    a.console = test::Stdout([&] {
        ZipArchive* archive = ZipOpen("x.zip");
        ZipEntry* entry = archive != nullptr ? (a.result = EntryFails, ZipNextEntry(archive)) : nullptr;
        if (entry != nullptr) {
            std::string buffer(entry->uncompressedSize + 70000, '\xA5');
            a.result = ZipReadEntry(archive, entry, (unsigned char*)&buffer[0]);
            a.data = buffer.substr(0, entry->uncompressedSize);
            a.guardIntact = buffer.find_first_not_of('\xA5', entry->uncompressedSize) == std::string::npos;
        }
        ZipClose(archive);
    });
    return a;
}

using ZipReader = test::UnitTest;

TEST_F(ZipReader, MembersAreReadExactlyAndQuietlyPastCommentsTrailingBytesAndLocalHeadersThatLie)
{
    auto comment = [](uint32_t n) { return std::vector<Damage>{E(Comment, n, 2), [n](Zip& z) { z.bytes += Field(0, n); }}; };
    // Of the local header only the name and extra lengths count; of the directory neither the CRC nor a stored
    // member's version, system and disk.
    const Damage localLies = [](Zip& z) {
        z.bytes.replace(4, 26, Field(99, 6) + Field(0, 12) + Field(~0u, 4) + Field(27, 2) + Field(1000, 2));
        z.bytes.insert(37, std::string(1020, 'x'));
        z.Set((z.end += 1020) + 16, (uint32_t)(z.central += 1020), 4);
    };
    const std::string many = Noise(100000, 3);
    std::vector<std::pair<std::string, std::string>> cases = {
        {many, Archive(many, true)}, {"", Archive("", true)}, {Image, Archive(Image, true, {localLies, C(Crc, 1, 4)})},
        {Image, Archive(Image, false, {localLies, C(Crc, 0, 4), C(Version, 0x033f, 2), C(Disk, 9, 2)})},
        // The end record is looked for in a window of 1,024 bytes, doubled until it holds the whole file.
        {Image, Archive(Image, true, comment(1002))}, {Image, Archive(Image, true, comment(1003))},
        {"", Archive("", true, comment(1003))}, {Image, Archive(Image, true, comment(2027))},
        {Image, Archive(Image, true, comment(65535))}, {Image, Archive(Image, false) + Field(0, 300000)}};
    // Streams of one stored block (5 bytes more than its data) ending around
    // the 16,384-byte read: the whole stream goes to inflate, nothing behind it.
    for (uint16_t n : {16378, 16379, 16380, 32764}) {
        std::string data = Noise(n, n);
        cases.push_back({data, Archive(data, true, {}, "\x01" + Field(n, 2) + Field(~n, 2) + data)});
    }
    for (size_t i = 0; i < cases.size(); i++) {
        test::WriteFile("x.zip", cases[i].second);
        Attempt a = ReadFirstMember();
        EXPECT_TRUE(a.result == 0 && a.data == cases[i].first && a.guardIntact) << "case " << i << ", " << a.result;
        EXPECT_EQ(a.console, "");
    }
    EXPECT_FALSE(std::filesystem::exists("Quor_ZIP.txt"));
}

TEST_F(ZipReader, EveryFailureIsReportedOnTheConsoleAndInTheLogWithItsDetailOnlyWhenTheLogIsOpen)
{
    const char *corrupt = "The zipfile seems to be corrupt, please check it", *span = "Cannot span disks";
    const char* unsupported = "The format of this zipfile is not supported, please recompress it";
    const char *ecd = "Reading ECD (end of central directory)", *directory = "Reading central directory";
    const char *name = "Invalid filename length in directory", *inflating = "Inflating compressed data";
    const char* data = "Seeking to compressed data";
    const std::string end = "PK\x05\x06" + Field(0, 18), tooSmall = "inflate error: compressed size too small\n";
    const struct {
        std::optional<std::string> bytes;  // none: no file at all
        int result;
        const char *message, *detail;
        std::string inflate = "";  // the line before the report in an open log
    } cases[] = {
        {std::nullopt, OpenFails, "Your filesystem seems to be corrupt, please check it", "Opening for reading"},
        {"", OpenFails, corrupt, "Empty file"},
        {Noise(5000, 9), OpenFails, corrupt, ecd},
        {end.substr(0, 12), OpenFails, corrupt, ecd},
        {Archive(Image, false, {[](Zip& z) { z.bytes.pop_back(); }}), OpenFails, corrupt, ecd},
        {Archive(Image, true, {E(ThisDisk, 1, 2)}), OpenFails, unsupported, span},
        {Archive(Image, true, {E(DirectoryDisk, 2, 2)}), OpenFails, unsupported, span},
        {Archive(Image, true, {E(Total, 2, 2)}), OpenFails, unsupported, span},
        {end, OpenFails, unsupported, span},  // no entries
        {Archive(Image, true, {[](Zip& z) { z.Set(z.end + DirectorySize, ~0u - (uint32_t)z.central + 10, 4); }}),
         OpenFails, corrupt, directory},  // offset and size wrap around
        {Archive(Image, true, {[](Zip& z) { z.Set(z.end + DirectorySize, uint32_t(z.end - z.central + 23), 4); }}),
         OpenFails, corrupt, directory},  // one byte past the end
        {Archive(Image, true, {C(NameLength, 8, 2)}), EntryFails, corrupt, name},  // one byte past the directory
        {Archive(Image, true, {E(DirectorySize, 45, 4)}), EntryFails, corrupt, name},
        {Archive(Image, false, {C(Size, 9999, 4)}), -3, corrupt, "Wrong uncompressed size in store compression"},
        {Archive(Image, false, {L(Extra, 0xffff, 2)}), -1, corrupt, data},
        {Archive(Image, true, {C(Method, 9, 2)}), -2, unsupported, "Compression method unsupported"},
        {Archive(Image, true, {C(Version, 21, 1)}), -2, unsupported, "Version too new"},
        {Archive(Image, true, {C(System, 3, 1)}), -2, unsupported, "OS not supported"},
        {Archive(Image, true, {C(Version, 0x0315, 2)}), -2, unsupported, "Version too new"},
        {Archive(Image, true, {C(System, 1, 1), C(Disk, 1, 2)}), -2, unsupported, "OS not supported"},
        {Archive(Image, true, {C(Disk, 1, 2)}), -2, unsupported, span},
        {Archive(Image, true, {C(Offset, 0xffffff00, 4)}), -1, corrupt, "Seeking to header"},
        {Archive(Image, true, {[](Zip& z) { z.Set(z.central + Offset, uint32_t(z.end + 12), 4); }}), -1, corrupt,
         "Reading header"},
        {Archive(Image, true, {L(Extra, 0xffff, 2)}), -1, corrupt, data},
        {Archive(Image, true, {C(Size, 9900, 4)}), -3, corrupt, inflating, tooSmall},
        {Archive(Image, true, {C(Size, 10001, 4)}), -3, corrupt, inflating, "zip size mismatch. 0\n"},
        {Archive(Image, true, {C(Packed, (uint32_t)Stream.size() / 2, 4)}), -3, corrupt, inflating, tooSmall},
        {Archive(Image, true, {C(Packed, 0, 4)}), -3, corrupt, inflating, tooSmall},
        {Archive(Image, true, {}, std::string(64, '\xff')), -3, corrupt, inflating, "inflate error: -3\n"},
        // What is left counts from the end of the first read of 16,384 bytes, which holds the whole stream.
        {Archive(Image, true, {}, Stream + Field(0, 20000)), -3, corrupt, inflating,
         "zip size mismatch. " + std::to_string(Stream.size() + 20000 - 16384) + "\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases << ": " << c.detail);
        CloseZipLog();
        std::filesystem::remove("Quor_ZIP.txt");
        std::filesystem::remove("x.zip");
        if (c.bytes)
            test::WriteFile("x.zip", *c.bytes);
        // No log yet: the report opens it and is its only line.
        const std::string report = "Error in zipfile x.zip\n" + std::string(c.message) + "\n";
        const std::string line = "Error in zipfile x.zip: " + std::string(c.detail) + "\n";
        Attempt a = ReadFirstMember();
        fflush(nullptr);
        EXPECT_TRUE(a.result == c.result && a.guardIntact) << a.result << " (guard intact: " << a.guardIntact << ")";
        EXPECT_EQ(a.console, report);
        EXPECT_EQ(test::ReadFile("Quor_ZIP.txt", true), line);
        ASSERT_NE(ZipLog.stream, nullptr) << "the log stays open for the rest of the walk";
        // With the log open, an inflate failure's detail comes before its report, never on the console.
        EXPECT_EQ(ReadFirstMember().console, report);
        fflush(nullptr);
        EXPECT_EQ(test::ReadFile("Quor_ZIP.txt", true), line + c.inflate + line);
    }
}

}  // namespace
