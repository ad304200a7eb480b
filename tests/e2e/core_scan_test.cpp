// core_scan_test.cpp - scan listings and the walk of real folders, run end to end
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const char* const ListingName = "VAvuDevo.zid";

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> Sorted(std::vector<std::string> lines)
{
    std::sort(lines.begin(), lines.end());
    return lines;
}

// A scan listing line: the CRC text and the listed name, quoted, and a comma.
std::string Listed(uint32_t crc, const std::string& name)
{
    char text[9];
    snprintf(text, sizeof text, "%08x", crc);
    return "\"" + std::string(text) + " " + name + "\",";
}

std::string ScanningLine(const std::string& dir)
{
    return "Scanning " + test::Join(dir, "*.vb");
}

std::string SkippingLine(const std::string& dir)
{
    return "Skipping " + dir + " (noscan file found)";
}

class CoreScan : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A group information file with nothing in it keeps the reader quiet.
        test::WriteFile(test::Join(s.program, "QuorInfo.cfg"), "[VBoy]\n");
    }

    // Writes an image of size bytes whose CRC-32 is crc at the relative path.
    void Image(const std::string& path, uint32_t crc, uint32_t size = 8192)
    {
        test::WriteFile(Path(path), test::MakeImageWithCrc(size, crc, crc ^ size));
    }

    std::string Path(const std::string& relative) { return test::Join(s.collection, relative); }

    // Runs the program and checks what every run shares: exit status 0 and
    // the lines before the walk. Returns the lines after "Scanning ./*.vb".
    std::vector<std::string> Run(const std::vector<std::string>& args)
    {
        result = test::RunQuor(s, args);
        EXPECT_EQ(result.status, 0);
        std::vector<std::string> lines = Lines(result.out);
        const std::vector<std::string> head = {"", "Stats: 37 entries, 0 redumps, 0 hacks/trainers, 3 bad/overdumps",
                                               ScanningLine(".")};
        if (lines.size() < head.size() || !std::equal(head.begin(), head.end(), lines.begin())) {
            ADD_FAILURE() << "unexpected start of standard output:\n" << result.out;
            return lines;
        }
        return std::vector<std::string>(lines.begin() + (long)head.size(), lines.end());
    }

    std::vector<std::string> Listing() { return Lines(test::ReadFile(Path(ListingName))); }

    test::Scratch s;
    test::RunResult result;
};

const uint32_t JackBros = 0x81af4d6d;   // "Jack Bros (U)"
const uint32_t Golf = 0x2199af41;       // "Golf (U)"
const uint32_t Teleroboxer = 0x36103000; // "Teleroboxer (JU)"
const uint32_t Unknown1 = 0x0000abcd;   // leading zero digits
const uint32_t Unknown2 = 0xfeedf00d;

TEST_F(CoreScan, ScanListsEveryLooseImageOfTheStartDirectory)
{
    Image("Jack Bros (U).vb", JackBros);
    Image("mystery.vb", Unknown1, 16384);
    Image("a.b.VB", Unknown2);
    Image(".vb", Golf);             // a hidden file is taken like any other
    Image(".secret.Vb", Teleroboxer);
    Image("notes.txt", Unknown2);   // not an image name
    Image("game.vbx", Unknown2);
    Image("game.vb.txt", Unknown2);
    Image("sub/inside.vb", Golf);   // subfolders only with the "d" forms

    EXPECT_EQ(Run({"scan"}), std::vector<std::string>{});
    EXPECT_EQ(Sorted(Listing()), Sorted({Listed(JackBros, "Jack Bros (U)"), Listed(Unknown1, "mystery"),
                                         Listed(Unknown2, "a.b"), Listed(Golf, ".vb"),
                                         Listed(Teleroboxer, ".secret")}));
    EXPECT_EQ(result.err.find("Cannot"), std::string::npos) << result.err;
    EXPECT_FALSE(test::FileExists(Path("sub/VAvuDevo.zid")));
}

