// groups_e2e_test.cpp - runs with a group information file: sorting into group folders, excluded groups, the CRC key and the audit
#include "catalogue/catalogue.h"
#include "support.h"
#include "zipwriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string Stats = "\nStats: 37 entries, 0 redumps, 0 hacks/trainers, 3 bad/overdumps\n";

std::string Native(std::string path)
{
    for (char& c : path)
        if (c == '/' || c == '\\')
            c = test::Sep()[0];
    return path;
}

std::string Scanning()
{
    return "Scanning ." + test::Sep() + "*.vb\n";
}

std::string Missing(int missing, int of = 37, int excluded = 0)
{
    std::string text = "You are missing " + std::to_string(missing) + " of " + std::to_string(of) +
                       " known Nintendo Virtual Boy ROMS";
    if (excluded != 0)
        text += " (" + std::to_string(excluded) + " excluded)";
    return text + "\n\n";
}

std::string Have(int had)
{
    return "You have " + std::to_string(had) + " of 37 known Nintendo Virtual Boy ROMS\n\n";
}

// The progress entries of the group folders, two to a console line.
std::string Creating(const std::vector<std::string>& dirs)
{
    std::string text;
    for (size_t i = 0; i < dirs.size(); i++) {
        std::string dir = Native(dirs[i]);
        if (dir.size() < 25)
            dir += std::string(25 - dir.size(), ' ');
        text += "Creating " + dir + "  " + (i % 2 == 1 ? "\n" : "");
    }
    if (dirs.size() % 2 == 1)
        text += "\n";
    return text;
}

std::string AfterBanner(const std::string& err)
{
    size_t first = err.find('\n');
    size_t second = first == std::string::npos ? first : err.find('\n', first + 1);
    EXPECT_EQ(err.rfind("QuorVBoy: ", 0), 0u) << err;
    return second == std::string::npos ? err : err.substr(second + 1);
}

std::string Image(const std::string& name, uint32_t seed = 1)
{
    return test::MakeImageWithCrc(8192, test::CatalogueCrcOf(name), seed);
}

std::map<std::string, int> ImageCounts(const std::vector<std::pair<std::string, std::string>>& snapshot)
{
    std::map<std::string, int> counts;
    for (const auto& file : snapshot)
        if (file.second.size() >= 8192)
            counts[file.second]++;
    return counts;
}

// The bytes of a have database of this build holding these CRCs.
std::string Database(std::initializer_list<uint32_t> crcs)
{
    std::string bytes = "QUOR";
    auto put = [&bytes](uint32_t v) {
        for (int k = 3; k >= 0; k--)
            bytes += (char)(v >> (8 * k));
    };
    put(19);
    for (uint32_t crc : crcs)
        put(crc);
    return bytes;
}

// The sample group information file the project ships.
std::string SampleConfig()
{
    return (fs::path(__FILE__).parent_path().parent_path().parent_path() / "config" / "QuorInfo.cfg").string();
}

class GroupsRun : public ::testing::Test {
protected:
    std::string At(const std::string& relative) const { return test::Join(s.collection, Native(relative)); }
    void Put(const std::string& relative, const std::string& bytes) const { test::WriteFile(At(relative), bytes); }
    void Config(const std::string& text) const { test::WriteFile(test::Join(s.program, "QuorInfo.cfg"), text); }
    std::string DatabasePath() const { return test::Join(s.program, "QuorVBoy.db"); }

