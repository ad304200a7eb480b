// rename_e2e_test.cpp - runs of rename, move and list over real folders: targets, duplicates, the changes log, the reports and the memory of earlier runs
#include "support.h"
#include "zipwriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string Stats = "\nStats: 37 entries, 0 redumps, 0 hacks/trainers, 3 bad/overdumps\n";

// A path written with "/" in the native form.
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

std::string Missing(int missing, int of = 37)
{
    return "You are missing " + std::to_string(missing) + " of " + std::to_string(of) +
           " known Nintendo Virtual Boy ROMS\n\n";
}

std::string Have(int had)
{
    return "You have " + std::to_string(had) + " of 37 known Nintendo Virtual Boy ROMS\n\n";
}

std::string Exists(const std::string& target, const std::string& original)
{
    return "File " + Native(target) + " already exists (Original: " + original + ")\n";
}

// Standard error after the two banner lines, which every run prints there.
std::string AfterBanner(const std::string& err)
{
    size_t first = err.find('\n');
    size_t second = first == std::string::npos ? first : err.find('\n', first + 1);
    EXPECT_EQ(err.rfind("QuorVBoy: ", 0), 0u) << err;
    EXPECT_NE(second, std::string::npos) << err;
    EXPECT_NE(err.find("V1.00\n"), std::string::npos) << err;
    return second == std::string::npos ? err : err.substr(second + 1);
}

// A synthetic image whose CRC is that of the catalogue entry name; seeds
// give different bytes with the same CRC.
std::string Image(const std::string& name, uint32_t seed = 1)
{
    return test::MakeImageWithCrc(8192, test::CatalogueCrcOf(name), seed);
}

// The big files of a snapshot (images and stand-ins for them) by content,
// with how often each occurs.
std::map<std::string, int> ImageCounts(const std::vector<std::pair<std::string, std::string>>& snapshot)
{
    std::map<std::string, int> counts;
    for (const auto& file : snapshot)
        if (file.second.size() >= 8192)
            counts[file.second]++;
    return counts;
}

// The bytes of a have database: "QUOR", the system number and the CRCs,
// big-endian.
std::string Database(std::initializer_list<uint32_t> crcs, uint32_t system = 19)
{
    std::string bytes = "QUOR";
    auto put = [&bytes](uint32_t v) {
        for (int k = 3; k >= 0; k--)
            bytes += (char)(v >> (8 * k));
    };
    put(system);
    for (uint32_t crc : crcs)
        put(crc);
    return bytes;
}

// The target of Golf (U) in VBoyRen, its duplicates target and its first
// count alternative names.
std::vector<std::string> GolfAlternatives(int count)
{
    std::vector<std::string> paths = {"VBoyRen/Golf (U).vb", "VBoyDupes/Golf (U).vb"};
    for (int n = 0; n < count; n++)
        paths.push_back("VBoyDupes/Golf (U)." + (n < 10 ? "v" + std::to_string(n) : std::to_string(n)));
    return paths;
}

class RenameRun : public ::testing::Test {
protected:
    std::string At(const std::string& relative) const { return test::Join(s->collection, Native(relative)); }
    void Put(const std::string& relative, const std::string& bytes) const { test::WriteFile(At(relative), bytes); }

    std::string NoGroupFile() const
    {
        return "Cannot open " + s->program + test::Sep() + "QuorInfo.cfg Using Defaults\n";
    }
    // What every walking run without a group information file prints first.
    std::string Prelude() const { return NoGroupFile() + Stats + Scanning(); }