TEST_F(CoreScan, ScanNewLeavesOutKnownImagesUnlessDeep)
{
    Image("known.vb", JackBros);
    Image("unknown.vb", Unknown2);
    const std::string known = Listed(JackBros, "known");
    const std::string unknown = Listed(Unknown2, "unknown");
    struct {
        std::vector<std::string> args;
        std::vector<std::string> listing;
    } cases[] = {
        {{"scannew"}, {unknown}},
        {{"scannew", "deep"}, {known, unknown}},
        {{"deep", "SCANNEW"}, {known, unknown}},
        {{"scan"}, {known, unknown}},
        {{"scan", "deep"}, {known, unknown}},
        {{"scan", "scannew"}, {unknown}},
    };
    for (const auto& c : cases) {
        fs::remove(Path(ListingName));
        EXPECT_EQ(Run(c.args), std::vector<std::string>{});
        EXPECT_EQ(Sorted(Listing()), Sorted(c.listing)) << c.args[0];
    }
}

TEST_F(CoreScan, ListingIsAppendedAndOnlyCreatedWhenALineIsDue)
{
    Image("known.vb", JackBros);
    EXPECT_EQ(Run({"scannew"}), std::vector<std::string>{});
    EXPECT_FALSE(test::FileExists(Path(ListingName)));

    test::WriteFile(Path(ListingName), "\"00000000 earlier run\",\n");
    EXPECT_EQ(Run({"scan"}), std::vector<std::string>{});
    EXPECT_EQ(Listing(), (std::vector<std::string>{"\"00000000 earlier run\",", Listed(JackBros, "known")}));
}

TEST_F(CoreScan, SizeLimitsAndFormatTest)
{
    struct {
        const char* name;
        uint32_t size;
        bool mark;
        bool listed;
    } files[] = {
        {"s8191.vb", 8191, true, false},       {"s8192.vb", 8192, true, true},
        {"s2099200.vb", 2099200, true, true},  {"s2099201.vb", 2099201, true, false},
        {"s4194304.vb", 4194304, true, false}, {"empty.vb", 0, true, false},
        {"plain.vb", 8192, false, false},      {"plain8191.vb", 8191, false, false},
    };
    std::vector<std::string> listing;
    for (const auto& f : files) {
        std::string bytes = test::MakeImage(f.size, f.size, f.mark);
        if (f.size >= 8)
            test::ForgeCrc(bytes, Unknown2 ^ f.size, 0);
        test::WriteFile(Path(f.name), bytes);
        if (f.listed)
            listing.push_back(Listed(Unknown2 ^ f.size, fs::path(f.name).stem().string()));
    }
    // The size test comes before the format test.
    EXPECT_EQ(Sorted(Run({"scan"})),
              Sorted({"Unrecognized image size in s8191.vb", "Unrecognized image size in s2099201.vb",
                      "Unrecognized image size in s4194304.vb", "Unrecognized image size in empty.vb",
                      "Unrecognized image size in plain8191.vb",
                      "NOT in Nintendo Virtual Boy Format --> plain.vb"}));
    EXPECT_EQ(Sorted(Listing()), Sorted(listing));
}

TEST_F(CoreScan, LengthOfFourGigabytesIsRefusedNotCutToItsLowBits)
{
    // 4 GiB + 8,192 bytes would pass as 8,192 by its low 32 bits.
    std::string path = Path("huge.vb");
    test::WriteFile(path, test::MakeImageWithCrc(8192, Golf));
    std::error_code ec;
    fs::resize_file(path, (uintmax_t(1) << 32) + 8192, ec);
    if (ec)
        GTEST_SKIP() << "this file system cannot hold a sparse file of 4 GiB: " << ec.message();
    EXPECT_EQ(Run({"scan"}), std::vector<std::string>{"Unrecognized image size in huge.vb"});
    EXPECT_FALSE(test::FileExists(Path(ListingName)));
}

