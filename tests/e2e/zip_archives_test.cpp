// zip_archives_test.cpp - ZIP archives in real collections, run end to end: scanned, renamed, moved, listed, damaged
#include "support.h"
#include "zipwriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const char* const Corrupt = "The zipfile seems to be corrupt, please check it";
const char* const Unsupported = "The format of this zipfile is not supported, please recompress it";

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// True when block stands in lines as consecutive lines.
bool HasBlock(const std::vector<std::string>& lines, const std::vector<std::string>& block)
{
    return std::search(lines.begin(), lines.end(), block.begin(), block.end()) != lines.end();
}

size_t CountStarting(const std::vector<std::string>& lines, const std::string& start)
{
    return (size_t)std::count_if(lines.begin(), lines.end(),
                                 [&](const std::string& l) { return l.compare(0, start.size(), start) == 0; });
}

std::string Listed(uint32_t crc, const std::string& name)
{
    char text[9];
    snprintf(text, sizeof text, "%08lx", (unsigned long)crc);
    return "\"" + std::string(text) + " " + name + "\",";
}

std::string Scanning(const std::string& dir)
{
    return "Scanning " + test::Join(dir, "*.vb");
}

// An archive holding one image member (and a text beside it).
std::string OneImageArchive(const std::string& member, const std::string& image, uint16_t method)
{
    test::ZipWriter zip;
    zip.Add(member, image, method);
    zip.Add("readme.txt", "How to play.\n", method);
    return zip.Bytes();
}

class ZipArchives : public ::testing::Test {
protected:
    void SetUp() override
    {
        // An empty group information file keeps the reader quiet.
        test::WriteFile(test::Join(s.program, "QuorInfo.cfg"), "[VBoy]\n");
    }

    std::string Path(const std::string& relative) { return test::Join(s.collection, relative); }
    std::string Renamed(const std::string& name) { return Path(test::Join("VBoyRen", name)); }

    // Runs the program, checks the exit status and the lines up to the walk,
    // and returns the lines after "Scanning ./*.vb".
    std::vector<std::string> Run(const std::vector<std::string>& args)
    {
        result = test::RunQuor(s, args);
        EXPECT_EQ(result.status, 0);
        std::vector<std::string> lines = Lines(result.out);
        auto walk = std::find(lines.begin(), lines.end(), Scanning("."));
        if (walk == lines.end()) {
            ADD_FAILURE() << "no walk in standard output:\n" << result.out;
            return lines;
        }
        return std::vector<std::string>(walk + 1, lines.end());
    }

    std::vector<std::string> ZipLogLines() { return Lines(test::ReadFile(Path("Quor_ZIP.txt"))); }

    test::Scratch s;
    test::RunResult result;
};

const uint16_t Methods[] = {test::ZipStored, test::ZipDeflated};

TEST_F(ZipArchives, ScanListsTheImageUnderTheArchivesName)
{
    for (uint16_t method : Methods) {
        SCOPED_TRACE(method);
        fs::remove(Path("VAvuDevo.zid"));
        std::string unknown = test::MakeImage(8192, 201 + method);
        uint32_t tetris = test::CatalogueCrcOf("3D Tetris (U)");
        std::string golfDisk = OneImageArchive("disk1.vb", unknown, method);
        std::string tetrisZip = OneImageArchive("T.VB", test::MakeImageWithCrc(8192, tetris), method);
        test::WriteFile(Path("Golf Disk v1.0 (U).zip"), golfDisk);
        test::WriteFile(Path("TETRIS.ZIP"), tetrisZip);

        std::vector<std::string> walk = Run({"scan"});
        EXPECT_EQ(walk, std::vector<std::string>()) << result.out;
        std::vector<std::string> listing = Lines(test::ReadFile(Path("VAvuDevo.zid")));
        std::sort(listing.begin(), listing.end());
        std::vector<std::string> expected = {Listed(test::Crc(unknown), "Golf Disk v1.0 (U)"), Listed(tetris, "TETRIS")};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(listing, expected);
        EXPECT_TRUE(test::ReadFile(Path("Golf Disk v1.0 (U).zip")) == golfDisk);
        EXPECT_TRUE(test::ReadFile(Path("TETRIS.ZIP")) == tetrisZip);
        EXPECT_FALSE(test::FileExists(Path("Quor_ZIP.txt")));
    }
}

