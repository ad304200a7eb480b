// zip_test.cpp - the ZIP reader's failures: the result, the console lines and the log of each, nothing written past;
// no memory taken for a size no image has
#include "support.h"

#include "identify/identify.h"
#include "run/imagebuffer.h"

#include <zlib.h>

#include <functional>
#include <optional>

namespace {

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
                 Offset = 42, ThisDisk = 4, DirectoryDisk = 6, Total = 10, DirectorySize = 12, Extra = 28;

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

const std::string Image(10000, 'v'), Stream = Deflate(Image);

// Reads x.zip's first member into a buffer of exactly its uncompressed size
// and a guard that must stay intact: ZipReadEntry's result, or OpenFails or
// EntryFails; console: what was printed.
constexpr int OpenFails = 10, EntryFails = 11;
int ReadFirstMember(std::string* console)
{
    int result = OpenFails;
    *console = test::Stdout([&] {
        ZipArchive* archive = ZipOpen("x.zip");
        ZipEntry* entry = archive != nullptr ? (result = EntryFails, ZipNextEntry(archive)) : nullptr;
        if (entry != nullptr) {
            std::string buffer(entry->uncompressedSize + 70000, '\xA5');
            result = ZipReadEntry(archive, entry, (unsigned char*)&buffer[0]);
            EXPECT_EQ(buffer.find_first_not_of('\xA5', entry->uncompressedSize), std::string::npos) << "written past";
        }
        ZipClose(archive);
    });
    return result;
}

using ZipReader = test::UnitTest;

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
        {std::string(5000, 'x'), OpenFails, corrupt, ecd},
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
        // What is left counts from the end of the first read, of 16,384 bytes, which holds the whole stream.
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
        std::string console;
        EXPECT_EQ(ReadFirstMember(&console), c.result);
        EXPECT_EQ(console, report);
        fflush(nullptr);
        EXPECT_EQ(test::ReadFile("Quor_ZIP.txt", true), line);
        ASSERT_NE(ZipLog.stream, nullptr) << "the log stays open for the rest of the walk";
        // With the log open, an inflate failure's detail comes before its report, never on the console.
        ReadFirstMember(&console);
        EXPECT_EQ(console, report);
        fflush(nullptr);
        EXPECT_EQ(test::ReadFile("Quor_ZIP.txt", true), line + c.inflate + line);
    }
}

TEST_F(ZipReader, AFileOfASizeNoImageHasTakesNoMemory)
{
    ASSERT_TRUE(AllocateImageBuffer());
    test::WriteFile("big.vb", Image);
    ImageInHand image;
    image.name = "big.vb";
    image.length = 0x4000000;
    EXPECT_EQ(test::Stdout([&] { IdentifyImage(&image); }), "Unrecognized image size in big.vb\n");
    EXPECT_EQ(ImageBufferCapacity, ImageBufferInitialCapacity);
    FreeImageBuffer();
}

}  // namespace
