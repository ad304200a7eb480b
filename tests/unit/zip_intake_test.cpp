// zip_intake_test.cpp - which archive member is taken, which archives are skipped, and what reaches identification
#include "support.h"
#include "zipwriter.h"

#include "catalogue/catalogue.h"
#include "groupinfo/groupinfo.h"
#include "identify/identify.h"
#include "intake/intake.h"
#include "rename/rename.h"
#include "run/run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

const char* const CorruptReport = "Error in zipfile x.zip\nThe zipfile seems to be corrupt, please check it\n";
const char* const UnsupportedReport =
    "Error in zipfile x.zip\nThe format of this zipfile is not supported, please recompress it\n";

std::string ReadText(const std::string& path)
{
    std::string text = test::ReadFile(path);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

// One line of the scan listing.
std::string ListingLine(uint32_t crc, const std::string& name)
{
    char text[9];
    snprintf(text, sizeof text, "%08lx", (unsigned long)crc);
    return "\"" + std::string(text) + " " + name + "\",\n";
}

// Images the catalogue does not know, and two it knows.
const std::string& ImageA()
{
    static const std::string image = test::MakeImage(8192, 101);
    return image;
}
const std::string& ImageB()
{
    static const std::string image = test::MakeImage(8192, 102);
    return image;
}
uint32_t TetrisCrc() { return test::CatalogueCrcOf("3D Tetris (U)"); }
uint32_t GolfCrc() { return test::CatalogueCrcOf("Golf (U)"); }
const std::string& Tetris()
{
    static const std::string image = test::MakeImageWithCrc(8192, TetrisCrc(), 103);
    return image;
}
const std::string& Golf()
{
    static const std::string image = test::MakeImageWithCrc(8192, GolfCrc(), 104);
    return image;
}
int Index(uint32_t crc) { return FindEntryByCrc(crc); }

// Bytes that are no deflate stream at all: any attempt to inflate them fails.
const std::string Garbage(64, '\xff');

// Adds a member whose directory describes data but whose stored bytes are
// garbage, so that reading it is bound to fail.
void AddCorrupt(test::ZipWriter& zip, const std::string& name, const std::string& data)
{
    zip.Add(name, data, test::ZipDeflated).packed = Garbage;
}

// An image of exactly size bytes that passes the format test and packs to
// almost nothing.
std::string PlainImage(uint32_t size)
{
    std::string image(size, '\0');
    image[size - 544] = 'V';
    image[size - 541] = 'E';
    return image;
}

// Every intake test runs in a fresh collection folder that is the current
// and the start directory, with the catalogue prepared and nothing had.
class ZipIntake : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetRunOptions();
        ResetCatalogue();
        for (int i = 0; i < KnownRomCount; i++)
            CatalogueCrcs[i] = (uint32_t)strtoul(std::string(KnownRomTable[i], 8).c_str(), nullptr, 16);
        ResetRename();
        ResetGroupTable();
        ResetOutputFileReports();
        CloseZipLog();
        CloseScanListing();
        CloseChangesLog();
        savedDirectory = fs::current_path();
        fs::current_path(scratch.collection);
        StartDirectory = scratch.collection;
        ProgramDirectory = scratch.program + test::Sep();
        ASSERT_EQ(AllocateImageBuffer(), 1);
        ASSERT_EQ(Index(test::Crc(ImageA())), -1);
        ASSERT_EQ(Index(test::Crc(ImageB())), -1);
    }

    void TearDown() override
    {
        CloseScanListing();
        CloseZipLog();
        CloseChangesLog();
        FreeImageBuffer();
        fs::current_path(savedDirectory);
        StartDirectory.clear();
        ProgramDirectory.clear();
        ResetRunOptions();
        ResetCatalogue();
        ResetRename();
    }

    // Hands the file in the current directory to intake, as the walk would,
    // and gives what it printed on standard output.
    static std::string Intake(const std::string& name)
    {
        uint32_t size = (uint32_t)fs::file_size(name);
        testing::internal::CaptureStdout();
        EXPECT_EQ(IntakeFile(name.c_str(), size), 1);
        return testing::internal::GetCapturedStdout();
    }

    // The scan listing written so far (closing it).
    static std::string Listing()
    {
        CloseScanListing();
        return test::FileExists("VAvuDevo.zid") ? ReadText("VAvuDevo.zid") : "";
    }

    static void ListMode()
    {
        OptList = 1;
        OptRename = 1;  // as the run sets it for list
    }

    static std::vector<int> Had()
    {
        std::vector<int> had;
        for (int i = 0; i < KnownRomCount; i++)
            if (CopyCounts[i] != 0)
                had.push_back(i);
        return had;
    }

    test::Scratch scratch;
    fs::path savedDirectory;
};