TEST_F(ZipArchives, RenameMovesTheWholeArchiveUnderTheCatalogueName)
{
    for (uint16_t method : Methods) {
        SCOPED_TRACE(method);
        fs::remove_all(Path("VBoyRen"));
        std::string bytes =
            OneImageArchive("tetris.vb", test::MakeImageWithCrc(8192, test::CatalogueCrcOf("3D Tetris (U)")), method);
        test::WriteFile(Path("tetris.ZIP"), bytes);

        std::vector<std::string> walk = Run({"rename", "changes"});
        EXPECT_TRUE(HasBlock(walk, {"N: \"3D Tetris (U)\"  O: \"tetris\""})) << result.out;
        EXPECT_TRUE(HasBlock(walk, {"You have 1 of 37 known Nintendo Virtual Boy ROMS"})) << result.out;
        EXPECT_EQ(CountStarting(walk, "Error"), 0u) << result.out;
        EXPECT_FALSE(test::FileExists(Path("tetris.ZIP")));
        EXPECT_TRUE(test::ReadFile(Renamed("3D Tetris (U).zip")) == bytes);
        EXPECT_EQ(Lines(test::ReadFile(Path("VBoyLog.txt"))),
                  std::vector<std::string>{"N: \"3D Tetris (U)\"  O: \"tetris\""});
        fs::remove(Path("VBoyLog.txt"));
        fs::remove(test::Join(s.program, "QuorVBoy.db"));
        fs::remove(Path("VBoyHave.txt"));
    }
}

TEST_F(ZipArchives, MoveKeepsTheArchivesName)
{
    for (uint16_t method : Methods) {
        SCOPED_TRACE(method);
        fs::remove_all(Path("VBoyRen"));
        std::string bytes = OneImageArchive("g.vb", test::MakeImageWithCrc(8192, test::CatalogueCrcOf("Golf (U)")), method);
        test::WriteFile(Path("my golf.Zip"), bytes);

        std::vector<std::string> walk = Run({"move"});
        EXPECT_TRUE(HasBlock(walk, {"You have 1 of 37 known Nintendo Virtual Boy ROMS"})) << result.out;
        EXPECT_FALSE(test::FileExists(Path("my golf.Zip")));
        EXPECT_TRUE(test::ReadFile(Renamed("my golf.Zip")) == bytes);
        fs::remove(test::Join(s.program, "QuorVBoy.db"));
        fs::remove(Path("VBoyHave.txt"));
    }
}

TEST_F(ZipArchives, ListCountsArchivesAndSkippedArchivesWithoutTouchingThem)
{
    uint32_t tetris = test::CatalogueCrcOf("3D Tetris (U)");
    uint32_t golf = test::CatalogueCrcOf("Golf (U)");
    uint32_t water = test::CatalogueCrcOf("Waterworld (U)");
    test::WriteFile(Path("tetris.zip"), OneImageArchive("t.vb", test::MakeImageWithCrc(8192, tetris), test::ZipDeflated));
    test::ZipWriter pair;
    pair.Add("golf.vb", test::MakeImageWithCrc(8192, golf), test::ZipDeflated);
    pair.Add("water.vb", test::MakeImageWithCrc(8192, water), test::ZipStored);
    pair.WriteTo(Path("pair.zip"));
    auto before = test::Snapshot(s.collection);

    std::vector<std::string> walk = Run({"list"});
    EXPECT_EQ(CountStarting(walk, "Multiple"), 0u) << result.out;
    EXPECT_TRUE(HasBlock(walk, {"You have 3 of 37 known Nintendo Virtual Boy ROMS"})) << result.out;
    std::vector<std::string> have = Lines(test::ReadFile(Path("VBoyHave.txt")));
    ASSERT_GE(have.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(have.begin() + 2, have.end()),
              (std::vector<std::string>{"3D Tetris (U)", "Golf (U)", "Waterworld (U)"}));
    auto after = test::Snapshot(s.collection);
    after.erase(std::remove_if(after.begin(), after.end(),
                               [](const auto& f) { return f.first == "VBoyHave.txt" || f.first == "VBoyMiss.txt"; }),
                after.end());
    EXPECT_EQ(after, before) << "list moves and changes nothing";

    // Renaming skips the archive of two images, with its line.
    walk = Run({"rename", "nodb"});
    EXPECT_TRUE(HasBlock(walk, {"Multiple ROMS found in pair.zip ... skipping"})) << result.out;
    EXPECT_TRUE(test::FileExists(Path("pair.zip")));
    EXPECT_TRUE(test::FileExists(Renamed("3D Tetris (U).zip")));
}

