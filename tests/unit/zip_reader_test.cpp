// zip_reader_test.cpp - the ZIP reader over sound, odd and damaged archives: results, console lines and the ZIP error log
#include "support.h"
#include "zipwriter.h"

#include "intake/intake.h"
#include "run/run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const Corrupt = "The zipfile seems to be corrupt, please check it";
const char* const Unsupported = "The format of this zipfile is not supported, please recompress it";
const char* const Filesystem = "Your filesystem seems to be corrupt, please check it";

// Bytes past the end of every read buffer that must stay as they were.
constexpr size_t GuardSize = 70000;
constexpr unsigned char GuardByte = 0xA5;

// The two console lines of one report.
std::string Report(const std::string& path, const std::string& message)
{
    return "Error in zipfile " + path + "\n" + message + "\n";
}

// The log line of one report.
std::string LogLine(const std::string& path, const std::string& detail)
{
    return "Error in zipfile " + path + ": " + detail + "\n";
}

// A text file's content with the system's line ends turned into "\n".
std::string ReadText(const std::string& path)
{
    std::string text = test::ReadFile(path);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

// An archive with one image member "game.vb" of 8,192 bytes.
test::ZipWriter OneMember(uint16_t method)
{
    test::ZipWriter zip;
    zip.Add("game.vb", test::MakeImage(8192, 7), method);
    return zip;
}

// A raw deflate stream made of one stored block (so its length is exactly
// the data's length plus 5).
std::string StoredBlockStream(const std::string& data)
{
    std::string out;
    uint16_t len = (uint16_t)data.size();
    out += '\x01';
    out += (char)(len & 0xff);
    out += (char)(len >> 8);
    out += (char)(~len & 0xff);
    out += (char)((~len >> 8) & 0xff);
    return out + data;
}

// What became of one attempt to read an archive's first member.
struct Attempt {
    bool opened = false;
    bool gotEntry = false;
    int result = 1;  // ZipReadEntry's result; 1 when it was not reached
    std::string data;
    bool guardIntact = true;
    std::string console;
};

// Opens path, takes its first entry and reads it into a buffer of exactly
// its uncompressed size followed by a guard, capturing standard output.
Attempt ReadFirstMember(const std::string& path)
{
    Attempt a;
    testing::internal::CaptureStdout();
    ZipArchive* archive = ZipOpen(path.c_str());
    if (archive != nullptr) {
        a.opened = true;
        ZipEntry* entry = ZipNextEntry(archive);
        if (entry != nullptr) {
            a.gotEntry = true;
            size_t size = entry->uncompressedSize;
            std::vector<unsigned char> buffer(size + GuardSize, GuardByte);
            a.result = ZipReadEntry(archive, entry, buffer.data());
            a.data.assign(buffer.begin(), buffer.begin() + (ptrdiff_t)size);
            a.guardIntact = std::all_of(buffer.begin() + (ptrdiff_t)size, buffer.end(),
                                        [](unsigned char c) { return c == GuardByte; });
        }
        ZipClose(archive);
    }
    a.console = testing::internal::GetCapturedStdout();
    return a;
}

// Every reader test runs in a fresh collection folder that is also the start
// directory, with no ZIP error log open.
class ZipReader : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetRunOptions();
        ResetOutputFileReports();
        CloseZipLog();
        savedDirectory = fs::current_path();
        fs::current_path(scratch.collection);
        StartDirectory = scratch.collection;
        ProgramDirectory = scratch.program + test::Sep();
    }

    void TearDown() override
    {
        CloseZipLog();
        fs::current_path(savedDirectory);
        StartDirectory.clear();
        ProgramDirectory.clear();
    }

    // The ZIP error log as it stands (flushed if open); empty when absent.
    std::string Log()
    {
        if (ZipLog != nullptr)
            fflush(ZipLog);
        return ReadText(test::Join(scratch.collection, "Quor_ZIP.txt"));
    }

    test::Scratch scratch;
    fs::path savedDirectory;
};

// --- sound archives ----------------------------------------------------------