// --- which member a scan takes -------------------------------------------------------

struct Choice {
    const char* title;
    const char* archive;
    bool quiet;
    std::function<test::ZipWriter()> make;
    std::function<std::string()> out;      // standard output
    std::function<std::string()> listing;  // the scan listing
};

const Choice Choices[] = {
    {"OneStoredImage", "x.zip", false,
     [] {
         test::ZipWriter z;
         z.Add("a.vb", ImageA());
         return z;
     },
     [] { return std::string(); }, [] { return ListingLine(test::Crc(ImageA()), "x"); }},
    {"OneDeflatedImage", "x.zip", false,
     [] {
         test::ZipWriter z;
         z.Add("a.vb", ImageA(), test::ZipDeflated);
         return z;
     },
     [] { return std::string(); }, [] { return ListingLine(test::Crc(ImageA()), "x"); }},
    {"ImageBeforeReadme", "x.zip", false,
     [] {
         test::ZipWriter z;
         z.Add("a.vb", ImageA(), test::ZipDeflated);
         z.Add("readme.txt", "read me", test::ZipDeflated);
         return z;
     },
     [] { return std::string(); }, [] { return ListingLine(test::Crc(ImageA()), "x"); }},
    {"ReadmeBeforeImage", "x.zip", false,
     [] {
         test::ZipWriter z;
         z.Add("readme.txt", "read me", test::ZipDeflated);
         z.Add("a.vb", ImageA(), test::ZipDeflated);
         return z;
     },
     [] { return std::string(); }, [] { return ListingLine(test::Crc(ImageA()), "x"); }},
    {"UpperCaseNames", "GAME.ZIP", false,
     [] {
         test::ZipWriter z;
         z.Add("README.TXT", "read me");
         z.Add("A.VB", ImageA(), test::ZipDeflated);
         return z;
     },
     [] { return std::string(); }, [] { return ListingLine(test::Crc(ImageA()), "GAME"); }},
    {"ArchiveNameKeepsItsInnerDots", "Golf v1.1 (U).zip", false,
     [] {
         test::ZipWriter z;
         z.Add("golf.vb", ImageA());
         return z;
     },
     [] { return std::string(); }, [] { return ListingLine(test::Crc(ImageA()), "Golf v1.1 (U)"); }},
    {"TwoImages", "x.zip", false,
     [] {
         test::ZipWriter z;
         z.Add("a.vb", ImageA());
         z.Add("b.vb", ImageB());
         return z;
     },
     [] { return std::string("Multiple ROMS found in x.zip ... skipping\n"); }, [] { return std::string(); }},
    {"TwoImagesQuiet", "x.zip", true,
     [] {
         test::ZipWriter z;
         z.Add("a.vb", ImageA());
         z.Add("B.Vb", ImageB());
         return z;
     },
     [] { return std::string("Multiple ROMS found in x.zip ... skipping\n"); }, [] { return std::string(); }},
    {"ExecutableAndImage", "x.zip", false,
     [] {
         test::ZipWriter z;
         z.Add("emu.exe", "MZ");
         z.Add("a.vb", ImageA());
         return z;
     },
     [] {
         return std::string("I don't rename ROMS inside EMU distros ... skipping x.zip\n"
                            "Multiple ROMS found in x.zip ... skipping\n");
     },
     [] { return std::string(); }},
    {"ImageAndUpperCaseExecutableQuiet", "x.zip", true,
     [] {
         test::ZipWriter z;
         z.Add("a.vb", ImageA());
         z.Add("EMU.EXE", "MZ");
         return z;
     },
     [] {
         return std::string("I don't rename ROMS inside EMU distros ... skipping x.zip\n"
                            "Multiple ROMS found in x.zip ... skipping\n");
     },
     [] { return std::string(); }},
    {"ExecutableAlone", "x.zip", false,
     [] {
         test::ZipWriter z;
         z.Add("emu.exe", "MZ");
         z.Add("readme.txt", "read me");
         return z;
     },
     [] { return std::string(); }, [] { return std::string(); }},
    {"ReadmeAlone", "x.zip", false,
     [] {
         test::ZipWriter z;
         z.Add("readme.txt", "read me");
         return z;
     },
     [] { return std::string("NO Nintendo Virtual Boy ROMS found in x.zip\n"); }, [] { return std::string(); }},
    {"ReadmeAloneQuiet", "x.zip", true,
     [] {
         test::ZipWriter z;
         z.Add("readme.txt", "read me");
         return z;
     },
     [] { return std::string(); }, [] { return std::string(); }},
    {"ImageNameWithAnotherEnding", "x.zip", false,
     [] {
         test::ZipWriter z;
         z.Add("a.vb.bak", ImageA());
         z.Add("a.vbx", ImageB());
         return z;
     },
     [] { return std::string("NO Nintendo Virtual Boy ROMS found in x.zip\n"); }, [] { return std::string(); }},
    {"KnownCrcUnderAnyName", "x.zip", false,
     [] {
         test::ZipWriter z;
         z.Add("readme.txt", "read me");
         AddCorrupt(z, "game.bin", Tetris());  // never read, even in a scan
         return z;
     },
     [] { return std::string(); }, [] { return ListingLine(TetrisCrc(), "x"); }},
    {"KnownCrcBeforeReadme", "x.zip", false,
     [] {
         test::ZipWriter z;
         AddCorrupt(z, "game.bin", Tetris());
         z.Add("readme.txt", "read me");
         return z;
     },
     [] { return std::string(); }, [] { return ListingLine(TetrisCrc(), "x"); }},
    {"KnownCrcImageIsReadInAScan", "x.zip", false,
     [] {
         test::ZipWriter z;
         AddCorrupt(z, "tetris.vb", Tetris());
         return z;
     },
     [] { return std::string(CorruptReport) + "Error reading x.zip ... skipping\n"; },
     [] { return std::string(); }},
    {"ImageFailsTheFormatTest", "x.zip", false,
     [] {
         test::ZipWriter z;
         z.Add("a.vb", test::MakeImage(8192, 105, false), test::ZipDeflated);
         return z;
     },
     [] { return std::string("NOT in Nintendo Virtual Boy Format --> x.zip\n"); }, [] { return std::string(); }},
    {"ImageOfUnsupportedMethod", "x.zip", false,
     [] {
         test::ZipWriter z;
         z.Add("a.vb", ImageA(), test::ZipDeflated);
         z.Central(0).method = 12;
         return z;
     },
     [] { return std::string(UnsupportedReport) + "Error reading x.zip ... skipping\n"; },
     [] { return std::string(); }},
    {"SmallestImage", "x.zip", false,
     [] {
         test::ZipWriter z;
         z.Add("a.vb", PlainImage(8192), test::ZipDeflated);
         return z;
     },
     [] { return std::string(); }, [] { return ListingLine(test::Crc(PlainImage(8192)), "x"); }},
    {"LargestImage", "x.zip", false,
     [] {
         test::ZipWriter z;
         z.Add("a.vb", PlainImage(2099200), test::ZipDeflated);
         return z;
     },
     [] { return std::string(); }, [] { return ListingLine(test::Crc(PlainImage(2099200)), "x"); }},
    {"ImageTooSmall", "x.zip", false,
     [] {
         test::ZipWriter z;
         z.Add("a.vb", PlainImage(8191), test::ZipStored);
         return z;
     },
     [] { return std::string("Unrecognized image size in x.zip\n"); }, [] { return std::string(); }},
    {"ImageTooLargeIsNeverInflated", "x.zip", false,
     [] {
         test::ZipWriter z;
         AddCorrupt(z, "a.vb", ImageA());
         z.Central(0).uncompressedSize = 2099201;
         return z;
     },
     [] { return std::string("Unrecognized image size in x.zip\n"); }, [] { return std::string(); }},
    {"ImageClaimingFourGigabytesIsNeverInflated", "x.zip", false,
     [] {
         test::ZipWriter z;
         AddCorrupt(z, "a.vb", ImageA());
         z.Central(0).uncompressedSize = 0xffffffff;
         return z;
     },
     [] { return std::string("Unrecognized image size in x.zip\n"); }, [] { return std::string(); }},
    {"ArchiveTheReaderRefuses", "x.zip", false, [] { return test::ZipWriter(); },
     [] {
         return std::string(
             "Error in zipfile x.zip\nThe format of this zipfile is not supported, please recompress it\n");
     },
     [] { return std::string(); }},
    {"DamagedEntryAfterTheImage", "x.zip", false,
     [] {
         test::ZipWriter z;
         z.Add("a.vb", ImageA());
         z.Add("b.vb", ImageB());
         z.Central(1).nameLength = 0x7fff;
         return z;
     },
     [] { return std::string(CorruptReport); }, [] { return ListingLine(test::Crc(ImageA()), "x"); }},
    {"DamagedEntryBeforeTheImage", "x.zip", false,
     [] {
         test::ZipWriter z;
         z.Add("a.vb", ImageA());
         z.Central(0).nameLength = 0x7fff;
         return z;
     },
     [] {
         return std::string(CorruptReport) + CorruptReport + "NO Nintendo Virtual Boy ROMS found in x.zip\n";
     },
     [] { return std::string(); }},
};

