// groups_test.cpp - runs with a group information file: group folders, excluded groups and the audit
#include "support.h"

#include "catalogue/catalogue.h"

#include <cstring>
#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

// The progress entries of the group folders, two to a console line.
std::string Creating(const std::vector<std::string>& dirs)
{
    std::string text;
    for (size_t i = 0; i < dirs.size(); i++) {
        std::string dir = test::Native(dirs[i]);
        text += "Creating " + dir + std::string(dir.size() < 25 ? 25 - dir.size() : 0, ' ') + "  " + (i % 2 ? "\n" : "");
    }
    return text + (dirs.size() % 2 ? "\n" : "");
}

// The sample group information file the project ships.
std::string SampleConfig()
{
    return test::ReadFile((fs::path(__FILE__).parent_path().parent_path().parent_path() / "config/QuorInfo.cfg").string());
}

class Groups : public test::RunTest {
protected:
    // Puts an image of each catalogue name at its path; a ".zip" path gets
    // the image as the one member of an archive.
    void Images(const std::map<std::string, std::string>& images) const
    {
        for (const auto& image : images) {
            std::string bytes = test::KnownImage(image.second);
            Put(image.first, image.first.find(".zip") != std::string::npos ? test::Zipped(bytes) : bytes);
        }
    }
};

TEST_F(Groups, ShippedSampleSortsIntoNestedGroupFolders)
{
    Config(SampleConfig());
    Images({{"bomber bad.vb", "Panic Bomber (U) [b1]"}, {"clash.vb", "Mario Clash (JU) [a1]"},
            {"demo1.VB", "Reality Boy Demo 1 (PD)"}, {"pong.vb", "Virtual Pong (PD)"}, {"tele.vb", "Teleroboxer (JU)"},
            {"alarm.vb", "Red Alarm (J)"}, {"golf.vb", "Golf (U)"}});
    test::RunResult r = Run({"rename", "dirs"});
    EXPECT_EQ(r.out, test::StatsLine + test::ScanningLine +
                         Creating({"Variants/Bad Dumps/", "Variants/Alternates/", "Public Domain/Demos/",
                                   "Public Domain/Games/", "Japan-USA/", "Japan/", "USA/"}) +
                         test::MissingLine(28, 35, 2) + test::HaveLine(7));
    EXPECT_EQ(test::AfterBanner(r.err), "");
    EXPECT_EQ(Files(), (std::set<std::string>{
                           "VBoyRen/Variants/Bad Dumps/Panic Bomber (U) [b1].vb",
                           "VBoyRen/Variants/Alternates/Mario Clash (JU) [a1].vb",
                           "VBoyRen/Public Domain/Demos/Reality Boy Demo 1 (PD).vb",
                           "VBoyRen/Public Domain/Games/Virtual Pong (PD).vb", "VBoyRen/Japan-USA/Teleroboxer (JU).vb",
                           "VBoyRen/Japan/Red Alarm (J).vb", "VBoyRen/USA/Golf (U).vb", "VBoyHave.txt", "VBoyMiss.txt"}));
    // The bad dumps still absent are excluded, not listed.
    std::string miss = test::ReadText(At("VBoyMiss.txt"));
    EXPECT_EQ(miss.rfind(" " + test::MissingLine(28, 35, 2), 0), 0u);
    EXPECT_EQ(miss.find("Nester's Funky Bowling (U) [b"), std::string::npos);
    EXPECT_NE(miss.find("\nNester's Funky Bowling (U)\n"), std::string::npos);
}