TEST_F(CoreScan, SubfoldersAreWalkedOnlyByTheDForms)
{
    Image("top.vb", JackBros);
    Image("A/a.vb", Unknown1);
    Image("A/B/b.vb", Golf);
    const std::vector<std::string> walk = {ScanningLine(test::Join(".", "A")), ScanningLine(test::Join(".", "B"))};
    const std::vector<std::string> all = {Listed(JackBros, "top"), Listed(Unknown1, "a"), Listed(Golf, "b")};

    EXPECT_EQ(Run({"scand"}), walk);
    // The listing stays in the start directory, whatever folder the walk is in.
    EXPECT_EQ(Sorted(Listing()), Sorted(all));
    EXPECT_FALSE(test::FileExists(Path("A/VAvuDevo.zid")));
    EXPECT_FALSE(test::FileExists(Path("A/B/VAvuDevo.zid")));

    fs::remove(Path(ListingName));
    EXPECT_EQ(Run({"scannewd"}), walk);
    EXPECT_EQ(Listing(), std::vector<std::string>{Listed(Unknown1, "a")});

    fs::remove(Path(ListingName));
    EXPECT_EQ(Run({"scannewd", "deep", "quiet"}), walk);
    EXPECT_EQ(Sorted(Listing()), Sorted(all));

    fs::remove(Path(ListingName));
    EXPECT_EQ(Run({"scannew"}), std::vector<std::string>{});
    EXPECT_FALSE(test::FileExists(Path(ListingName)));
}

TEST_F(CoreScan, HiddenAndMarkedFoldersAreNotWalked)
{
    Image("top.vb", Unknown1);
    Image(".hidden/h.vb", Unknown2);
    Image("A/a.vb", Unknown2);
    test::WriteFile(Path("A/_noscan.Quor"), "");
    Image("B/b.vb", Unknown2);
    test::WriteFile(Path("B/_noscan.QuorVBoy"), "");
    Image("C/c.vb", Golf);
    // A marker in the start directory itself has no effect.
    test::WriteFile(Path("_noscan.Quor"), "");
    const std::string a = test::Join(".", "A"), b = test::Join(".", "B"), c = test::Join(".", "C");

    std::vector<std::string> walk = Run({"scand"});
    EXPECT_EQ(Sorted(walk), Sorted({ScanningLine(a), SkippingLine(a), ScanningLine(b), SkippingLine(b),
                                    ScanningLine(c)}));
    // Each "Skipping" line follows its own "Scanning" line.
    for (const std::string& dir : {a, b}) {
        auto at = std::find(walk.begin(), walk.end(), ScanningLine(dir));
        ASSERT_NE(at, walk.end());
        ASSERT_NE(at + 1, walk.end());
        EXPECT_EQ(*(at + 1), SkippingLine(dir));
    }
    EXPECT_EQ(Sorted(Listing()), Sorted({Listed(Unknown1, "top"), Listed(Golf, "c")}));

    // quiet keeps only the "Scanning" lines.
    fs::remove(Path(ListingName));
    EXPECT_EQ(Sorted(Run({"scand", "quiet"})), Sorted({ScanningLine(a), ScanningLine(b), ScanningLine(c)}));
    EXPECT_EQ(Sorted(Listing()), Sorted({Listed(Unknown1, "top"), Listed(Golf, "c")}));
}

TEST_F(CoreScan, LinksBackUpTheTreeEndTheWalk)
{
    Image("top.vb", Unknown1);
    Image("A/a.vb", Unknown2);
    std::error_code ec;
    fs::create_directory_symlink("..", Path("A/up"), ec);
    if (!ec)
        fs::create_directory_symlink(".", Path("A/self"), ec);
    if (!ec)
        fs::create_directory_symlink(s.collection, Path("A/root"), ec);
    if (ec)
        GTEST_SKIP() << "cannot create directory links here: " << ec.message();

    std::vector<std::string> walk = Run({"scand"});
    // Every folder comes up once; a link to a folder being walked is skipped
    // after its "Scanning" line, like a folder that cannot be entered.
    EXPECT_EQ(Sorted(walk), Sorted({ScanningLine(test::Join(".", "A")), ScanningLine(test::Join(".", "up")),
                                    ScanningLine(test::Join(".", "self")), ScanningLine(test::Join(".", "root"))}));
    EXPECT_EQ(Sorted(Listing()), Sorted({Listed(Unknown1, "top"), Listed(Unknown2, "a")}));
}

TEST_F(CoreScan, EmptyFoldersHandNothingOn)
{
    test::MakeDirs(Path("A/B"));
    EXPECT_EQ(Run({"scand"}), (std::vector<std::string>{ScanningLine(test::Join(".", "A")),
                                                        ScanningLine(test::Join(".", "B"))}));
    EXPECT_FALSE(test::FileExists(Path(ListingName)));
    EXPECT_EQ(Run({"scan"}), std::vector<std::string>{});
}

}  // namespace