void PrintTo(const Choice& c, std::ostream* os)
{
    *os << c.title;
}

class ZipIntakeChoice : public ZipIntake, public ::testing::WithParamInterface<Choice> {};

TEST_P(ZipIntakeChoice, InScanMode)
{
    const Choice& c = GetParam();
    OptScan = 1;
    OptQuiet = c.quiet ? 1 : 0;
    test::ZipWriter zip = c.make();
    zip.WriteTo(c.archive);
    std::string before = test::ReadFile(c.archive);

    EXPECT_EQ(Intake(c.archive), c.out());
    EXPECT_EQ(Listing(), c.listing());
    EXPECT_EQ(ImageBufferCapacity, ImageBufferInitialCapacity) << "no member needs a larger buffer";
    EXPECT_TRUE(test::ReadFile(c.archive) == before) << "a scan leaves the archive alone";
    EXPECT_EQ(Had(), std::vector<int>()) << "a scan counts nothing";
}

INSTANTIATE_TEST_SUITE_P(Table, ZipIntakeChoice, ::testing::ValuesIn(Choices),
                         [](const ::testing::TestParamInfo<Choice>& p) { return std::string(p.param.title); });

// --- known members outside a scan ------------------------------------------------------

TEST_F(ZipIntake, KnownMemberIsNeverInflatedOutsideAScan)
{
    // The member's bytes cannot be inflated: any attempt would be reported.
    test::ZipWriter zip;
    zip.Add("readme.txt", "read me");
    AddCorrupt(zip, "tetris.vb", Tetris());
    zip.WriteTo("tetris.zip");

    ListMode();
    CopyCounts[Index(TetrisCrc())] = 1;  // had before: identification adds one
    EXPECT_EQ(Intake("tetris.zip"), "");
    EXPECT_EQ(CopyCounts[Index(TetrisCrc())], 2);
    EXPECT_TRUE(test::FileExists("tetris.zip"));
    EXPECT_FALSE(test::DirExists("VBoyRen"));

    ResetRunOptions();
    ResetRename();
    OptRename = 1;
    EXPECT_EQ(Intake("tetris.zip"), "");
    EXPECT_FALSE(test::FileExists("tetris.zip"));
    EXPECT_TRUE(test::FileExists(test::Join("VBoyRen", "3D Tetris (U).zip")));
    EXPECT_EQ(CopyCounts[Index(TetrisCrc())], 3);
    EXPECT_FALSE(test::FileExists("Quor_ZIP.txt"));
}