    // Runs the program, remembering the collection before it, and checks
    // afterwards that no image was lost or doubled: every byte sequence that
    // was there is still there exactly as often.
    test::RunResult Run(const std::vector<std::string>& args)
    {
        auto before = ImageCounts(test::Snapshot(s->collection));
        test::RunResult r = test::RunQuor(*s, args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(ImageCounts(test::Snapshot(s->collection)), before) << "images lost or doubled by the run";
        return r;
    }

    // The files below the collection, by relative path with "/".
    std::set<std::string> Files() const
    {
        std::set<std::string> names;
        for (const auto& file : test::Snapshot(s->collection))
            names.insert(file.first);
        return names;
    }

    std::string DatabasePath() const { return test::Join(s->program, "QuorVBoy.db"); }

    // Starts over in a new scratch folder (for table-driven cases).
    void Fresh() { s = std::make_unique<test::Scratch>(); }

    std::unique_ptr<test::Scratch> s = std::make_unique<test::Scratch>();
};

TEST_F(RenameRun, TargetsOfEachMode)
{
    struct Case {
        std::vector<std::string> args;
        std::string name;
        std::string target;
    } cases[] = {
        {{"rename"}, "tetris.VB", "VBoyRen/3D Tetris (U).vb"},
        {{"RENAME"}, "Tetris.Vb", "VBoyRen/3D Tetris (U).vb"},
        {{"rename", "sep_"}, "tetris.VB", "VBoyRen/3D_Tetris_(U).vb"},
        {{"rename", "sep."}, "tetris.vb", "VBoyRen/3D.Tetris.(U).vb"},
        {{"rename", "nosep"}, "tetris.VB", "VBoyRen/3DTetris(U).vb"},
        // Short names are asked for, but no catalogue name is near 60
        // characters: the name stays whole, spaces included.
        {{"rename", "fshort3"}, "tetris.VB", "VBoyRen/3D Tetris (U).vb"},
        // A hidden file whose only dot leads its name has no extension.
        {{"rename"}, ".vb", "VBoyRen/3D Tetris (U)"},
        {{"move"}, "tetris.VB", "VBoyRen/tetris.VB"},
        {{"move", "sep_"}, "my tetris.VB", "VBoyRen/my tetris.VB"},
        {{"rename", "move"}, "tetris.VB", "VBoyRen/tetris.VB"},
        {{"list"}, "tetris.VB", "tetris.VB"},
        // An archive moves whole.
        {{"rename"}, "tetris.ZIP", "VBoyRen/3D Tetris (U).zip"},
        {{"move"}, "tetris.ZIP", "VBoyRen/tetris.ZIP"},
    };
    for (const Case& c : cases) {
        Fresh();
        std::string context = ::testing::PrintToString(c.args) + " " + c.name;

        std::string image = Image("3D Tetris (U)");
        if (c.name.find(".ZIP") != std::string::npos) {
            test::ZipWriter zip;
            zip.Add("inside.vb", image);
            image = zip.Bytes();
        }
        Put(c.name, image);
        test::RunResult r = Run(c.args);
        EXPECT_EQ(r.out, Prelude() + Missing(36) + Have(1)) << context;
        EXPECT_EQ(AfterBanner(r.err), "") << context;
        EXPECT_EQ(test::ReadFile(At(c.target)), image) << context;
        EXPECT_EQ(Files(), (std::set<std::string>{c.target, "VBoyHave.txt", "VBoyMiss.txt"})) << context;
        EXPECT_EQ(test::DirExists(At("VBoyRen")), c.args[0] != "list") << context;
        EXPECT_FALSE(test::DirExists(At("VBoyDupes"))) << context;
    }
}

TEST_F(RenameRun, UnknownImageLeavesNoTrace)
{
    Put("mystery.vb", test::MakeImageWithCrc(8192, 0x12345678));
    test::RunResult r = Run({"rename", "changes"});
    EXPECT_EQ(r.out, Prelude() + Missing(37));
    EXPECT_EQ(Files(), (std::set<std::string>{"VBoyMiss.txt", "mystery.vb"}));
    EXPECT_FALSE(test::FileExists(DatabasePath()));
}

TEST_F(RenameRun, ChangesLogForms)
{
    struct Case {
        std::vector<std::string> args;
        std::string name;
        std::string line;  // empty: no line at all
        bool onConsole;
    } cases[] = {
        {{"rename", "changes"}, "tetris.VB", "N: \"3D Tetris (U)\"  O: \"tetris\"\n", true},
        {{"rename", "changes-"}, "tetris.VB", "O: \"tetris\"  N: \"3D Tetris (U)\"\n", true},
        {{"rename", "changes"}, "3D Tetris (U).vb", "N: \"3D Tetris (U)\"  O: \"3D Tetris (U)\"\n", true},
        {{"rename", "changesnew"}, "3D Tetris (U).vb", "", true},
        {{"rename", "changesnew"}, "3d tetris (u).vb", "N: \"3D Tetris (U)\"  O: \"3d tetris (u)\"\n", true},
        {{"rename", "changesnew-"}, "3d tetris (u).vb", "O: \"3d tetris (u)\"  N: \"3D Tetris (U)\"\n", true},
        {{"rename", "changesnew-"}, "3D Tetris (U).VB", "", true},
        {{"rename", "changesnew", "sep_"}, "3D_Tetris_(U).vb", "", true},
        {{"rename", "changesnew", "sep_"}, "3D Tetris (U).vb", "N: \"3D_Tetris_(U)\"  O: \"3D Tetris (U)\"\n", true},
        {{"rename", "changes", "nosep"}, "tetris.VB", "N: \"3DTetris(U)\"  O: \"tetris\"\n", true},
        {{"rename", "changes", "quiet"}, "tetris.VB", "N: \"3D Tetris (U)\"  O: \"tetris\"\n", false},
        {{"move", "changes"}, "tetris.VB", "N: \"3D Tetris (U)\"  O: \"tetris\"\n", true},
        {{"list", "changes-"}, "tetris.VB", "O: \"tetris\"  N: \"3D Tetris (U)\"\n", true},
        {{"list", "changes"}, ".vb", "N: \"3D Tetris (U)\"  O: \".vb\"\n", true},
    };
    for (const Case& c : cases) {
        Fresh();
        std::string context = ::testing::PrintToString(c.args) + " " + c.name;
        Put(c.name, Image("3D Tetris (U)"));
        test::RunResult r = Run(c.args);
        EXPECT_EQ(r.out, Prelude() + (c.onConsole ? c.line : "") + Missing(36) + Have(1)) << context;
        std::string log = At("VBoyLog.txt");
        if (c.line.empty())
            EXPECT_FALSE(test::FileExists(log)) << context << ": no line, no log file";
        else
            EXPECT_EQ(test::ReadFile(log), c.line) << context;
    }
}

TEST_F(RenameRun, ChangesLogGrowsFromRunToRun)
{
    Put("tetris.VB", Image("3D Tetris (U)"));
    Run({"list", "changes"});
    Run({"move", "changes-"});
    EXPECT_EQ(test::ReadFile(At("VBoyLog.txt")),
              "N: \"3D Tetris (U)\"  O: \"tetris\"\n"
              "O: \"tetris\"  N: \"3D Tetris (U)\"\n");
    EXPECT_TRUE(test::FileExists(At("VBoyRen/tetris.VB")));
}

TEST_F(RenameRun, TakenTargetsSendTheImageToDuplicatesUnderFreeNames)
{
    struct Case {
        std::vector<std::string> args;
        std::string game;
        std::string name;
        bool archive;
        std::vector<std::string> taken;  // the first is the target in VBoyRen
        std::string landed;
    } cases[] = {
        // The old extension, in its own case; no separator rule.
        {{"rename"}, "Golf (U)", "golf.VB", false, {"VBoyRen/Golf (U).vb"}, "VBoyDupes/Golf (U).VB"},
        {{"rename", "sep_"}, "3D Tetris (U)", "tetris.vb", false, {"VBoyRen/3D_Tetris_(U).vb"},
         "VBoyDupes/3D Tetris (U).vb"},
        {{"rename"}, "Golf (U)", "golf.vb", false, {"VBoyRen/Golf (U).vb", "VBoyDupes/Golf (U).vb"},
         "VBoyDupes/Golf (U).v0"},
        {{"rename"}, "Golf (U)", "golf.vb", false, GolfAlternatives(1), "VBoyDupes/Golf (U).v1"},
        {{"rename"}, "Golf (U)", "golf.vb", false, GolfAlternatives(43), "VBoyDupes/Golf (U).43"},
        {{"move"}, "Golf (U)", "golf.VB", false, {"VBoyRen/golf.VB", "VBoyDupes/golf.VB", "VBoyDupes/golf.V0"},
         "VBoyDupes/golf.V1"},
        // An archive's duplicate keeps the archive's own extension.
        {{"rename"}, "Golf (U)", "golf.ZIP", true, {"VBoyRen/Golf (U).zip", "VBoyDupes/Golf (U).ZIP"},
         "VBoyDupes/Golf (U).ZI0"},
    };
    for (const Case& c : cases) {
        Fresh();
        std::string context = ::testing::PrintToString(c.args) + " " + c.name + " into " + c.landed;
        std::map<std::string, std::string> occupants;
        uint32_t seed = 50;
        for (const std::string& t : c.taken)
            Put(t, occupants[t] = test::MakeImage(8192, seed++));
        std::string image = Image(c.game);
        if (c.archive) {
            test::ZipWriter zip;
            zip.Add("inside.vb", image);
            image = zip.Bytes();
        }
        Put(c.name, image);

        test::RunResult r = Run(c.args);
        EXPECT_EQ(r.out, Prelude() + Exists(c.taken[0], c.name) + Missing(36) + Have(1)) << context;
        EXPECT_EQ(test::ReadFile(At(c.landed)), image) << context;
        EXPECT_FALSE(test::FileExists(At(c.name))) << context;
        for (const auto& o : occupants)
            EXPECT_EQ(test::ReadFile(At(o.first)), o.second) << context << ": " << o.first << " was replaced";
    }
}

TEST_F(RenameRun, AlternativeNamesRunOutAndTheImageStays)
{
    uint32_t seed = 900;
    for (const std::string& path : GolfAlternatives(100))
        Put(path, test::MakeImage(8192, seed++));
    const std::string image = Image("Golf (U)");
    Put("golf.vb", image);
    auto before = test::Snapshot(s->collection);

    test::RunResult r = Run({"rename", "quiet"});
    EXPECT_EQ(r.out, Prelude() + "Out of temp filenames!\n" + Missing(36) + Have(1))
        << "the exhaustion is printed under quiet too; the image is still counted";
    EXPECT_EQ(test::ReadFile(At("golf.vb")), image);
    auto after = test::Snapshot(s->collection);
    after.erase(std::remove_if(after.begin(), after.end(),
                               [](const auto& f) { return f.first == "VBoyHave.txt" || f.first == "VBoyMiss.txt"; }),
                after.end());
    EXPECT_EQ(after, before) << "nothing moved";
}

TEST_F(RenameRun, SeveralCopiesInOneRun)
{
    std::set<std::string> copies = {"a.vb", "b.vb", "c.vb"};
    uint32_t seed = 1;
    for (const std::string& name : copies)
        Put(name, Image("Golf (U)", seed++));
    Put("w.vb", Image("Waterworld (U)"));

    test::RunResult r = Run({"rename"});
    EXPECT_EQ(Files(), (std::set<std::string>{"VBoyRen/Golf (U).vb", "VBoyDupes/Golf (U).vb",
                                              "VBoyDupes/Golf (U).v0", "VBoyRen/Waterworld (U).vb",
                                              "VBoyHave.txt", "VBoyMiss.txt", "VBoyDupes.txt"}));

    // Which copy came first depends on the order of the folder listing.
    std::istringstream lines(r.out);
    std::set<std::string> originals;
    for (std::string line; std::getline(lines, line);) {
        std::string head = "File " + Native("VBoyRen/Golf (U).vb") + " already exists (Original: ";
        if (line.rfind(head, 0) == 0)
            originals.insert(line.substr(head.size(), line.size() - head.size() - 1));
    }
    EXPECT_EQ(originals.size(), 2u) << r.out;
    for (const std::string& o : originals)
        EXPECT_EQ(copies.count(o), 1u) << o;

    const std::string tail = Missing(35) + Have(2) +
                             "Multiple copies of the following were found:\nGolf (U) [3 copies]\n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
    EXPECT_EQ(r.out.rfind(Prelude(), 0), 0u);
    EXPECT_EQ(test::ReadFile(At("VBoyDupes.txt")), "Golf (U) [3 copies]\n");
}

TEST_F(RenameRun, ListTouchesNoFileAndWritesTheThreeReports)
{
    Put("golf.vb", Image("Golf (U)"));
    Put("tele.vb", Image("Teleroboxer (JU)"));
    Put("tele2.vb", Image("Teleroboxer (JU)", 2));
    auto before = test::Snapshot(s->collection);

    test::RunResult r = Run({"list"});
    EXPECT_EQ(r.out, Prelude() + Missing(35) + Have(2) +
                         "Multiple copies of the following were found:\nTeleroboxer (JU) [2 copies]\n");
    EXPECT_EQ(AfterBanner(r.err), "");

    std::string missing = " " + Missing(35);
    for (const char* name :
         {"3D Tetris (U)", "Croach, The (PD)", "Galactic Pinball (JU)", "Insane Mouse Mansion (J)", "Jack Bros (J)",
          "Jack Bros (U)", "Mario Clash (JU) [a1]", "Mario Clash (JU)", "Mario's Tennis (JU) [a1]",
          "Mario's Tennis (JU)", "Nester's Funky Bowling (U) [b1]", "Nester's Funky Bowling (U) [b2]",
          "Nester's Funky Bowling (U)", "Panic Bomber (J)", "Panic Bomber (U) [b1]", "Panic Bomber (U)",
          "Reality Boy Demo 1 (PD)", "Reality Boy Demo 2 (PD)", "Red Alarm (J)", "Red Alarm (U)", "Space Squash (J)",
          "T&E Virtual Golf (J)", "V Tetris (J)", "Vertical Force (J)", "Vertical Force (U)", "Virtual Baseball (U)",
          "Virtual Boy Wario Land (JU)", "Virtual Fishing (J)", "Virtual Golf (J)", "Virtual League Baseball (U)",
          "Virtual Pong (PD)", "Virtual Pro Yakyuu '95 (J)", "Virtual-E Cursor Demo (PD)", "Waterworld (U) [a1]",
          "Waterworld (U)"})
        missing += std::string(name) + "\n";
    EXPECT_EQ(test::ReadFile(At("VBoyMiss.txt")), missing);
    EXPECT_EQ(test::ReadFile(At("VBoyHave.txt")), " " + Have(2) + "Golf (U)\nTeleroboxer (JU)\n");
    EXPECT_EQ(test::ReadFile(At("VBoyDupes.txt")), "Teleroboxer (JU) [2 copies]\n");
    EXPECT_EQ(test::ReadFile(DatabasePath()), Database({0x2199af41, 0x36103000}));

    auto after = test::Snapshot(s->collection);
    for (const auto& file : before)
        EXPECT_NE(std::find(after.begin(), after.end(), file), after.end()) << file.first << " was touched";
}

TEST_F(RenameRun, ReloadMakesAnImageFoundAgainADuplicate)
{
    Put("golf.vb", Image("Golf (U)"));
    test::RunResult first = Run({"rename"});
    EXPECT_EQ(first.out, Prelude() + Missing(36) + Have(1));
    const std::string db = Database({0x2199af41});
    EXPECT_EQ(test::ReadFile(DatabasePath()), db);

    // A second run reloads the database and finds a second copy.
    Put("another golf.vb", Image("Golf (U)", 2));
    test::RunResult second = Run({"rename"});
    EXPECT_EQ(second.out, NoGroupFile() + "Found QuorVBoy.db, Ignoring VBoyHave.txt\n" + Stats + Scanning() +
                              Exists("VBoyRen/Golf (U).vb", "another golf.vb") + Missing(36) + Have(1) +
                              "Multiple copies of the following were found:\nGolf (U) [2 copies]\n");
    EXPECT_TRUE(test::FileExists(At("VBoyDupes/Golf (U).vb")));

    // A third run with nothing new has the image once; a fourth with a new
    // copy adds its duplicate line to the report.
    test::RunResult third = Run({"list"});
    EXPECT_EQ(third.out, NoGroupFile() + "Found QuorVBoy.db, Ignoring VBoyHave.txt\n" + Stats + Scanning() +
                             Missing(36) + Have(1));
    Put("third.vb", Image("Golf (U)", 3));
    Run({"list", "quiet"});
    EXPECT_EQ(test::ReadFile(At("VBoyDupes.txt")), "Golf (U) [2 copies]\nGolf (U) [2 copies]\n");
    EXPECT_EQ(test::ReadFile(DatabasePath()), db);
}

TEST_F(RenameRun, ReloadFromTheHaveListWithoutADatabase)
{
    Put("golf.vb", Image("Golf (U)"));
    test::RunResult first = Run({"rename", "nodb"});
    EXPECT_EQ(first.out, NoGroupFile() + "NODB specified, ignoring QuorVBoy.db\n" + Stats + Scanning() +
                             Missing(36) + Have(1) + "NODB specified, QuorVBoy.db NOT updated\n");
    EXPECT_FALSE(test::FileExists(DatabasePath()));

    Put("again.vb", Image("Golf (U)", 2));
    test::RunResult second = Run({"rename"});
    EXPECT_EQ(second.out, Prelude() + Exists("VBoyRen/Golf (U).vb", "again.vb") + Missing(36) + Have(1) +
                              "Multiple copies of the following were found:\nGolf (U) [2 copies]\n");
}

TEST_F(RenameRun, ReloadSources)
{
    const std::string none = "(none)";
    struct Case {
        std::string what;
        std::string database;
        std::string haveList;
        std::vector<std::string> args;
        std::string notice;  // printed right after the group file line
        std::vector<std::string> had;
        std::string databaseAfter;
        std::string tail;  // printed after the summaries
    } cases[] = {
        {"the database wins", Database({0x2199af41}), " x\n\nWaterworld (U)\n", {"list"},
         "Found QuorVBoy.db, Ignoring VBoyHave.txt\n", {"Golf (U)"}, Database({0x2199af41}), ""},
        {"quiet leaves out the notice", Database({0x2199af41}), " x\n\nWaterworld (U)\n", {"list", "quiet"}, "",
         {"Golf (U)"}, Database({0x2199af41}), ""},
        {"nodb reads the have list and keeps the database", Database({0x2199af41}), " x\n\nWaterworld (U)\n",
         {"list", "nodb"}, "NODB specified, ignoring QuorVBoy.db\n", {"Waterworld (U)"}, Database({0x2199af41}),
         "NODB specified, QuorVBoy.db NOT updated\n"},
        {"nodb under quiet", Database({0x2199af41}), " x\n\nWaterworld (U)\n", {"list", "nodb", "quiet"}, "",
         {"Waterworld (U)"}, Database({0x2199af41}), "NODB specified, QuorVBoy.db NOT updated\n"},
        {"a database of another system is passed over", Database({0x2199af41}, 18), " x\n\nWaterworld (U)\n",
         {"list"}, "", {"Waterworld (U)"}, Database({0x82a95e51}), ""},
        {"a have list with CR LF line ends", none,
         " You have 2 of 37 known Nintendo Virtual Boy ROMS\r\n\r\nGolf (U)\r\nWaterworld (U)\r\n", {"list"}, "",
         {"Golf (U)", "Waterworld (U)"}, Database({0x2199af41, 0x82a95e51}), ""},
    };
    for (const Case& c : cases) {
        Fresh();
        if (c.database != none)
            test::WriteFile(DatabasePath(), c.database);
        Put("VBoyHave.txt", c.haveList);
        int had = (int)c.had.size();
        test::RunResult r = Run(c.args);
        EXPECT_EQ(r.out, NoGroupFile() + c.notice + Stats + Scanning() + Missing(37 - had) + Have(had) + c.tail)
            << c.what;
        std::string list = " " + Have(had);
        for (const std::string& name : c.had)
            list += name + "\n";
        EXPECT_EQ(test::ReadFile(At("VBoyHave.txt")), list) << c.what;
        EXPECT_EQ(test::ReadFile(DatabasePath()), c.databaseAfter) << c.what;
    }
}

// Runs of the program as a user for whom file permissions hold.
class RenameReadOnly : public RenameRun {
protected:
    void SetUp() override
    {
#ifdef _WIN32
        GTEST_SKIP() << "read-only folders are tested on POSIX systems";
#else
        // The unprivileged user must be able to write where the test wants
        // it to.
        for (const std::string& dir : {s->root, s->collection, s->program, test::Join(s->root, "home")})
            fs::permissions(dir, fs::perms::all);
        if (PermissionsHold())
            return;
        if (!fs::exists("/usr/bin/setpriv"))
            GTEST_SKIP() << "the tests run with every permission and there is no /usr/bin/setpriv to drop them: "
                            "read-only folders cannot be tested here";
        unprivileged = true;
#endif
    }