TEST_F(Groups, RulesPlaceAndExcludeImages)
{
    const struct {
        const char* what;
        std::string config;
        std::map<std::string, std::string> images;
        std::vector<std::string> args;
        std::string out;              // after the statistics and the walk's first line
        std::set<std::string> files;  // besides the two lists; a folder ends with "/"
        std::string err = "";
    } cases[] = {
        {"group extensions, nested folders, a folder named twice, archives",
         "[VBoy]\n(J):Japan\\Puzzle;vbj\n(U):USA/Sports\n(JU):Japan\\Puzzle\n",
         {{"v.vb", "V Tetris (J)"}, {"golf.VB", "Golf (U)"}, {"tele.vb", "Teleroboxer (JU)"},
          {"croach.vb", "Croach, The (PD)"}, {"alarm.zip", "Red Alarm (J)"}},
         {"rename", "dirs"}, Creating({"Japan/Puzzle/", "USA/Sports/"}) + test::MissingLine(32) + test::HaveLine(5),
         {"VBoyRen/Japan/Puzzle/V Tetris (J).vbj", "VBoyRen/USA/Sports/Golf (U).vb",
          "VBoyRen/Japan/Puzzle/Teleroboxer (JU).vb", "VBoyRen/Japan/Puzzle/Red Alarm (J).zip",
          "VBoyRen/Croach, The (PD).vb"}},
        {"a duplicate leaves the group behind: no folder, extension or separator rule",
         "[VBoy]\n(J):Japan Games;vbj\n",
         {{"v tetris.VB", "V Tetris (J)"}, {"VBoyRen/Japan Games/V_Tetris_(J).vbj", "Golf (U)"}},
         {"rename", "dirs", "sep_"},
         Creating({"Japan Games/"}) + "File " + test::Native("VBoyRen/Japan Games/V_Tetris_(J).vbj") +
             " already exists (Original: v tetris.VB)\n" + test::MissingLine(36) + test::HaveLine(1),
         {"VBoyRen/Japan Games/V_Tetris_(J).vbj", "VBoyDupes/V Tetris (J).VB"}},
        {"move ignores the groups", "[VBoy]\n(U):USA;vbu\n", {{"golf.VB", "Golf (U)"}}, {"move", "dirs"},
         test::MissingLine(36) + test::HaveLine(1), {"VBoyRen/golf.VB"}},
        {"without dirs the groups place nothing but still exclude", "[VBoy]\n(U):USA;vbu;N\n",
         {{"golf.vb", "Golf (U)"}}, {"rename"}, test::MissingLine(23, 24, 13) + test::HaveLine(1),
         {"VBoyRen/Golf (U).vb"}},
        {"a group folder that cannot be created stops the creation", "[VBoy]\n(J):Japan\\Puzzle\n(U):USA\n",
         {{"golf.vb", "Golf (U)"}, {"alarm.vb", "Red Alarm (J)"}, {"VBoyRen/Japan", "Teleroboxer (JU)"}},
         {"rename", "dirs"}, "Creating " + test::Native("Japan/Puzzle/") + std::string(14, ' ') +
             test::MissingLine(35) + test::HaveLine(2),
         {"golf.vb", "alarm.vb", "VBoyRen/Japan"}, "Error creating dir: '" + test::Native("VBoyRen/Japan/Puzzle") + "'\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Fresh();
        Config(c.config);
        Images(c.images);
        test::RunResult r = Run(c.args);
        EXPECT_EQ(r.out, test::StatsLine + test::ScanningLine + c.out);
        EXPECT_EQ(test::AfterBanner(r.err), c.err);
        std::set<std::string> files = {"VBoyHave.txt", "VBoyMiss.txt"};
        for (const std::string& f : c.files) {
            EXPECT_TRUE(f.back() != '/' || fs::is_directory(At(f))) << f;
            if (f.back() != '/')
                files.insert(f);
        }
        EXPECT_EQ(Files(), files);
    }
}

TEST_F(Groups, AKeyedCatalogueIsSearchedByTextAndByValueButTheDatabaseKeepsItsOwnCrcs)
{
    Config("[VBoy]\nKEY=5a5a0f0f\n(U):USA\n");
    // A loose image is looked up by its CRC text, an archive member by its directory's CRC value.
    Put("keyed golf.vb", test::MakeImageWithCrc(8192, 0x2199af41 ^ 0x5a5a0f0f));
    Put("alarm.zip", test::Zipped(test::MakeImageWithCrc(8192, 0xaa10a7b4 ^ 0x5a5a0f0f)));
    Put("plain.vb", test::KnownImage("Teleroboxer (JU)"));
    EXPECT_EQ(Run({"rename", "dirs"}).out,
              test::StatsLine + test::ScanningLine + Creating({"USA/"}) + test::MissingLine(34) + test::HaveLine(3));
    EXPECT_EQ(Files(), (std::set<std::string>{"VBoyRen/USA/Golf (U).vb", "VBoyRen/USA/Red Alarm (U).zip",
                                              "VBoyRen/Teleroboxer (JU).vb", "VBoyHave.txt", "VBoyMiss.txt"}));
    EXPECT_EQ(test::ReadFile(DatabasePath()), test::HaveDatabase({0x2199af41, 0xaa10a7b4, 0x36103000}));
}

TEST_F(Groups, AuditListsWhatNoGroupTakesInAndChangesNothing)
{
    const std::string heading = "Unmatched listings in QuorInfo.cfg\n", notFound = "QuorInfo.cfg not found\n \n";
    const std::string none = "[None found]\n \n";
    const std::string rest = "Croach, The (PD)\nGalactic Pinball (JU)\nMario Clash (JU) [a1]\nMario Clash (JU)\n"
                             "Mario's Tennis (JU) [a1]\nMario's Tennis (JU)\nReality Boy Demo 1 (PD)\n"
                             "Reality Boy Demo 2 (PD)\nTeleroboxer (JU)\nVirtual Boy Wario Land (JU)\n"
                             "Virtual Pong (PD)\nVirtual-E Cursor Demo (PD)\n \n";
    const std::string partial = "[VBoy]\n(J):Japan\nxy\n(U):USA\n", cannot = "Cannot interpret \"xy\n\"\n";
    std::string parts;
    for (int i = 0; i < KnownRomCount; i++) {
        const char *open = strchr(EntryName(i), '('), *close = strchr(open, ')');
        parts += std::string(open, close + 1) + "\n";
    }
    const struct {
        std::string config;  // none when empty
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        // Without a file the open fails twice: once for the run, once for the audit.
        {"", {"audit"}, NoGroupFile() + test::StatsLine + heading + NoGroupFile() + notFound},
        {"", {"AUDIT", "quiet"}, NoGroupFile() + test::StatsLine + heading + NoGroupFile() + notFound},
        {"[VBoy]\n", {"audit"}, test::StatsLine + heading + notFound},
        {SampleConfig(), {"audit"}, test::StatsLine + heading + none},
        {SampleConfig(), {"audit4"}, test::StatsLine + "[a1]\n[a1]\n[b1]\n[b2]\n[b1]\n[a1]\n" + heading + none},
        {partial, {"audit"}, cannot + "Found QuorVBoy.db, Ignoring VBoyHave.txt\n" + test::StatsLine + heading + rest},
        {partial, {"audit3", "quiet"}, cannot + test::StatsLine + parts + heading + rest},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args) + " with " + c.config.substr(0, 20));
        Fresh();
        if (!c.config.empty())
            Config(c.config);
        if (c.config == partial)
            test::WriteFile(DatabasePath(), test::HaveDatabase({0x2199af41}));
        Put("golf.vb", test::KnownImage("Golf (U)"));
        auto before = test::Snapshot(s.root);
        test::RunResult r = Run(c.args);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(test::AfterBanner(r.err), "");
        EXPECT_EQ(test::Snapshot(s.root), before) << "the audit changed a file";
    }
}

}  // namespace
