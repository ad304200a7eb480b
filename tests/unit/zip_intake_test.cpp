// zip_intake_test.cpp - which archive member is taken, which archives are skipped, and what reaches identification
#include "support.h"
#include "zipwriter.h"

#include "catalogue/catalogue.h"
#include "identify/identify.h"
#include "intake/intake.h"
#include "rename/rename.h"
#include "run/imagebuffer.h"
#include "run/options.h"
#include "run/outputfile.h"

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

const std::string Corrupt = "Error in zipfile x.zip\nThe zipfile seems to be corrupt, please check it\n";
const std::string Unsupported =
    "Error in zipfile x.zip\nThe format of this zipfile is not supported, please recompress it\n";
const std::string ErrorReading = "Error reading x.zip ... skipping\n";
const std::string NoImages = "NO Nintendo Virtual Boy ROMS found in x.zip\n";
const std::string Multiple = "Multiple ROMS found in x.zip ... skipping\n";
const std::string Emulator = "I don't rename ROMS inside EMU distros ... skipping x.zip\n";
const std::string Size = "Unrecognized image size in x.zip\n";

// Images the catalogue does not know, and three it knows (entries 0, 3 and 36).
const std::string ImageA = test::MakeImage(8192, 101), ImageB = test::MakeImage(8192, 102);
const std::string Tetris = test::KnownImage("3D Tetris (U)", 103), Golf = test::KnownImage("Golf (U)", 104);
const std::string Water = test::KnownImage("Waterworld (U)", 105);

// An image of exactly size bytes that passes the format test and packs to almost nothing.
std::string PlainImage(uint32_t size)
{
    std::string image(size, '\0');
    image[size - 544] = 'V';
    image[size - 541] = 'E';
    return image;
}

// A member packed as Garbage fails whenever it is read.
const uint16_t D = test::ZipDeflated;
const std::string Garbage(64, '\xff');

class ZipIntake : public test::UnitTest {
protected:
    void SetUp() override
    {
        UnitTest::SetUp();
        ASSERT_EQ(AllocateImageBuffer(), 1);
    }
    // Hands the file to intake, as the walk would; gives what it printed.
    static std::string Intake(const std::string& name)
    {
        return test::Stdout([&] { EXPECT_EQ(IntakeFile(name.c_str(), (uint32_t)fs::file_size(name)), 1); });
    }
    // The scan listing written so far, closing it.
    static std::string Listing()
    {
        CloseScanListing();
        std::string text;
        for (const std::string& line : test::Lines(test::ReadText("VAvuDevo.zid")))
            text += line + "\n";
        return text;
    }
};