    // Whether a read-only folder keeps this process out.
    bool PermissionsHold() const
    {
        fs::path probe = fs::path(s->root) / "probe";
        fs::create_directory(probe);
        fs::permissions(probe, fs::perms::owner_read | fs::perms::owner_exec);
        bool created = std::ofstream(probe / "file").is_open();
        fs::permissions(probe, fs::perms::owner_all);
        fs::remove_all(probe);
        return !created;
    }

    static void MakeReadOnly(const std::string& dir)
    {
        fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    }

    std::string Home() const { return test::Join(s->root, "home"); }

    // The run, as the user "nobody" when this process has every permission.
    test::RunResult RunLimited(const std::vector<std::string>& args)
    {
        if (!unprivileged)
            return test::RunQuor(*s, args);
        fs::path io = fs::path(s->root) / "io";
        fs::create_directories(io);
        std::string in = (io / "in").string(), out = (io / "out").string(), err = (io / "err").string();
        test::WriteFile(in, "");
        std::vector<std::string> command = {"--reuid=65534", "--regid=65534", "--clear-groups", "/usr/bin/env",
                                            "HOME=" + Home(), test::Join(s->program, "QuorVBoy")};
        command.insert(command.end(), args.begin(), args.end());
        test::RunResult r;
        r.status = test::SpawnProgram("/usr/bin/setpriv", command, s->collection, in, out, err);
        r.out = test::ReadFile(out);
        r.err = test::ReadFile(err);
        if (r.status != 0 || r.out.empty())
            ADD_FAILURE() << "the program did not run under setpriv: status " << r.status << "\n" << r.err;
        return r;
    }