TEST_F(ZipReader, ReadsStoredAndDeflatedMembersExactly)
{
    struct Case {
        const char* what;
        std::string data;
        uint16_t method;
    };
    const Case cases[] = {
        {"stored image", test::MakeImage(8192, 1), test::ZipStored},
        {"deflated image", test::MakeImage(8192, 2), test::ZipDeflated},
        {"deflated, many input chunks", test::MakeImage(100000, 3), test::ZipDeflated},
        {"deflated, highly compressible", std::string(2099200, 'v'), test::ZipDeflated},
        {"stored, one byte", "x", test::ZipStored},
        {"stored, empty", "", test::ZipStored},
        {"deflated, empty", "", test::ZipDeflated},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::ZipWriter zip;
        zip.Add("m.vb", c.data, c.method);
        zip.WriteTo("x.zip");
        Attempt a = ReadFirstMember("x.zip");
        ASSERT_TRUE(a.gotEntry);
        EXPECT_EQ(a.result, 0);
        EXPECT_TRUE(a.data == c.data);
        EXPECT_TRUE(a.guardIntact);
        EXPECT_EQ(a.console, "");
    }
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(ZipLog, nullptr);
}

TEST_F(ZipReader, InflatesStreamsEndingAtEveryChunkBoundary)
{
    // Compressed sizes around the 16,384-byte read chunk: the whole stream
    // must be offered to inflate, and nothing behind it.
    for (size_t packedSize : {16383u, 16384u, 16385u, 32768u, 32769u}) {
        SCOPED_TRACE(packedSize);
        std::string data = test::MakeImage((uint32_t)(packedSize - 5), (uint32_t)packedSize);
        test::ZipWriter zip;
        zip.Add("m.vb", data, test::ZipDeflated).packed = StoredBlockStream(data);
        ASSERT_EQ(zip.Central(0).compressedSize, packedSize);
        zip.WriteTo("x.zip");
        Attempt a = ReadFirstMember("x.zip");
        EXPECT_EQ(a.result, 0);
        EXPECT_TRUE(a.data == data);
        EXPECT_TRUE(a.guardIntact);
        EXPECT_EQ(a.console, "");
    }
}