TEST_F(ZipIntake, WhichMemberIsTakenInEachMode)
{
    const std::string a = test::ListingLine(test::Crc(ImageA), "x") + "\n";
    enum { Scan, List, Rename };
    const struct {
        const char* title;
        int mode;
        std::vector<test::ZipMember> members;
        std::string out, listing = "";
        std::string counts = "0=1";  // entry 0 was had before each case
        std::function<void(test::ZipWriter&)> damage = nullptr;
        const char* archive = "x.zip";
        bool quiet = false;
    } cases[] = {
        {"image after a text", Scan, {{"readme.txt", "read me", D}, {"a.vb", ImageA, D}}, "", a},
        {"upper-case names", Scan, {{"README.TXT", "read me"}, {"A.VB", ImageA}}, "",
         test::ListingLine(test::Crc(ImageA), "GAME") + "\n", "0=1", nullptr, "GAME.ZIP"},
        {"archive name keeps its inner dots", Scan, {{"golf.vb", ImageA}}, "",
         test::ListingLine(test::Crc(ImageA), "Golf v1.1 (U)") + "\n", "0=1", nullptr, "Golf v1.1 (U).zip"},
        {"two images, quiet", Scan, {{"a.vb", ImageA}, {"B.Vb", ImageB}}, Multiple, "", "0=1", nullptr, "x.zip", true},
        {"an image beside an executable, quiet", Scan, {{"a.vb", ImageA}, {"EMU.EXE", "MZ"}}, Emulator + Multiple, "",
         "0=1", nullptr, "x.zip", true},
        {"an executable alone", Scan, {{"emu.exe", "MZ"}, {"readme.txt", "read me"}}, ""},
        {"a text alone", Scan, {{"readme.txt", "read me"}}, NoImages},
        {"a text alone, quiet", Scan, {{"readme.txt", "read me"}}, "", "", "0=1", nullptr, "x.zip", true},
        {"image names with other endings", Scan, {{"a.vb.bak", ImageA}, {"a.vbx", ImageB}}, NoImages},
        {"a known CRC under any name is taken unread", Scan, {{"readme.txt", "read me"}, {"game.bin", Tetris, D, Garbage}},
         "", test::ListingLine(0xbb71b522, "x") + "\n"},
        {"a known image is still read in a scan", Scan, {{"tetris.vb", Tetris, D, Garbage}}, Corrupt + ErrorReading},
        {"image fails the format test", Scan, {{"a.vb", test::MakeImage(8192, 105, false), D}},
         "NOT in Nintendo Virtual Boy Format --> x.zip\n"},
        {"image of an unsupported method", Scan, {{"a.vb", ImageA, D}}, Unsupported + ErrorReading, "", "0=1",
         [](test::ZipWriter& z) { z.Central(0).method = 12; }},
        {"largest image", Scan, {{"a.vb", PlainImage(2099200), D}}, "",
         test::ListingLine(test::Crc(PlainImage(2099200)), "x") + "\n"},
        {"image too small", Scan, {{"a.vb", PlainImage(8191)}}, Size},
        {"image too large is never inflated", Scan, {{"a.vb", ImageA, D, Garbage}}, Size, "", "0=1",
         [](test::ZipWriter& z) { z.Central(0).uncompressedSize = 2099201; }},
        {"archive the reader refuses", Scan, {}, Unsupported},
        {"damaged entry after the image", Scan, {{"a.vb", ImageA}, {"b.vb", ImageB}}, Corrupt, a, "0=1",
         [](test::ZipWriter& z) { z.Central(1).nameLength = 0x7fff; }},
        {"damaged entry before the image", Scan, {{"a.vb", ImageA}}, Corrupt + Corrupt + NoImages, "", "0=1",
         [](test::ZipWriter& z) { z.Central(0).nameLength = 0x7fff; }},
        // Skipped archives are marked had in list mode only, silently, and never counted twice.
        {"two known images", List, {{"t.vb", Tetris}, {"g.vb", Golf}}, "", "", "0=1 3=1"},
        {"known, unknown, corrupt known, text, known: nothing is read", List,
         {{"t.vb", Tetris}, {"a.vb", ImageA}, {"w.VB", Water, D, Garbage}, {"readme.txt", "read me"}, {"g.vb", Golf}}, "",
         "", "0=1 3=1 36=1"},
        {"a known image beside an executable", List, {{"emu.exe", "MZ"}, {"g.vb", Golf}}, "", "", "0=1 3=1"},
        {"a known executable is no image", List, {{"emu.exe", Golf}, {"a.vb", ImageA}}, ""},
        {"two known images", Rename, {{"t.vb", Tetris}, {"g.vb", Golf}}, Multiple},
        {"a known image beside an executable", Rename, {{"emu.exe", "MZ"}, {"g.vb", Golf}}, Emulator + Multiple},
        // Outside a scan a known member is never inflated, but counted (and moved whole).
        {"a known member", List, {{"readme.txt", "read me"}, {"tetris.vb", Tetris, D, Garbage}}, "", "", "0=2"},
        {"a known member", Rename, {{"readme.txt", "read me"}, {"tetris.vb", Tetris, D, Garbage}}, "", "", "0=2"},
        {"a read failure is not counted", Rename, {{"a.vb", ImageA, D, Garbage}}, Corrupt + ErrorReading},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.mode == Scan ? "scan: " : c.mode == List ? "list: " : "rename: ") + c.title);
        ResetRunOptions();
        ResetRename();
        fs::remove_all("VBoyRen");
        fs::remove("VAvuDevo.zid");
        CloseZipLog();
        fs::remove("Quor_ZIP.txt");
        OptScan = c.mode == Scan;
        OptList = c.mode == List;
        OptRename = c.mode != Scan;  // as a list run sets it
        OptQuiet = c.quiet;
        std::fill(CopyCounts, CopyCounts + KnownRomCount, 0);
        CopyCounts[0] = 1;
        test::ZipWriter zip;
        zip.members = c.members;
        if (c.damage)
            c.damage(zip);
        zip.WriteTo(c.archive);
        std::string before = test::ReadFile(c.archive);
        EXPECT_EQ(Intake(c.archive), c.out);
        EXPECT_EQ(Listing(), c.listing);
        std::string counts;
        for (int i = 0; i < KnownRomCount; i++)
            counts += CopyCounts[i] ? " " + std::to_string(i) + "=" + std::to_string(CopyCounts[i]) : "";
        EXPECT_EQ(counts, " " + c.counts);
        EXPECT_EQ(ImageBufferCapacity, ImageBufferInitialCapacity) << "no member needs a larger buffer";
        bool moved = c.mode == Rename && c.out.empty();
        EXPECT_TRUE(test::ReadFile(moved ? test::Join("VBoyRen", "3D Tetris (U).zip") : c.archive) == before);
        EXPECT_FALSE(test::FileExists("Quor_ZIP.txt") && c.out.empty()) << "a member was read";
    }
}

TEST_F(ZipIntake, EveryFileStartsWithoutTheLastArchivesCrc)
{
    OptScan = 1;
    test::ZipWriter known, other;
    known.Add("game.bin", Tetris);
    known.WriteTo("known.zip");
    other.Add("b.vb", ImageB, D);
    other.WriteTo("other.zip");
    test::WriteFile("loose.vb", ImageA);
    for (const char* name : {"known.zip", "loose.vb", "known.zip", "other.zip"})
        EXPECT_EQ(Intake(name), "");
    EXPECT_EQ(Listing(), test::ListingLine(0xbb71b522, "known") + "\n" + test::ListingLine(test::Crc(ImageA), "loose") +
                             "\n" + test::ListingLine(0xbb71b522, "known") + "\n" +
                             test::ListingLine(test::Crc(ImageB), "other") + "\n");
}

}  // namespace
