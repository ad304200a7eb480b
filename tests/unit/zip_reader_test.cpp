// zip_reader_test.cpp - the ZIP reader over sound, odd and damaged archives: results, console lines and the ZIP error log
#include "support.h"
#include "zipwriter.h"

#include "intake/intake.h"
#include "run/imagebuffer.h"
#include "run/options.h"
#include "run/outputfile.h"

#include <algorithm>
#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

const char* const Corrupt = "The zipfile seems to be corrupt, please check it";
const char* const Unsupported = "The format of this zipfile is not supported, please recompress it";

// A raw deflate stream of one stored block: exactly 5 bytes longer than data.
std::string StoredBlockStream(const std::string& data)
{
    uint16_t len = (uint16_t)data.size();
    return std::string{'\x01', (char)(len & 0xff), (char)(len >> 8), (char)(~len & 0xff), (char)((~len >> 8) & 0xff)} +
           data;
}

using Z = test::ZipWriter;
using Damage = std::function<void(Z&)>;
const uint16_t S = test::ZipStored, D = test::ZipDeflated;

// An archive of one member "game.vb" made by method, then damaged.
std::string Damaged(uint16_t method, const Damage& damage, const std::string& data = test::MakeImage(8192, 7))
{
    test::ZipWriter zip;
    zip.Add("game.vb", data, method);
    zip.Layout();
    damage(zip);
    return zip.Bytes();
}

// What became of reading an archive's first member into a buffer of exactly
// its uncompressed size followed by a guard.
constexpr int OpenFails = 10, EntryFails = 11;
struct Attempt {
    int result = OpenFails;  // ZipReadEntry's, unless the open or the entry failed
    std::string data;
    bool guardIntact = true;
    std::string console;
};

Attempt ReadFirstMember(const std::string& path)
{
    Attempt a;
    a.console = test::Stdout([&] {
        ZipArchive* archive = ZipOpen(path.c_str());
        if (archive == nullptr)
            return;
        a.result = EntryFails;
        if (ZipEntry* entry = ZipNextEntry(archive)) {
            size_t size = entry->uncompressedSize;
            std::vector<unsigned char> buffer(size + 70000, 0xA5);
            a.result = ZipReadEntry(archive, entry, buffer.data());
            a.data.assign(buffer.begin(), buffer.begin() + (ptrdiff_t)size);
            a.guardIntact = std::all_of(buffer.begin() + (ptrdiff_t)size, buffer.end(),
                                        [](unsigned char c) { return c == 0xA5; });
        }
        ZipClose(archive);
    });
    return a;
}

class ZipReader : public test::UnitTest {
protected:
    // The ZIP error log as it stands, with "\n" line ends; empty when absent.
    static std::string Log()
    {
        if (ZipLog.stream != nullptr)
            fflush(ZipLog.stream);
        return test::ReadText(test::Join(StartDirectory, "Quor_ZIP.txt"));
    }
};