TEST_F(ZipIntake, RenameMovesTheWholeArchiveUnderTheCatalogueName)
{
    for (uint16_t method : {test::ZipStored, test::ZipDeflated}) {
        SCOPED_TRACE(method);
        fs::remove_all("VBoyRen");
        ResetRename();
        test::ZipWriter zip;
        zip.Add("TETRIS.VB", Tetris(), method);
        zip.Add("info.txt", "about it", method);
        zip.WriteTo("Tetris.ZIP");
        std::string bytes = test::ReadFile("Tetris.ZIP");
        OptRename = 1;
        EXPECT_EQ(Intake("Tetris.ZIP"), "");
        EXPECT_FALSE(test::FileExists("Tetris.ZIP"));
        EXPECT_TRUE(test::ReadFile(test::Join("VBoyRen", "3D Tetris (U).zip")) == bytes);
    }
}

TEST_F(ZipIntake, SkippedArchivesAreMarkedHadInListModeOnly)
{
    struct Case {
        const char* what;
        std::function<test::ZipWriter()> make;
        std::vector<uint32_t> had;
    };
    const Case cases[] = {
        {"two known images",
         [] {
             test::ZipWriter z;
             z.Add("t.vb", Tetris());
             z.Add("g.vb", Golf());
             return z;
         },
         {TetrisCrc(), GolfCrc()}},
        {"known, unknown, known, corrupt known; nothing is read",
         [] {
             test::ZipWriter z;
             z.Add("t.vb", Tetris());
             z.Add("a.vb", ImageA());
             AddCorrupt(z, "w.VB", test::MakeImageWithCrc(8192, test::CatalogueCrcOf("Waterworld (U)")));
             z.Add("readme.txt", "read me");
             z.Add("g.vb", Golf());
             return z;
         },
         {TetrisCrc(), test::CatalogueCrcOf("Waterworld (U)"), GolfCrc()}},
        {"known image beside an executable",
         [] {
             test::ZipWriter z;
             z.Add("emu.exe", "MZ");
             z.Add("g.vb", Golf());
             return z;
         },
         {GolfCrc()}},
        {"known executable is no image",
         [] {
             test::ZipWriter z;
             z.Add("emu.exe", Golf());
             z.Add("a.vb", ImageA());
             return z;
         },
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::ZipWriter zip = c.make();
        zip.WriteTo("x.zip");
        std::vector<int> expected;
        for (uint32_t crc : c.had)
            expected.push_back(Index(crc));
        std::sort(expected.begin(), expected.end());

        // List mode: marked, silently, and not counted twice.
        ResetRunOptions();
        ListMode();
        std::fill(CopyCounts, CopyCounts + KnownRomCount, 0);
        if (!c.had.empty())
            CopyCounts[Index(c.had[0])] = 1;
        EXPECT_EQ(Intake("x.zip"), "");
        EXPECT_EQ(Had(), expected);
        for (int i : expected)
            EXPECT_EQ(CopyCounts[i], 1) << EntryName(i);

        // Rename mode: skipped with its lines, nothing counted or moved.
        ResetRunOptions();
        OptRename = 1;
        std::fill(CopyCounts, CopyCounts + KnownRomCount, 0);
        EXPECT_NE(Intake("x.zip"), "");
        EXPECT_EQ(Had(), std::vector<int>());
        EXPECT_TRUE(test::FileExists("x.zip"));
    }
    EXPECT_FALSE(test::DirExists("VBoyRen"));
}

TEST_F(ZipIntake, ReadFailureOutsideAScanIsNotCounted)
{
    test::ZipWriter zip;
    AddCorrupt(zip, "a.vb", ImageA());
    zip.WriteTo("x.zip");
    ListMode();
    EXPECT_EQ(Intake("x.zip"), std::string(CorruptReport) + "Error reading x.zip ... skipping\n");
    EXPECT_EQ(Had(), std::vector<int>());
}

// --- loose files beside archives -------------------------------------------------------

TEST_F(ZipIntake, LooseFilesAreTakenByTheirExtensionInAnyCase)
{
    OptScan = 1;
    test::WriteFile("game.VB", ImageA());
    test::WriteFile("game.vb.bak", ImageB());
    test::WriteFile("game.zip.txt", ImageB());
    EXPECT_EQ(Intake("game.VB"), "");
    EXPECT_EQ(Intake("game.vb.bak"), "");
    EXPECT_EQ(Intake("game.zip.txt"), "");
    EXPECT_EQ(Listing(), ListingLine(test::Crc(ImageA()), "game"));
}

TEST_F(ZipIntake, EveryFileStartsWithoutTheLastArchivesCrc)
{
    OptScan = 1;
    test::ZipWriter zip;
    zip.Add("game.bin", Tetris());
    zip.WriteTo("known.zip");
    test::WriteFile("loose.vb", ImageA());
    test::ZipWriter other;
    other.Add("b.vb", ImageB(), test::ZipDeflated);
    other.WriteTo("other.zip");

    EXPECT_EQ(Intake("known.zip"), "");
    EXPECT_EQ(Intake("loose.vb"), "");
    EXPECT_EQ(Intake("known.zip"), "");
    EXPECT_EQ(Intake("other.zip"), "");
    EXPECT_EQ(Listing(), ListingLine(TetrisCrc(), "known") + ListingLine(test::Crc(ImageA()), "loose") +
                             ListingLine(TetrisCrc(), "known") + ListingLine(test::Crc(ImageB()), "other"));
}

TEST(HasExtension, ComparesTheEndInEitherCase)
{
    struct Case {
        const char* name;
        const char* list;
        bool ends;
    };
    const Case cases[] = {
        {"GAME.ZIP", ".zip", true},   {"game.zip", ".zip", true},   {"game.VB", ".vb", true},
        {"game.vb.bak", ".vb", false}, {"vb", ".vb", false},         {".vb", ".vb", true},
        {"b", ".vb", false},          {"", ".vb", false},           {"setup.Exe", ".zip.exe", true},
        {"game.zip", ".exe.zip", true}, {"game.ZIPX", ".zip", false}, {"gamezip", ".zip", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HasExtension(c.name, c.list), c.ends) << c.name << " / " << c.list;
}

}  // namespace