    bool unprivileged = false;
};

TEST_F(RenameReadOnly, DeniedMoveIntoTheOutputFolderGoesToDuplicates)
{
    const std::string image = Image("Golf (U)");
    Put("golf.vb", image);
    test::MakeDirs(At("VBoyRen"));
    MakeReadOnly(At("VBoyRen"));

    auto before = ImageCounts(test::Snapshot(s->collection));
    test::RunResult r = RunLimited({"rename"});
    EXPECT_EQ(ImageCounts(test::Snapshot(s->collection)), before);
    EXPECT_EQ(r.out, Prelude() + Exists("VBoyRen/Golf (U).vb", "golf.vb") + Missing(36) + Have(1));
    EXPECT_EQ(AfterBanner(r.err), "");
    EXPECT_EQ(test::ReadFile(At("VBoyDupes/Golf (U).vb")), image);
}

TEST_F(RenameReadOnly, OutputFolderThatCannotBeCreated)
{
    const std::string golf = Image("Golf (U)"), tele = Image("Teleroboxer (JU)");
    Put("golf.vb", golf);
    Put("tele.vb", tele);
    MakeReadOnly(s->collection);

    test::RunResult r = RunLimited({"rename"});
    // The creation is tried once: the first known image is not counted, the
    // second fails to move without a message and is counted.
    EXPECT_EQ(r.out, Prelude() + Missing(36) + Have(1));
    EXPECT_EQ(AfterBanner(r.err), "Error creating dir: 'VBoyRen'\n" "Using default log: " +
                                      test::Join(Home(), "VBoyMiss.txt") + "\nUsing default log: " +
                                      test::Join(Home(), "VBoyHave.txt") + "\n");
    EXPECT_EQ(test::ReadFile(At("golf.vb")), golf);
    EXPECT_EQ(test::ReadFile(At("tele.vb")), tele);
    EXPECT_FALSE(test::DirExists(At("VBoyRen")));
    EXPECT_EQ(test::ReadFile(test::Join(Home(), "VBoyMiss.txt")).rfind(" " + Missing(36), 0), 0u);
    EXPECT_TRUE(test::FileExists(DatabasePath()));
}

}  // namespace