TEST_F(ZipReader, CopiesEveryDirectoryField)
{
    test::ZipWriter zip;
    const std::string name = "Dir/G\xe9me \x01.vb";
    test::ZipMember& m = zip.Add(name, "stored bytes", test::ZipStored);
    m.centralExtra = std::string("\x55\x54\x05\x00\x01\x02\x03\x04\x05", 9);
    m.comment = "a comment";
    zip.Layout();
    test::ZipCentralEntry& e = zip.Central(0);
    e.signature = 0x11223344;  // not compared
    e.versionMadeBy = 0x3f;
    e.hostSystem = 3;
    e.versionNeeded = 45;  // tested for deflated members only
    e.systemNeeded = 7;
    e.flags = 0x0808;
    e.modTime = 0x1234;
    e.modDate = 0x5678;
    e.crc32 = 0xdeadbeef;  // never compared with the data
    e.diskNumberStart = 4;
    e.internalAttributes = 1;
    e.externalAttributes = 0x81a40000;
    zip.WriteTo("x.zip");

    testing::internal::CaptureStdout();
    ZipArchive* archive = ZipOpen("x.zip");
    ASSERT_NE(archive, nullptr);
    ZipEntry* entry = ZipNextEntry(archive);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->signature, 0x11223344u);
    EXPECT_EQ(entry->versionMadeBy, 0x3f);
    EXPECT_EQ(entry->hostSystem, 3);
    EXPECT_EQ(entry->versionNeeded, 45);
    EXPECT_EQ(entry->systemNeeded, 7);
    EXPECT_EQ(entry->flags, 0x0808);
    EXPECT_EQ(entry->method, 0);
    EXPECT_EQ(entry->modTime, 0x1234);
    EXPECT_EQ(entry->modDate, 0x5678);
    EXPECT_EQ(entry->crc32, 0xdeadbeefu);
    EXPECT_EQ(entry->compressedSize, 12u);
    EXPECT_EQ(entry->uncompressedSize, 12u);
    EXPECT_EQ(entry->nameLength, name.size());
    EXPECT_EQ(entry->extraLength, 9);
    EXPECT_EQ(entry->commentLength, 9);
    EXPECT_EQ(entry->diskNumberStart, 4);
    EXPECT_EQ(entry->internalAttributes, 1);
    EXPECT_EQ(entry->externalAttributes, 0x81a40000u);
    EXPECT_EQ(entry->localHeaderOffset, 0u);
    EXPECT_EQ(entry->name, name);
    EXPECT_EQ(strlen(entry->name.c_str()), name.size());
    std::string buffer(12, '\0');
    EXPECT_EQ(ZipReadEntry(archive, entry, reinterpret_cast<unsigned char*>(&buffer[0])), 0);
    EXPECT_EQ(buffer, "stored bytes");
    EXPECT_EQ(ZipNextEntry(archive), nullptr);
    ZipClose(archive);
    ZipClose(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(ZipReader, WalksEntriesInDirectoryOrderPastExtrasAndComments)
{
    test::ZipWriter zip;
    zip.Add("first.txt", "one", test::ZipStored).centralExtra = std::string(300, 'e');
    zip.Add("", "nameless", test::ZipStored).comment = "c";
    zip.Add("third.vb", test::MakeImage(9000, 3), test::ZipDeflated).comment = std::string(70, 'k');
    zip.Add("last", "4", test::ZipDeflated);
    zip.WriteTo("x.zip");

    testing::internal::CaptureStdout();
    ZipArchive* archive = ZipOpen("x.zip");
    ASSERT_NE(archive, nullptr);
    std::vector<std::string> names;
    std::vector<uint32_t> sizes;
    while (ZipEntry* entry = ZipNextEntry(archive)) {
        names.push_back(entry->name);
        sizes.push_back(entry->uncompressedSize);
    }
    EXPECT_EQ(ZipNextEntry(archive), nullptr);
    ZipClose(archive);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(names, (std::vector<std::string>{"first.txt", "", "third.vb", "last"}));
    EXPECT_EQ(sizes, (std::vector<uint32_t>{3, 8, 9000, 1}));
}

TEST_F(ZipReader, FindsDataThroughTheLocalLengthsAndIgnoresTheRestOfTheLocalHeader)
{
    for (uint16_t method : {test::ZipStored, test::ZipDeflated}) {
        SCOPED_TRACE(method);
        std::string data = test::MakeImage(8192, 11);
        test::ZipWriter zip;
        test::ZipMember& m = zip.Add("g.vb", data, method);
        m.localExtra = std::string(1000, 'x');
        zip.Layout();
        test::ZipLocalHeader& h = zip.Local(0);
        h.signature = 0;
        h.name = "a much longer local name.vb";
        h.nameLength = (uint16_t)h.name.size();
        h.method = 99;
        h.versionNeeded = 99;
        h.crc32 = 0;
        h.compressedSize = 1;
        h.uncompressedSize = 0xffffffff;
        // The local name grew, so the directory moved: point the end record
        // at it again.
        zip.End().directoryOffset += (uint32_t)(h.name.size() - 4);
        zip.WriteTo("x.zip");
        Attempt a = ReadFirstMember("x.zip");
        EXPECT_EQ(a.result, 0);
        EXPECT_TRUE(a.data == data);
        EXPECT_EQ(a.console, "");
    }
}

TEST_F(ZipReader, FindsTheEndRecordBehindCommentsOfAnyLength)
{
    // The first search window is 1,024 bytes: a comment of 1,002 bytes still
    // fits it, one of 1,003 needs the doubled window.
    for (size_t comment : {0u, 1u, 1002u, 1003u, 2026u, 2027u, 5000u, 65535u}) {
        for (uint32_t imageSize : {0u, 8192u}) {
            SCOPED_TRACE("comment " + std::to_string(comment) + ", member " + std::to_string(imageSize));
            std::string data = test::MakeImage(imageSize, 5);
            test::ZipWriter zip;
            zip.Add("g.vb", data, test::ZipDeflated);
            zip.archiveComment = std::string(comment, 'c');
            zip.WriteTo("x.zip");
            Attempt a = ReadFirstMember("x.zip");
            EXPECT_TRUE(a.opened);
            EXPECT_EQ(a.result, 0);
            EXPECT_TRUE(a.data == data);
            EXPECT_EQ(a.console, "");
        }
    }
}

TEST_F(ZipReader, FindsTheEndRecordBeforeTrailingBytes)
{
    // The window keeps doubling up to the whole file, however far the
    // record lies from the end.
    for (size_t trailing : {1u, 3000u, 70000u, 300000u}) {
        SCOPED_TRACE(trailing);
        std::string data = test::MakeImage(8192, 6);
        test::ZipWriter zip;
        zip.Add("g.vb", data, test::ZipStored);
        zip.archiveComment = "comment";
        zip.trailing = std::string(trailing, '\0');
        zip.WriteTo("x.zip");
        Attempt a = ReadFirstMember("x.zip");
        EXPECT_TRUE(a.opened && a.result == 0 && a.data == data && a.console.empty()) << a.console;
    }
}

TEST_F(ZipReader, TrustsTheDirectoryCrcAndTheSizesOfStoredMembersOnly)
{
    // Deflated members with a stored member's lax fields, and a stored member
    // with a deflated member's forbidden ones: only deflated members are
    // tested for version, system and disk.
    std::string data = test::MakeImage(8192, 21);
    test::ZipWriter zip;
    zip.Add("g.vb", data, test::ZipStored);
    zip.Layout();
    zip.Central(0).versionNeeded = 63;
    zip.Central(0).systemNeeded = 3;
    zip.Central(0).diskNumberStart = 9;
    zip.Central(0).crc32 = 0;
    zip.WriteTo("x.zip");
    Attempt a = ReadFirstMember("x.zip");
    EXPECT_EQ(a.result, 0);
    EXPECT_TRUE(a.data == data);
    EXPECT_EQ(a.console, "");

    test::ZipWriter deflated = OneMember(test::ZipDeflated);
    deflated.Central(0).versionNeeded = 20;
    deflated.Central(0).crc32 ^= 1;
    deflated.WriteTo("y.zip");
    EXPECT_EQ(ReadFirstMember("y.zip").result, 0);
}

TEST(ZipWriterLayout, OneStoredMemberByteForByte)
{
    // The tests' writer itself, against the format: local header, data,
    // central directory entry, end record.
    test::ZipWriter zip;
    zip.Add("a", "b", test::ZipStored);
    const std::string crc("\xf9\xef\xbe\x71", 4);  // CRC-32 of "b"
    std::string expected = std::string("PK\x03\x04\x0a\x00\x00\x00\x00\x00\x00\x60\x21\x50", 14) + crc +
                           std::string("\x01\x00\x00\x00\x01\x00\x00\x00\x01\x00\x00\x00", 12) + "ab" +
                           std::string("PK\x01\x02\x14\x00\x0a\x00\x00\x00\x00\x00\x00\x60\x21\x50", 16) + crc +
                           std::string("\x01\x00\x00\x00\x01\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00"
                                       "\x00\x00\x20\x00\x00\x00\x00\x00\x00\x00",
                                       26) +
                           "a" +
                           std::string("PK\x05\x06\x00\x00\x00\x00\x01\x00\x01\x00\x2f\x00\x00\x00\x20\x00\x00\x00\x00\x00",
                                       22);
    EXPECT_TRUE(zip.Bytes() == expected);
    EXPECT_EQ(zip.DirectoryStart(), 32u);
    EXPECT_EQ(zip.EndStart(), 79u);
}

// --- damaged and unsupported archives ------------------------------------------

enum class Stage { Open, Entry, Read };

struct Failure {
    const char* title;
    std::function<std::optional<std::string>()> make;  // nullopt: no file at all
    Stage stage;
    int result;  // of ZipReadEntry, for Stage::Read
    const char* message;
    std::vector<std::string> details;  // the log detail, or the ones allowed
};

std::string WithDirectory(std::function<void(test::ZipWriter&)> damage, uint16_t method = test::ZipDeflated)
{
    test::ZipWriter zip = OneMember(method);
    zip.Layout();
    damage(zip);
    return zip.Bytes();
}

const Failure Failures[] = {
    {"MissingFile", [] { return std::optional<std::string>(); }, Stage::Open, 0, Filesystem,
     {"Opening for reading"}},
    {"EmptyFile", [] { return std::optional<std::string>(""); }, Stage::Open, 0, Corrupt, {"Empty file"}},
    {"NoEndRecord", [] { return std::optional<std::string>(test::MakeImage(5000, 9)); }, Stage::Open, 0, Corrupt,
     {"Reading ECD (end of central directory)"}},
    {"ShorterThanAnEndRecord",
     [] { return std::optional<std::string>(std::string("PK\x05\x06\x00\x00\x00\x00\x01\x00\x01\x00", 12)); },
     Stage::Open, 0, Corrupt, {"Reading ECD (end of central directory)"}},
    {"EndRecordCutByOneByte",
     [] {
         test::ZipWriter zip = OneMember(test::ZipStored);
         zip.keep = zip.Bytes().size() - 1;
         return std::optional<std::string>(zip.Bytes());
     },
     Stage::Open, 0, Corrupt, {"Reading ECD (end of central directory)"}},
    {"ThisDiskIsNotTheFirst", [] { return WithDirectory([](test::ZipWriter& z) { z.End().thisDisk = 1; }); },
     Stage::Open, 0, Unsupported, {"Cannot span disks"}},
    {"DirectoryOnAnotherDisk", [] { return WithDirectory([](test::ZipWriter& z) { z.End().directoryDisk = 2; }); },
     Stage::Open, 0, Unsupported, {"Cannot span disks"}},
    {"EntriesOnOtherDisks", [] { return WithDirectory([](test::ZipWriter& z) { z.End().totalEntries = 2; }); },
     Stage::Open, 0, Unsupported, {"Cannot span disks"}},
    {"NoEntries", [] { return std::optional<std::string>(test::ZipWriter().Bytes()); }, Stage::Open, 0,
     Unsupported, {"Cannot span disks"}},
    {"DirectoryBeyondTheEnd",
     [] { return WithDirectory([](test::ZipWriter& z) { z.End().directoryOffset = (uint32_t)z.Bytes().size() + 100; }); },
     Stage::Open, 0, Corrupt, {"Reading central directory"}},
    {"DirectoryClaimsFourGigabytes",
     [] { return WithDirectory([](test::ZipWriter& z) { z.End().directorySize = 0xffffffff; }); }, Stage::Open, 0,
     Corrupt, {"Reading central directory"}},
    {"DirectoryOffsetAndSizeWrapAround",
     [] {
         return WithDirectory([](test::ZipWriter& z) {
             z.End().directorySize = 0xffffffffu - z.End().directoryOffset + 10;
         });
     },
     Stage::Open, 0, Corrupt, {"Reading central directory"}},
    {"DirectoryOneBytePastTheEnd",
     [] {
         return WithDirectory([](test::ZipWriter& z) {
             z.End().directorySize = (uint32_t)(z.Bytes().size() - z.End().directoryOffset + 1);
         });
     },
     Stage::Open, 0, Corrupt, {"Reading central directory"}},
    {"NameLengthPastTheDirectory",
     [] { return WithDirectory([](test::ZipWriter& z) { z.Central(0).nameLength = 0xffff; }); }, Stage::Entry, 0,
     Corrupt, {"Invalid filename length in directory"}},
    {"NameLengthOneBytePastTheDirectory",
     [] {
         return WithDirectory([](test::ZipWriter& z) {
             z.Central(0).nameLength = (uint16_t)(z.End().directorySize - 46 + 1);
         });
     },
     Stage::Entry, 0, Corrupt, {"Invalid filename length in directory"}},
    {"DirectoryShorterThanOneEntry",
     [] { return WithDirectory([](test::ZipWriter& z) { z.End().directorySize = 45; }); }, Stage::Entry, 0, Corrupt,
     {"Invalid filename length in directory"}},
    {"StoredSizesDiffer",
     [] { return WithDirectory([](test::ZipWriter& z) { z.Central(0).uncompressedSize -= 1; }, test::ZipStored); },
     Stage::Read, -3, Corrupt, {"Wrong uncompressed size in store compression"}},
    {"StoredSizesDifferTheOtherWay",
     [] { return WithDirectory([](test::ZipWriter& z) { z.Central(0).compressedSize -= 1; }, test::ZipStored); },
     Stage::Read, -3, Corrupt, {"Wrong uncompressed size in store compression"}},
    {"StoredDataPastTheEnd",
     [] {
         return WithDirectory(
             [](test::ZipWriter& z) {
                 z.Central(0).compressedSize += 5000;
                 z.Central(0).uncompressedSize += 5000;
             },
             test::ZipStored);
     },
     Stage::Read, -1, Corrupt, {"Seeking to compressed data", "Reading compressed data"}},
    {"MethodShrunk", [] { return WithDirectory([](test::ZipWriter& z) { z.Central(0).method = 1; }); }, Stage::Read,
     -2, Unsupported, {"Compression method unsupported"}},
    {"MethodDeflate64", [] { return WithDirectory([](test::ZipWriter& z) { z.Central(0).method = 9; }); },
     Stage::Read, -2, Unsupported, {"Compression method unsupported"}},
    {"MethodBzip2", [] { return WithDirectory([](test::ZipWriter& z) { z.Central(0).method = 12; }); }, Stage::Read,
     -2, Unsupported, {"Compression method unsupported"}},
    {"MethodLzma", [] { return WithDirectory([](test::ZipWriter& z) { z.Central(0).method = 14; }); }, Stage::Read,
     -2, Unsupported, {"Compression method unsupported"}},
    {"VersionNeeded21", [] { return WithDirectory([](test::ZipWriter& z) { z.Central(0).versionNeeded = 21; }); },
     Stage::Read, -2, Unsupported, {"Version too new"}},
    {"VersionNeeded45", [] { return WithDirectory([](test::ZipWriter& z) { z.Central(0).versionNeeded = 45; }); },
     Stage::Read, -2, Unsupported, {"Version too new"}},
    {"SystemByteNotZero", [] { return WithDirectory([](test::ZipWriter& z) { z.Central(0).systemNeeded = 3; }); },
     Stage::Read, -2, Unsupported, {"OS not supported"}},
    {"VersionIsTestedBeforeSystem",
     [] {
         return WithDirectory([](test::ZipWriter& z) {
             z.Central(0).versionNeeded = 21;
             z.Central(0).systemNeeded = 3;
             z.Central(0).diskNumberStart = 1;
         });
     },
     Stage::Read, -2, Unsupported, {"Version too new"}},
    {"SystemIsTestedBeforeDisk",
     [] {
         return WithDirectory([](test::ZipWriter& z) {
             z.Central(0).systemNeeded = 1;
             z.Central(0).diskNumberStart = 1;
         });
     },
     Stage::Read, -2, Unsupported, {"OS not supported"}},
    {"MemberOnAnotherDisk",
     [] { return WithDirectory([](test::ZipWriter& z) { z.Central(0).diskNumberStart = 1; }); }, Stage::Read, -2,
     Unsupported, {"Cannot span disks"}},
    {"LocalHeaderBeyondTheEnd",
     [] { return WithDirectory([](test::ZipWriter& z) { z.Central(0).localHeaderOffset = 0xffffff00; }); },
     Stage::Read, -1, Corrupt, {"Seeking to header", "Reading header"}},
    {"LocalHeaderCutByTheEnd",
     [] {
         return WithDirectory([](test::ZipWriter& z) { z.Central(0).localHeaderOffset = (uint32_t)z.Bytes().size() - 10; });
     },
     Stage::Read, -1, Corrupt, {"Seeking to header", "Reading header"}},
    {"StoredDataBeyondTheEnd",
     [] { return WithDirectory([](test::ZipWriter& z) { z.Local(0).extraLength = 0xffff; }, test::ZipStored); },
     Stage::Read, -1, Corrupt, {"Seeking to compressed data", "Reading compressed data"}},
    {"DeflatedDataBeyondTheEnd",
     [] { return WithDirectory([](test::ZipWriter& z) { z.Local(0).extraLength = 0xffff; }); }, Stage::Read, -1,
     Corrupt, {"Seeking to compressed data", "Reading compressed data"}},
    {"StreamInflatesPastItsDeclaredSize",
     [] { return WithDirectory([](test::ZipWriter& z) { z.Central(0).uncompressedSize -= 100; }); }, Stage::Read, -3,
     Corrupt, {"Inflating compressed data"}},
    {"StreamEndsBeforeItsDeclaredSize",
     [] { return WithDirectory([](test::ZipWriter& z) { z.Central(0).uncompressedSize += 1; }); }, Stage::Read, -3,
     Corrupt, {"Inflating compressed data"}},
    {"StreamCutShort",
     [] {
         return WithDirectory([](test::ZipWriter& z) {
             z.Central(0).compressedSize /= 2;
         });
     },
     Stage::Read, -3, Corrupt, {"Inflating compressed data"}},
    {"CompressedSizeZero", [] { return WithDirectory([](test::ZipWriter& z) { z.Central(0).compressedSize = 0; }); },
     Stage::Read, -3, Corrupt, {"Inflating compressed data"}},
    {"StreamNotDeflate",
     [] {
         test::ZipWriter zip;
         zip.Add("game.vb", test::MakeImage(8192, 7), test::ZipDeflated).packed = std::string(600, '\xff');
         return std::optional<std::string>(zip.Bytes());
     },
     Stage::Read, -3, Corrupt, {"Inflating compressed data"}},
};

void PrintTo(const Failure& f, std::ostream* os)
{
    *os << f.title;
}

class ZipReaderFailure : public ZipReader, public ::testing::WithParamInterface<Failure> {};

TEST_P(ZipReaderFailure, IsReportedOnceOnTheConsoleAndInTheLog)
{
    const Failure& f = GetParam();
    std::optional<std::string> bytes = f.make();
    if (bytes)
        test::WriteFile("x.zip", *bytes);
    Attempt a = ReadFirstMember("x.zip");

    EXPECT_EQ(a.opened, f.stage != Stage::Open);
    EXPECT_EQ(a.gotEntry, f.stage == Stage::Read);
    if (f.stage == Stage::Read) {
        EXPECT_EQ(a.result, f.result);
        EXPECT_TRUE(a.guardIntact) << "written beyond the uncompressed size";
    }
    EXPECT_EQ(a.console, Report("x.zip", f.message));
    std::string log = Log();
    bool known = false;
    for (const std::string& detail : f.details)
        known = known || log == LogLine("x.zip", detail);
    EXPECT_TRUE(known) << "log: " << log;
    EXPECT_NE(ZipLog, nullptr) << "the log stays open for the rest of the walk";
}

INSTANTIATE_TEST_SUITE_P(Table, ZipReaderFailure, ::testing::ValuesIn(Failures),
                         [](const ::testing::TestParamInfo<Failure>& p) { return std::string(p.param.title); });

TEST_F(ZipReader, DeflatedDataRunningPastTheEndFailsInsteadOfWaiting)
{
    // A cut stream whose compressed size claims more bytes than the file
    // holds: the reader runs out of input and must give up.
    std::string data = test::MakeImage(60000, 31);
    std::string stream = test::DeflateRaw(data);
    test::ZipWriter zip;
    zip.Add("game.vb", data, test::ZipDeflated).packed = stream.substr(0, stream.size() / 2);
    zip.Layout();
    zip.Central(0).compressedSize = (uint32_t)stream.size() + 100000;
    zip.WriteTo("x.zip");
    Attempt a = ReadFirstMember("x.zip");
    ASSERT_TRUE(a.gotEntry);
    EXPECT_TRUE(a.result == -1 || a.result == -3) << a.result;
    EXPECT_TRUE(a.guardIntact);
    EXPECT_EQ(a.console, Report("x.zip", Corrupt));
}

TEST_F(ZipReader, ADamagedEntryEndsTheWalkAfterTheSoundOnes)
{
    test::ZipWriter zip;
    zip.Add("a.vb", "aaaa", test::ZipStored);
    zip.Add("b.vb", "bbbb", test::ZipStored);
    zip.Add("c.vb", "cccc", test::ZipStored);
    zip.Layout();
    zip.Central(1).nameLength = 0x4000;
    zip.WriteTo("x.zip");

    testing::internal::CaptureStdout();
    ZipArchive* archive = ZipOpen("x.zip");
    ASSERT_NE(archive, nullptr);
    ZipEntry* first = ZipNextEntry(archive);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->name, "a.vb");
    EXPECT_EQ(ZipNextEntry(archive), nullptr);
    ZipClose(archive);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), Report("x.zip", Corrupt));
    EXPECT_EQ(Log(), LogLine("x.zip", "Invalid filename length in directory"));
}