TEST_F(ZipReader, ReadsSoundMembersExactly)
{
    const std::string image = test::MakeImage(8192, 2);
    auto comment = [](size_t length) { return [length](Z& z) { z.archiveComment = std::string(length, 'c'), z.Layout(); }; };
    // Packed as one stored deflate block, so that the stream's length is known.
    auto block = [](Z& z) { z.members[0].packed = StoredBlockStream(z.members[0].data), z.Layout(); };
    // Of the local header only the name and extra lengths count.
    auto localLies = [](Z& z) {
        z.Local(0) = {0, 99, 1, 99, 0, 0, 0, 1, 0xffffffff, 27, 1000, "a much longer local name.vb", std::string(1000, 'x')};
        z.End().directoryOffset += 27 + 1000 - 7;
    };
    const struct {
        const char* what;
        std::string data;
        uint16_t method;
        Damage change = nullptr;
    } cases[] = {
        {"stored", image, S}, {"deflated", image, D}, {"deflated, many input chunks", test::MakeImage(100000, 3), D},
        {"deflated, highly compressible", std::string(2099200, 'v'), D}, {"deflated, empty", "", D},
        // The end record is searched for in a window of 1,024 bytes, doubled
        // until it holds the whole file.
        {"comment of 1,002", image, D, comment(1002)}, {"comment of 1,003", image, D, comment(1003)},
        {"comment of 1,003, empty member", "", D, comment(1003)}, {"comment of 2,027", image, D, comment(2027)},
        {"longest comment", image, D, comment(65535)},
        {"trailing bytes", image, S, [](Z& z) { z.trailing = std::string(300000, '\0'); }},
        // Streams ending around the 16,384-byte read chunk: the whole stream
        // is offered to inflate, and nothing behind it.
        {"stream of 16,383", test::MakeImage(16378, 4), D, block}, {"stream of 16,384", test::MakeImage(16379, 4), D, block},
        {"stream of 16,385", test::MakeImage(16380, 4), D, block}, {"stream of 32,769", test::MakeImage(32764, 4), D, block},
        {"stored, the local header lies", image, S, localLies}, {"deflated, the local header lies", image, D, localLies},
        {"the directory CRC and a stored member's version, system and disk are not checked", image, S,
         [](Z& z) { z.Central(0).crc32 = 0, z.Central(0).versionNeeded = 63, z.Central(0).systemNeeded = 3,
                    z.Central(0).diskNumberStart = 9; }},
        {"deflated: the directory CRC is not checked, version 2.0 is allowed", image, D,
         [](Z& z) { z.Central(0).crc32 ^= 1, z.Central(0).versionNeeded = 20; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::WriteFile("x.zip", Damaged(c.method, c.change ? c.change : [](Z&) {}, c.data));
        Attempt a = ReadFirstMember("x.zip");
        EXPECT_EQ(a.result, 0);
        EXPECT_TRUE(a.data == c.data);
        EXPECT_TRUE(a.guardIntact);
        EXPECT_EQ(a.console, "");
    }
    EXPECT_EQ(ZipLog.stream, nullptr);
    EXPECT_EQ(Log(), "");
}

TEST_F(ZipReader, WalksEntriesInDirectoryOrderPastExtrasAndComments)
{
    test::ZipWriter zip;
    zip.Add("first.txt", "one").centralExtra = std::string(300, 'e');
    zip.Add("", "nameless").comment = "c";
    zip.Add(std::string("third\0.vb", 9), "3", D).comment = std::string(70, 'k');  // a name ends at a NUL
    std::vector<std::string> names;
    auto walk = [&] {
        zip.WriteTo("x.zip");
        names.clear();
        ZipArchive* archive = ZipOpen("x.zip");
        while (ZipEntry* entry = ZipNextEntry(archive))
            names.push_back(entry->name);
        ZipClose(archive);
    };
    EXPECT_EQ(test::Stdout(walk), "");
    EXPECT_EQ(names, (std::vector<std::string>{"first.txt", "", "third"}));
    // Lengths that carry the read position past the directory's end end the walk quietly.
    zip.Central(0).extraLength = 0xffff;
    EXPECT_EQ(test::Stdout(walk), "");
    EXPECT_EQ(names, std::vector<std::string>{"first.txt"});
}

TEST_F(ZipReader, EveryFailureIsReportedOnTheConsoleAndInTheLogWithItsDetailOnlyWhenTheLogIsOpen)
{
    const std::string image = test::MakeImage(10000, 41), stream = test::DeflateRaw(image);
    const std::string tooSmall = "inflate error: compressed size too small\n";
    const char *ecd = "Reading ECD (end of central directory)", *span = "Cannot span disks";
    const char *directory = "Reading central directory", *name = "Invalid filename length in directory";
    const char *inflating = "Inflating compressed data", *data = "Seeking to compressed data";
    const char *method = "Compression method unsupported", *version = "Version too new", *os = "OS not supported";
    const struct {
        const char* title;
        std::string bytes;  // "none": no file at all
        int result;
        const char *message, *detail;
        std::string inflate = "";  // the line before the report in an open log
    } cases[] = {
        {"missing file", "none", OpenFails, "Your filesystem seems to be corrupt, please check it", "Opening for reading"},
        {"empty file", "", OpenFails, Corrupt, "Empty file"},
        {"no end record", test::MakeImage(5000, 9), OpenFails, Corrupt, ecd},
        {"shorter than an end record", Z().Bytes().substr(0, 12), OpenFails, Corrupt, ecd},
        {"end record cut by one byte", Damaged(S, [](Z& z) { z.keep = z.Bytes().size() - 1; }), OpenFails, Corrupt, ecd},
        {"this disk not the first", Damaged(D, [](Z& z) { z.End().thisDisk = 1; }), OpenFails, Unsupported, span},
        {"directory on another disk", Damaged(D, [](Z& z) { z.End().directoryDisk = 2; }), OpenFails, Unsupported, span},
        {"entries on other disks", Damaged(D, [](Z& z) { z.End().totalEntries = 2; }), OpenFails, Unsupported, span},
        {"no entries", Z().Bytes(), OpenFails, Unsupported, span},
        {"directory offset and size wrap around",
         Damaged(D, [](Z& z) { z.End().directorySize = 0xffffffffu - z.End().directoryOffset + 10; }), OpenFails, Corrupt,
         directory},
        {"directory one byte past the end",
         Damaged(D, [](Z& z) { z.End().directorySize = (uint32_t)(z.Bytes().size() - z.End().directoryOffset + 1); }),
         OpenFails, Corrupt, directory},
        {"name one byte past the directory",
         Damaged(D, [](Z& z) { z.Central(0).nameLength = (uint16_t)(z.End().directorySize - 46 + 1); }), EntryFails,
         Corrupt, name},
        {"directory shorter than one entry", Damaged(D, [](Z& z) { z.End().directorySize = 45; }), EntryFails, Corrupt,
         name},
        {"stored sizes differ", Damaged(S, [](Z& z) { z.Central(0).uncompressedSize -= 1; }), -3, Corrupt,
         "Wrong uncompressed size in store compression"},
        {"stored data beyond the end", Damaged(S, [](Z& z) { z.Local(0).extraLength = 0xffff; }), -1, Corrupt, data},
        {"method Deflate64", Damaged(D, [](Z& z) { z.Central(0).method = 9; }), -2, Unsupported, method},
        {"version 2.1 needed", Damaged(D, [](Z& z) { z.Central(0).versionNeeded = 21; }), -2, Unsupported, version},
        {"system byte not 0", Damaged(D, [](Z& z) { z.Central(0).systemNeeded = 3; }), -2, Unsupported, os},
        {"version before system", Damaged(D, [](Z& z) { z.Central(0).versionNeeded = 21, z.Central(0).systemNeeded = 3; }),
         -2, Unsupported, version},
        {"system before disk", Damaged(D, [](Z& z) { z.Central(0).systemNeeded = 1, z.Central(0).diskNumberStart = 1; }),
         -2, Unsupported, os},
        {"member on another disk", Damaged(D, [](Z& z) { z.Central(0).diskNumberStart = 1; }), -2, Unsupported, span},
        {"local header beyond the end", Damaged(D, [](Z& z) { z.Central(0).localHeaderOffset = 0xffffff00; }), -1,
         Corrupt, "Seeking to header"},
        {"local header cut by the end",
         Damaged(D, [](Z& z) { z.Central(0).localHeaderOffset = (uint32_t)z.Bytes().size() - 10; }), -1, Corrupt,
         "Reading header"},
        {"deflated data beyond the end", Damaged(D, [](Z& z) { z.Local(0).extraLength = 0xffff; }), -1, Corrupt, data},
        {"stream inflates past its size", Damaged(D, [](Z& z) { z.Central(0).uncompressedSize -= 100; }), -3, Corrupt,
         inflating, tooSmall},
        {"stream ends before its size", Damaged(D, [](Z& z) { z.Central(0).uncompressedSize += 1; }), -3, Corrupt,
         inflating, "zip size mismatch. 0\n"},
        {"stream cut short", Damaged(D, [](Z& z) { z.Central(0).compressedSize /= 2; }), -3, Corrupt, inflating, tooSmall},
        {"compressed size zero", Damaged(D, [](Z& z) { z.Central(0).compressedSize = 0; }), -3, Corrupt, inflating,
         tooSmall},
        {"stream not deflate", Damaged(D, [](Z& z) { z.members[0].packed = std::string(64, '\xff'), z.Layout(); }), -3,
         Corrupt, inflating, "inflate error: -3\n"},
        {"stream ends with compressed bytes left",
         Damaged(D, [&](Z& z) { z.members[0].packed = stream + std::string(20000, '\0'), z.Layout(); }, image), -3,
         Corrupt, inflating, "zip size mismatch. " + std::to_string(stream.size() + 20000 - 16384) + "\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        CloseZipLog();
        fs::remove("Quor_ZIP.txt");
        fs::remove("x.zip");
        if (c.bytes != "none")
            test::WriteFile("x.zip", c.bytes);
        // No log yet: the report opens it and is its only line.
        const std::string report = "Error in zipfile x.zip\n" + std::string(c.message) + "\n";
        const std::string line = "Error in zipfile x.zip: " + std::string(c.detail) + "\n";
        Attempt a = ReadFirstMember("x.zip");
        EXPECT_EQ(a.result, c.result);
        EXPECT_TRUE(a.guardIntact) << "written beyond the uncompressed size";
        EXPECT_EQ(a.console, report);
        EXPECT_EQ(Log(), line);
        ASSERT_NE(ZipLog.stream, nullptr) << "the log stays open for the rest of the walk";
        // With the log open, an inflate failure's detail comes before its report.
        EXPECT_EQ(ReadFirstMember("x.zip").console, report) << "detail lines never reach the console";
        EXPECT_EQ(Log(), line + c.inflate + line);
    }
}

}  // namespace