    // Runs the program and checks that every image byte sequence that was in
    // the collection is still there exactly as often.
    test::RunResult Run(const std::vector<std::string>& args)
    {
        auto before = ImageCounts(test::Snapshot(s.collection));
        test::RunResult r = test::RunQuor(s, args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(ImageCounts(test::Snapshot(s.collection)), before) << "images lost or doubled by the run";
        return r;
    }

    std::set<std::string> Files() const
    {
        std::set<std::string> names;
        for (const auto& file : test::Snapshot(s.collection))
            names.insert(file.first);
        return names;
    }

    test::Scratch s;
};

TEST_F(GroupsRun, ShippedSampleSortsIntoNestedGroupFolders)
{
    ASSERT_TRUE(test::FileExists(SampleConfig())) << SampleConfig();
    Config(test::ReadFile(SampleConfig()));
    const std::map<std::string, std::string> images = {
        {"bomber bad.vb", "Panic Bomber (U) [b1]"}, {"clash.vb", "Mario Clash (JU) [a1]"},
        {"demo1.VB", "Reality Boy Demo 1 (PD)"},   {"pong.vb", "Virtual Pong (PD)"},
        {"tele.vb", "Teleroboxer (JU)"},           {"alarm.vb", "Red Alarm (J)"},
        {"golf.vb", "Golf (U)"},
    };
    for (const auto& image : images)
        Put(image.first, Image(image.second));

    test::RunResult r = Run({"rename", "dirs"});
    EXPECT_EQ(r.out, Stats + Scanning() +
                         Creating({"Variants/Bad Dumps/", "Variants/Alternates/", "Public Domain/Demos/",
                                   "Public Domain/Games/", "Japan-USA/", "Japan/", "USA/"}) +
                         Missing(28, 35, 2) + Have(7));
    EXPECT_EQ(AfterBanner(r.err), "");
    EXPECT_EQ(Files(), (std::set<std::string>{
                           "VBoyRen/Variants/Bad Dumps/Panic Bomber (U) [b1].vb",
                           "VBoyRen/Variants/Alternates/Mario Clash (JU) [a1].vb",
                           "VBoyRen/Public Domain/Demos/Reality Boy Demo 1 (PD).vb",
                           "VBoyRen/Public Domain/Games/Virtual Pong (PD).vb",
                           "VBoyRen/Japan-USA/Teleroboxer (JU).vb",
                           "VBoyRen/Japan/Red Alarm (J).vb",
                           "VBoyRen/USA/Golf (U).vb",
                           "VBoyHave.txt",
                           "VBoyMiss.txt",
                       }));
    for (const auto& image : images)
        EXPECT_EQ(ImageCounts(test::Snapshot(At("VBoyRen"))).count(Image(image.second)), 1u) << image.second;

    // The bad dumps still absent are excluded, not listed.
    std::string miss = test::ReadFile(At("VBoyMiss.txt"));
    EXPECT_EQ(miss.rfind(" " + Missing(28, 35, 2), 0), 0u);
    EXPECT_EQ(miss.find("Nester's Funky Bowling (U) [b"), std::string::npos);
    EXPECT_NE(miss.find("\nNester's Funky Bowling (U)\n"), std::string::npos);
}

TEST_F(GroupsRun, GroupExtensionsNestedFoldersAndArchives)
{
    Config("[VBoy]\n(J):Japan\\Puzzle;vbj\n(U):USA/Sports\n(JU):Japan\\Puzzle\n");
    Put("v.vb", Image("V Tetris (J)"));
    Put("golf.VB", Image("Golf (U)"));
    Put("tele.vb", Image("Teleroboxer (JU)"));
    Put("croach.vb", Image("Croach, The (PD)"));
    test::ZipWriter zip;
    zip.Add("inside.vb", Image("Red Alarm (J)"));
    const std::string archive = zip.Bytes();
    Put("alarm.zip", archive);

    test::RunResult r = Run({"rename", "dirs"});
    EXPECT_EQ(r.out, Stats + Scanning() + Creating({"Japan/Puzzle/", "USA/Sports/"}) + Missing(32) + Have(5));
    EXPECT_EQ(Files(), (std::set<std::string>{
                           "VBoyRen/Japan/Puzzle/V Tetris (J).vbj",
                           "VBoyRen/USA/Sports/Golf (U).vb",
                           "VBoyRen/Japan/Puzzle/Teleroboxer (JU).vb",
                           "VBoyRen/Japan/Puzzle/Red Alarm (J).zip",
                           "VBoyRen/Croach, The (PD).vb",
                           "VBoyHave.txt",
                           "VBoyMiss.txt",
                       }));
    EXPECT_EQ(test::ReadFile(At("VBoyRen/Japan/Puzzle/Red Alarm (J).zip")), archive);
}

TEST_F(GroupsRun, DuplicatesLeaveTheGroupBehind)
{
    Config("[VBoy]\n(J):Japan Games;vbj\n");
    const std::string occupant = test::MakeImage(8192, 40);
    Put("VBoyRen/Japan Games/V_Tetris_(J).vbj", occupant);
    const std::string image = Image("V Tetris (J)");
    Put("v tetris.VB", image);

    test::RunResult r = Run({"rename", "dirs", "sep_"});
    EXPECT_EQ(r.out, Stats + Scanning() + Creating({"Japan Games/"}) + "File " +
                         Native("VBoyRen/Japan Games/V_Tetris_(J).vbj") +
                         " already exists (Original: v tetris.VB)\n" + Missing(36) + Have(1));
    EXPECT_EQ(AfterBanner(r.err), "") << "an existing group folder is no error";
    EXPECT_EQ(test::ReadFile(At("VBoyRen/Japan Games/V_Tetris_(J).vbj")), occupant);
    EXPECT_EQ(test::ReadFile(At("VBoyDupes/V Tetris (J).VB")), image)
        << "no group folder, no group extension, no separator rule";
}

TEST_F(GroupsRun, GroupFolderLinesAndTheEndOfTheSearch)
{
    // ":Shooter" has an empty pattern: its folder is created, but the search
    // for a group ends there, so Baseball is never reached.
    Config("[VBoy]\nTetris:Puzzle\nGolf:Sports\n:Shooter\nBaseball:Sports\n");
    Put("t.vb", Image("3D Tetris (U)"));
    Put("b.vb", Image("Virtual Baseball (U)"));

    test::RunResult r = Run({"rename", "dirs"});
    EXPECT_EQ(r.out, Stats + Scanning() +
                         "Creating " + Native("Puzzle/") + std::string(20, ' ') + "Creating " + Native("Sports/") +
                         std::string(20, ' ') + "\nCreating " + Native("Shooter/") + std::string(19, ' ') + "\n" +
                         Missing(35) + Have(2));
    EXPECT_TRUE(test::DirExists(At("VBoyRen/Shooter")));
    EXPECT_TRUE(test::DirExists(At("VBoyRen/Sports")));
    EXPECT_EQ(Files(), (std::set<std::string>{"VBoyRen/Puzzle/3D Tetris (U).vb", "VBoyRen/Virtual Baseball (U).vb",
                                              "VBoyHave.txt", "VBoyMiss.txt"}));
}

TEST_F(GroupsRun, LongFolderNamesAndQuiet)
{
    Config("[VBoy]\n(J):Public Domain\\Demos\\Japanese\n(U):USA\n");
    Put("golf.vb", Image("Golf (U)"));
    test::RunResult r = Run({"rename", "dirs"});
    EXPECT_EQ(r.out, Stats + Scanning() + "Creating " + Native("Public Domain/Demos/Japanese/") + "  " +
                         "Creating " + Native("USA/") + std::string(21, ' ') + "  \n" + Missing(36) + Have(1));

    test::Scratch quietScratch;
    test::WriteFile(test::Join(quietScratch.program, "QuorInfo.cfg"), "[VBoy]\n(J):Japan\n(U):USA\n");
    test::WriteFile(test::Join(quietScratch.collection, "golf.vb"), Image("Golf (U)"));
    test::RunResult quiet = test::RunQuor(quietScratch, {"rename", "dirs", "quiet"});
    EXPECT_EQ(quiet.out, Stats + Scanning() + Missing(36) + Have(1)) << "no progress lines under quiet";
    EXPECT_TRUE(test::DirExists(test::Join(quietScratch.collection, Native("VBoyRen/Japan"))));
    EXPECT_TRUE(test::FileExists(test::Join(quietScratch.collection, Native("VBoyRen/USA/Golf (U).vb"))));
}

TEST_F(GroupsRun, GroupFolderThatCannotBeCreatedStopsTheCreation)
{
    // A file where a folder level should be: "VBoyRen/Japan" counts as
    // existing, the level below it cannot be made, and the folders of later
    // groups are not created either.
    Config("[VBoy]\n(J):Japan\\Puzzle\n(U):USA\n");
    const std::string blocker = test::MakeImage(8192, 60);
    Put("VBoyRen/Japan", blocker);
    const std::string golf = Image("Golf (U)"), alarm = Image("Red Alarm (J)");
    Put("golf.vb", golf);
    Put("alarm.vb", alarm);

    test::RunResult r = Run({"rename", "dirs"});
    // The images cannot move into their missing folders: they stay, without
    // a message, and are counted.
    EXPECT_EQ(r.out, Stats + Scanning() + "Creating " + Native("Japan/Puzzle/") + std::string(14, ' ') +
                         Missing(35) + Have(2));
    EXPECT_EQ(AfterBanner(r.err), "Error creating dir: '" + Native("VBoyRen/Japan/Puzzle") + "'\n");
    EXPECT_FALSE(test::DirExists(At("VBoyRen/USA")));
    EXPECT_EQ(test::ReadFile(At("golf.vb")), golf);
    EXPECT_EQ(test::ReadFile(At("alarm.vb")), alarm);
    EXPECT_EQ(test::ReadFile(At("VBoyRen/Japan")), blocker);
}

TEST_F(GroupsRun, MoveDirsIgnoresTheGroups)
{
    Config("[VBoy]\n(U):USA;vbu\n");
    Put("golf.VB", Image("Golf (U)"));
    test::RunResult r = Run({"move", "dirs"});
    EXPECT_EQ(r.out, Stats + Scanning() + Missing(36) + Have(1));
    EXPECT_EQ(Files(), (std::set<std::string>{"VBoyRen/golf.VB", "VBoyHave.txt", "VBoyMiss.txt"}));
    EXPECT_FALSE(test::DirExists(At("VBoyRen/USA")));
}

TEST_F(GroupsRun, GroupsNeedDirs)
{
    // Without dirs the groups place nothing, but still decide what is excluded.
    Config("[VBoy]\n(U):USA;vbu;N\n");
    Put("golf.vb", Image("Golf (U)"));
    test::RunResult r = Run({"rename"});
    EXPECT_EQ(r.out, Stats + Scanning() + Missing(23, 24, 13) + Have(1));
    EXPECT_EQ(Files(), (std::set<std::string>{"VBoyRen/Golf (U).vb", "VBoyHave.txt", "VBoyMiss.txt"}));
}

TEST_F(GroupsRun, DirsWithoutAGroupFileIsAPlainRename)
{
    Put("golf.VB", Image("Golf (U)"));
    test::RunResult r = Run({"rename", "dirs"});
    EXPECT_EQ(r.out, "Cannot open " + s.program + test::Sep() + "QuorInfo.cfg Using Defaults\n" + Stats +
                         Scanning() + Missing(36) + Have(1));
    EXPECT_EQ(Files(), (std::set<std::string>{"VBoyRen/Golf (U).vb", "VBoyHave.txt", "VBoyMiss.txt"}));
}

TEST_F(GroupsRun, ExcludedGroupsInTheMissingList)
{
    Config("[VBoy]\n(J):Japan;;N\n");
    Put("alarm.vb", Image("Red Alarm (J)"));
    test::RunResult r = Run({"list"});
    // Eleven names hold "(J)"; the one had is not excluded.
    EXPECT_EQ(r.out, Stats + Scanning() + Missing(26, 27, 10) + Have(1));
    std::string expected = " " + Missing(26, 27, 10);
    for (int i = 0; i < KnownRomCount; i++)
        if (strstr(EntryName(i), "(J)") == nullptr)
            expected += std::string(EntryName(i)) + "\n";
    EXPECT_EQ(test::ReadFile(At("VBoyMiss.txt")), expected);
}

TEST_F(GroupsRun, KeyedCatalogueFoundByTextAndByValue)
{
    const uint32_t key = 0x5a5a0f0f;
    Config("[VBoy]\nKEY=5a5a0f0f\n(U):USA\n");
    // A loose image is looked up by its CRC text, an archive member by the
    // CRC value of the archive's directory.
    Put("keyed golf.vb", test::MakeImageWithCrc(8192, test::CatalogueCrcOf("Golf (U)") ^ key));
    test::ZipWriter zip;
    zip.Add("x.vb", test::MakeImageWithCrc(8192, test::CatalogueCrcOf("Red Alarm (U)") ^ key));
    Put("alarm.zip", zip.Bytes());
    Put("plain.vb", Image("Teleroboxer (JU)"));

    test::RunResult r = Run({"rename", "dirs"});
    EXPECT_EQ(r.out, Stats + Scanning() + Creating({"USA/"}) + Missing(34) + Have(3));
    EXPECT_EQ(Files(), (std::set<std::string>{"VBoyRen/USA/Golf (U).vb", "VBoyRen/USA/Red Alarm (U).zip",
                                              "VBoyRen/Teleroboxer (JU).vb", "VBoyHave.txt", "VBoyMiss.txt"}));
    // The database keeps the catalogue's own CRCs.
    EXPECT_EQ(test::ReadFile(DatabasePath()), Database({0x2199af41, 0xaa10a7b4, 0x36103000}));
}

TEST_F(GroupsRun, KeyedDatabaseIsReloaded)
{
    const uint32_t key = 0x00ff00ff;
    Config("[VBoy]\nKEY=ff00ff\n");
    uint32_t crc = test::CatalogueCrcOf("Waterworld (U)") ^ key;
    test::WriteFile(DatabasePath(), Database({crc}));
    test::RunResult r = Run({"list"});
    EXPECT_EQ(r.out, "Found QuorVBoy.db, Ignoring VBoyHave.txt\n" + Stats + Scanning() + Missing(36) + Have(1));
    EXPECT_EQ(test::ReadFile(At("VBoyHave.txt")), " " + Have(1) + "Waterworld (U)\n");
}

TEST_F(GroupsRun, RefusedFolderCannotPlaceFilesOutside)
{
    Config("[VBoy]\n(U):..\\..\\outside;vbu\n(U):USA\n");
    Put("golf.vb", Image("Golf (U)"));
    test::RunResult r = Run({"rename", "dirs"});
    EXPECT_EQ(r.out, "Cannot interpret \"(U):..\\..\\outside;vbu\n\"\n" + Stats + Scanning() + Creating({"USA/"}) +
                         Missing(36) + Have(1));
    EXPECT_TRUE(test::FileExists(At("VBoyRen/USA/Golf (U).vb")));
    EXPECT_FALSE(fs::exists(fs::path(s.root) / "outside"));
    EXPECT_FALSE(fs::exists(fs::path(s.collection) / "outside"));
}

// The audit reads the catalogue and the groups only: the collection and the
// database stay as they are.
class GroupsAudit : public GroupsRun {
protected:
    test::RunResult Audit(const std::vector<std::string>& args)
    {
        auto before = test::Snapshot(s.root);
        test::RunResult r = test::RunQuor(s, args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(AfterBanner(r.err), "");
        EXPECT_EQ(test::Snapshot(s.root), before) << "the audit changed a file";
        return r;
    }
};

const std::string Heading = "Unmatched listings in QuorInfo.cfg\n";

TEST_F(GroupsAudit, WithoutAFileTheOpenFailsTwice)
{
    Put("golf.vb", Image("Golf (U)"));
    const std::string cannot = "Cannot open " + s.program + test::Sep() + "QuorInfo.cfg Using Defaults\n";
    const std::vector<std::vector<std::string>> runs = {{"audit"}, {"audit2"}, {"AUDIT"}, {"audit", "quiet"}};
    for (const auto& args : runs) {
        test::RunResult r = Audit(args);
        EXPECT_EQ(r.out, cannot + Stats + Heading + cannot + "QuorInfo.cfg not found\n \n")
            << ::testing::PrintToString(args);
    }
}

TEST_F(GroupsAudit, TheShippedSampleTakesInEveryName)
{
    Config(test::ReadFile(SampleConfig()));
    test::RunResult r = Audit({"audit"});
    EXPECT_EQ(r.out, Stats + Heading + "[None found]\n \n");

    test::RunResult brackets = Audit({"audit4"});
    EXPECT_EQ(brackets.out, Stats + "[a1]\n[a1]\n[b1]\n[b2]\n[b1]\n[a1]\n" + Heading + "[None found]\n \n");
}

TEST_F(GroupsAudit, ListsWhatNoGroupTakesIn)
{
    Config("[VBoy]\n(J):Japan\nxy\n(U):USA\n");
    test::WriteFile(DatabasePath(), Database({0x2199af41}));
    const std::string rest = "Croach, The (PD)\nGalactic Pinball (JU)\nMario Clash (JU) [a1]\nMario Clash (JU)\n"
                             "Mario's Tennis (JU) [a1]\nMario's Tennis (JU)\nReality Boy Demo 1 (PD)\n"
                             "Reality Boy Demo 2 (PD)\nTeleroboxer (JU)\nVirtual Boy Wario Land (JU)\n"
                             "Virtual Pong (PD)\nVirtual-E Cursor Demo (PD)\n";
    test::RunResult r = Audit({"audit"});
    EXPECT_EQ(r.out, "Cannot interpret \"xy\n\"\n" "Found QuorVBoy.db, Ignoring VBoyHave.txt\n" + Stats + Heading +
                         rest + " \n");

    std::string parts;
    for (int i = 0; i < KnownRomCount; i++) {
        const char* open = strchr(EntryName(i), '(');
        parts += std::string(open, strchr(open, ')') + 1) + "\n";
    }
    test::RunResult r3 = Audit({"audit3", "quiet"});
    EXPECT_EQ(r3.out, "Cannot interpret \"xy\n\"\n" + Stats + parts + Heading + rest + " \n");
}

}  // namespace