TEST_F(ZipReader, ExtraAndCommentLengthsOnlyMoveTheReadPosition)
{
    // Lengths that carry the read position past the directory's end end the
    // walk quietly; they are not part of the fit test.
    test::ZipWriter zip;
    zip.Add("a.vb", "aaaa", test::ZipStored);
    zip.Add("b.vb", "bbbb", test::ZipStored);
    zip.Layout();
    zip.Central(0).extraLength = 0xffff;
    zip.Central(0).commentLength = 0xffff;
    zip.WriteTo("x.zip");

    testing::internal::CaptureStdout();
    ZipArchive* archive = ZipOpen("x.zip");
    ASSERT_NE(archive, nullptr);
    ZipEntry* first = ZipNextEntry(archive);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->name, "a.vb");
    EXPECT_EQ(ZipNextEntry(archive), nullptr);
    ZipClose(archive);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(Log(), "");
}

// --- the ZIP error log -----------------------------------------------------------

TEST_F(ZipReader, LogGoesToTheStartDirectoryAndIsAppendedTo)
{
    test::WriteFile("Quor_ZIP.txt", "an earlier run\n");
    test::MakeDirs("inner");
    fs::current_path("inner");
    test::WriteFile("empty.zip", "");
    test::WriteFile("nothing.zip", test::ZipWriter().Bytes());

    ReadFirstMember("empty.zip");
    ASSERT_NE(ZipLog, nullptr);
    ReadFirstMember("nothing.zip");
    CloseZipLog();
    EXPECT_EQ(ZipLog, nullptr);
    ReadFirstMember("missing.zip");

    EXPECT_FALSE(test::FileExists("Quor_ZIP.txt"));
    EXPECT_EQ(Log(), "an earlier run\n" + LogLine("empty.zip", "Empty file") +
                         LogLine("nothing.zip", "Cannot span disks") +
                         LogLine("missing.zip", "Opening for reading"));
}