TEST_F(ZipArchives, DamagedArchivesAreReportedAndTheRunGoesOn)
{
    test::WriteFile(Path("empty.zip"), "");
    test::ZipWriter cut;
    cut.Add("a.vb", test::MakeImage(8192, 301));
    cut.keep = cut.Bytes().size() - 1;
    cut.WriteTo(Path("cut.zip"));
    test::ZipWriter method;
    method.Add("a.vb", test::MakeImage(8192, 302), test::ZipDeflated);
    method.Central(0).method = 12;
    method.WriteTo(Path("method.zip"));
    test::ZipWriter inflate;
    inflate.Add("a.vb", test::MakeImage(8192, 303), test::ZipDeflated).packed = std::string(100, '\xff');
    inflate.WriteTo(Path("inflate.zip"));
    std::string good =
        OneImageArchive("good.vb", test::MakeImageWithCrc(8192, test::CatalogueCrcOf("Red Alarm (U)")), test::ZipDeflated);
    test::WriteFile(Path("good.zip"), good);

    std::vector<std::string> walk = Run({"rename"});
    EXPECT_TRUE(HasBlock(walk, {"Error in zipfile empty.zip", Corrupt})) << result.out;
    EXPECT_TRUE(HasBlock(walk, {"Error in zipfile cut.zip", Corrupt})) << result.out;
    EXPECT_TRUE(HasBlock(walk, {"Error in zipfile method.zip", Unsupported, "Error reading method.zip ... skipping"}))
        << result.out;
    EXPECT_TRUE(HasBlock(walk, {"Error in zipfile inflate.zip", Corrupt, "Error reading inflate.zip ... skipping"}))
        << result.out;
    EXPECT_EQ(CountStarting(walk, "Error in zipfile"), 4u) << result.out;
    EXPECT_EQ(CountStarting(walk, "NO "), 0u) << "a refused archive gets only the reader's report";
    EXPECT_TRUE(HasBlock(walk, {"You have 1 of 37 known Nintendo Virtual Boy ROMS"})) << result.out;
    EXPECT_TRUE(test::ReadFile(Renamed("Red Alarm (U).zip")) == good);
    for (const char* damaged : {"empty.zip", "cut.zip", "method.zip", "inflate.zip"})
        EXPECT_TRUE(test::FileExists(Path(damaged))) << damaged;

    // One log line per archive; inflate's detail line only when the log was
    // already open, right before its report.
    std::vector<std::string> log = ZipLogLines();
    std::vector<std::string> reports;
    for (const std::string& line : log)
        if (line.compare(0, 17, "Error in zipfile ") == 0)
            reports.push_back(line);
    std::sort(reports.begin(), reports.end());
    EXPECT_EQ(reports, (std::vector<std::string>{
                           "Error in zipfile cut.zip: Reading ECD (end of central directory)",
                           "Error in zipfile empty.zip: Empty file",
                           "Error in zipfile inflate.zip: Inflating compressed data",
                           "Error in zipfile method.zip: Compression method unsupported",
                       }));
    const std::string inflateReport = "Error in zipfile inflate.zip: Inflating compressed data";
    bool inflateFirst = !log.empty() && log[0] == inflateReport;
    std::vector<std::string> expectedDetail;
    if (!inflateFirst)
        expectedDetail = {"inflate error: -3", inflateReport};
    else
        expectedDetail = {inflateReport};
    EXPECT_TRUE(HasBlock(log, expectedDetail)) << test::ReadFile(Path("Quor_ZIP.txt"));
    EXPECT_EQ(log.size(), inflateFirst ? 4u : 5u) << test::ReadFile(Path("Quor_ZIP.txt"));
}

TEST_F(ZipArchives, LogStaysInTheStartDirectoryAndGrowsAcrossRuns)
{
    test::WriteFile(Path(test::Join("Games", "bad.zip")), "");
    test::WriteFile(Path("worse.zip"), test::ZipWriter().Bytes());

    std::vector<std::string> walk = Run({"scand"});
    EXPECT_TRUE(HasBlock(walk, {Scanning(test::Join(".", "Games")), "Error in zipfile bad.zip", Corrupt}))
        << result.out;
    EXPECT_TRUE(HasBlock(walk, {"Error in zipfile worse.zip", Unsupported})) << result.out;
    EXPECT_FALSE(test::FileExists(Path(test::Join("Games", "Quor_ZIP.txt"))));
    std::vector<std::string> log = ZipLogLines();
    std::sort(log.begin(), log.end());
    EXPECT_EQ(log, (std::vector<std::string>{"Error in zipfile bad.zip: Empty file",
                                             "Error in zipfile worse.zip: Cannot span disks"}));

    Run({"scan"});
    log = ZipLogLines();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[2], "Error in zipfile worse.zip: Cannot span disks");
    EXPECT_FALSE(test::FileExists(Path("VAvuDevo.zid"))) << "nothing was listed";
}

}  // namespace