struct InflateDetail {
    const char* what;
    std::function<test::ZipWriter()> make;
    std::string detail;  // the line before the report; empty: computed in the test
};

TEST_F(ZipReader, InflateDetailsReachTheLogOnlyWhenItIsAlreadyOpen)
{
    std::string image = test::MakeImage(10000, 41);
    std::string stream = test::DeflateRaw(image);
    // A stream that ends inside the first 16,384-byte chunk, followed by
    // 20,000 bytes of the member that are never read.
    uint32_t leftOver = (uint32_t)(stream.size() + 20000 - 16384);

    const InflateDetail cases[] = {
        {"stream not deflate",
         [] {
             test::ZipWriter z;
             z.Add("g.vb", test::MakeImage(8192, 7), test::ZipDeflated).packed = std::string(64, '\xff');
             return z;
         },
         "inflate error: -3\n"},
        {"stream cut short",
         [&] {
             test::ZipWriter z;
             z.Add("g.vb", image, test::ZipDeflated).packed = stream.substr(0, stream.size() / 2);
             return z;
         },
         "inflate error: compressed size too small\n"},
        {"compressed size zero",
         [&] {
             test::ZipWriter z;
             z.Add("g.vb", image, test::ZipDeflated).packed = "";
             return z;
         },
         "inflate error: compressed size too small\n"},
        {"output full before the stream ends",
         [&] {
             test::ZipWriter z;
             z.Add("g.vb", image, test::ZipDeflated);
             z.Central(0).uncompressedSize = 9000;
             return z;
         },
         "inflate error: compressed size too small\n"},
        {"stream ends before the output is full",
         [&] {
             test::ZipWriter z;
             z.Add("g.vb", image, test::ZipDeflated);
             z.Central(0).uncompressedSize = 10001;
             return z;
         },
         "zip size mismatch. 0\n"},
        {"stream ends with compressed bytes left",
         [&] {
             test::ZipWriter z;
             z.Add("g.vb", image, test::ZipDeflated).packed = stream + std::string(20000, '\0');
             return z;
         },
         "zip size mismatch. " + std::to_string(leftOver) + "\n"},
    };

    // No log yet: the first failure opens it only with its report line.
    test::ZipWriter first = cases[0].make();
    first.WriteTo("first.zip");
    Attempt a = ReadFirstMember("first.zip");
    EXPECT_EQ(a.result, -3);
    EXPECT_EQ(a.console, Report("first.zip", Corrupt));
    std::string expected = LogLine("first.zip", "Inflating compressed data");
    EXPECT_EQ(Log(), expected);

    // With the log open, each failure's detail line comes before its report.
    for (const InflateDetail& c : cases) {
        SCOPED_TRACE(c.what);
        test::ZipWriter zip = c.make();
        zip.WriteTo("x.zip");
        std::string before = Log();
        Attempt b = ReadFirstMember("x.zip");
        EXPECT_EQ(b.result, -3);
        EXPECT_TRUE(b.guardIntact);
        EXPECT_EQ(b.console, Report("x.zip", Corrupt)) << "detail lines never reach the console";
        EXPECT_EQ(Log(), before + c.detail + LogLine("x.zip", "Inflating compressed data"));
    }

    // Closed again, the log is reopened by the next report, without detail.
    CloseZipLog();
    first.WriteTo("again.zip");
    expected = Log() + LogLine("again.zip", "Inflating compressed data");
    ReadFirstMember("again.zip");
    EXPECT_EQ(Log(), expected);
}

}  // namespace
