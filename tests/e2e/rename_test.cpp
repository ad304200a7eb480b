// rename_test.cpp - rename, move and list over real folders: targets, duplicates, the changes log, the reports,
// reloads, and runs where files cannot be opened or created
#include "support.h"

#include "catalogue/catalogue.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string Exists(const std::string& target, const std::string& original)
{
    return "File " + test::Native(target) + " already exists (Original: " + original + ")\n";
}

// The target of Golf (U) in VBoyRen, its duplicates target, and its first
// count alternative names.
std::vector<std::string> GolfAlternatives(int count)
{
    std::vector<std::string> paths = {"VBoyRen/Golf (U).vb", "VBoyDupes/Golf (U).vb"};
    for (int n = 0; n < count; n++)
        paths.push_back(std::string("VBoyDupes/Golf (U).") + (n < 10 ? "v" : "") + std::to_string(n));
    return paths;
}

class Rename : public test::RunTest {};

TEST_F(Rename, TargetsAndTheChangesLogOfEachMode)
{
    const std::string t = "VBoyRen/3D Tetris (U).vb", n = "N: \"3D Tetris (U)\"  O: \"tetris\"\n";
    const std::string o = "O: \"tetris\"  N: \"3D Tetris (U)\"\n", hidden = "N: \"3D Tetris (U)\"  O: \".vb\"\n";
    const struct {
        std::vector<std::string> args;
        std::string name, target, line;  // no line: no log file
        bool onConsole = true;
    } cases[] = {
        {{"rename", "changes"}, "tetris.VB", t, n},
        {{"rename", "changes-"}, "tetris.VB", t, o},
        {{"rename", "nosep", "changes"}, "tetris.VB", "VBoyRen/3DTetris(U).vb", "N: \"3DTetris(U)\"  O: \"tetris\"\n"},
        // No catalogue name is near the 60 characters of the short-name rule.
        {{"rename", "fshort3"}, "tetris.VB", t, ""},
        {{"rename", "changes"}, "3D Tetris (U).vb", t, "N: \"3D Tetris (U)\"  O: \"3D Tetris (U)\"\n"},
        {{"rename", "changesnew"}, "3D Tetris (U).vb", t, ""},
        {{"rename", "changesnew-"}, "3D Tetris (U).VB", t, ""},
        {{"rename", "changesnew"}, "3d tetris (u).vb", t, "N: \"3D Tetris (U)\"  O: \"3d tetris (u)\"\n"},
        {{"rename", "changesnew-"}, "3d tetris (u).vb", t, "O: \"3d tetris (u)\"  N: \"3D Tetris (U)\"\n"},
        {{"rename", "changesnew", "sep_"}, "3D_Tetris_(U).vb", "VBoyRen/3D_Tetris_(U).vb", ""},
        {{"rename", "changesnew", "sep_"}, "3D Tetris (U).vb", "VBoyRen/3D_Tetris_(U).vb",
         "N: \"3D_Tetris_(U)\"  O: \"3D Tetris (U)\"\n"},
        {{"rename", "changes", "quiet"}, "tetris.VB", t, n, false},
        // A hidden file whose only dot leads its name has no extension.
        {{"rename", "changes"}, ".vb", "VBoyRen/3D Tetris (U)", hidden},
        {{"move", "changes"}, "tetris.VB", "VBoyRen/tetris.VB", n},
        {{"move", "sep_"}, "my tetris.VB", "VBoyRen/my tetris.VB", ""},
        {{"rename", "move"}, "tetris.VB", "VBoyRen/tetris.VB", ""},
        {{"list", "changes-"}, "tetris.VB", "tetris.VB", o},
        {{"list", "changes"}, ".vb", ".vb", hidden},
        // An archive moves whole.
        {{"rename"}, "tetris.ZIP", "VBoyRen/3D Tetris (U).zip", ""},
        {{"move"}, "tetris.ZIP", "VBoyRen/tetris.ZIP", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args) + " " + c.name);
        Fresh();
        std::string image = test::KnownImage("3D Tetris (U)");
        image = c.name.find(".ZIP") != std::string::npos ? test::Zipped(image) : image;
        Put(c.name, image);
        test::RunResult r = Run(c.args);
        EXPECT_EQ(r.out, Prelude() + (c.onConsole ? c.line : "") + test::MissingLine(36) + test::HaveLine(1));
        EXPECT_EQ(test::AfterBanner(r.err), "");
        EXPECT_EQ(test::ReadFile(At(c.target)), image);
        std::set<std::string> files = {c.target, "VBoyHave.txt", "VBoyMiss.txt"};
        if (!c.line.empty())
            files.insert("VBoyLog.txt");
        EXPECT_EQ(Files(), files);
        EXPECT_EQ(test::ReadText(At("VBoyLog.txt")), c.line);
    }
    // The log grows from run to run.
    Fresh();
    Put("tetris.VB", test::KnownImage("3D Tetris (U)"));
    Run({"list", "changes"});
    Run({"move", "changes-"});
    EXPECT_EQ(test::ReadText(At("VBoyLog.txt")), n + o);
    // An image the catalogue does not know leaves no trace.
    Fresh();
    Put("mystery.vb", test::MakeImageWithCrc(8192, 0x12345678));
    EXPECT_EQ(Run({"rename", "changes"}).out, Prelude() + test::MissingLine(37));
    EXPECT_EQ(Files(), (std::set<std::string>{"VBoyMiss.txt", "mystery.vb"}));
    EXPECT_FALSE(test::FileExists(DatabasePath()));
}

TEST_F(Rename, TakenTargetsSendTheImageToDuplicatesUnderFreeNames)
{
    const struct {
        std::vector<std::string> args;
        std::string game, name;
        std::vector<std::string> taken;  // the first is the target in VBoyRen
        std::string landed;
        std::string notice = "";  // printed instead of the "already exists" line
    } cases[] = {
        // The old extension, in its own case; no separator rule.
        {{"rename"}, "Golf (U)", "golf.VB", {"VBoyRen/Golf (U).vb"}, "VBoyDupes/Golf (U).VB"},
        {{"rename", "sep_"}, "3D Tetris (U)", "tetris.vb", {"VBoyRen/3D_Tetris_(U).vb"}, "VBoyDupes/3D Tetris (U).vb"},
        {{"rename"}, "Golf (U)", "golf.vb", GolfAlternatives(1), "VBoyDupes/Golf (U).v1"},
        {{"rename"}, "Golf (U)", "golf.vb", GolfAlternatives(43), "VBoyDupes/Golf (U).43"},
        {{"move"}, "Golf (U)", "golf.VB", {"VBoyRen/golf.VB", "VBoyDupes/golf.VB", "VBoyDupes/golf.V0"},
         "VBoyDupes/golf.V1"},
        // An archive's duplicate keeps the archive's own extension.
        {{"rename"}, "Golf (U)", "golf.ZIP", {"VBoyRen/Golf (U).zip", "VBoyDupes/Golf (U).ZIP"},
         "VBoyDupes/Golf (U).ZI0"},
        // Out of alternative names, under quiet too: the image stays, counted.
        {{"rename", "quiet"}, "Golf (U)", "golf.vb", GolfAlternatives(100), "golf.vb", "Out of temp filenames!\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args) + " " + c.name + " into " + c.landed);
        Fresh();
        uint32_t seed = 50;
        for (const std::string& t : c.taken)
            Put(t, test::MakeImage(8192, seed++));  // Run finds an occupant replaced
        std::string image = test::KnownImage(c.game);
        image = c.name.find(".ZIP") != std::string::npos ? test::Zipped(image) : image;
        Put(c.name, image);

        test::RunResult r = Run(c.args);
        std::string notice = c.notice.empty() ? Exists(c.taken[0], c.name) : c.notice;
        EXPECT_EQ(r.out, Prelude() + notice + test::MissingLine(36) + test::HaveLine(1));
        EXPECT_EQ(test::ReadFile(At(c.landed)), image);
        EXPECT_EQ(Files().size(), c.taken.size() + 3) << "the image, VBoyHave.txt and VBoyMiss.txt";
    }
}

TEST_F(Rename, ListTouchesNoFileAndWritesTheThreeReportsAndTheDatabase)
{
    Put("golf.vb", test::KnownImage("Golf (U)"));
    Put("tele.vb", test::KnownImage("Teleroboxer (JU)"));
    Put("tele2.vb", test::KnownImage("Teleroboxer (JU)", 2));

    test::RunResult r = Run({"list"});
    EXPECT_EQ(r.out, Prelude() + test::MissingLine(35) + test::HaveLine(2) +
                         "Multiple copies of the following were found:\nTeleroboxer (JU) [2 copies]\n");
    EXPECT_EQ(test::AfterBanner(r.err), "");
    std::string missing = " " + test::MissingLine(35);
    for (int i = 0; i < KnownRomCount; i++)
        if (i != 3 && i != 23)
            missing += std::string(KnownRomTable[i] + EntryNameOffset) + "\n";
    EXPECT_EQ(test::ReadText(At("VBoyMiss.txt")), missing);
    EXPECT_EQ(test::ReadText(At("VBoyHave.txt")), " " + test::HaveLine(2) + "Golf (U)\nTeleroboxer (JU)\n");
    EXPECT_EQ(test::ReadText(At("VBoyDupes.txt")), "Teleroboxer (JU) [2 copies]\n");
    EXPECT_EQ(test::ReadFile(DatabasePath()), test::HaveDatabase({0x2199af41, 0x36103000}));
    EXPECT_EQ(test::Snapshot(s.program).size(), 2u) << "the program and its database, no temporary file";
    EXPECT_EQ(Files(), (std::set<std::string>{"golf.vb", "tele.vb", "tele2.vb", "VBoyHave.txt", "VBoyMiss.txt",
                                              "VBoyDupes.txt"}));
}

TEST_F(Rename, ReloadMakesAnImageFoundAgainADuplicate)
{
    const std::string found = "Found QuorVBoy.db, Ignoring VBoyHave.txt\n";
    const std::string dupes = "Multiple copies of the following were found:\nGolf (U) [2 copies]\n";
    Put("golf.vb", test::KnownImage("Golf (U)"));
    EXPECT_EQ(Run({"rename"}).out, Prelude() + test::MissingLine(36) + test::HaveLine(1));
    EXPECT_EQ(test::ReadFile(DatabasePath()), test::HaveDatabase({0x2199af41}));

    Put("another golf.vb", test::KnownImage("Golf (U)", 2));
    EXPECT_EQ(Run({"rename"}).out, NoGroupFile() + found + test::StatsLine + test::ScanningLine +
                                       Exists("VBoyRen/Golf (U).vb", "another golf.vb") + test::MissingLine(36) +
                                       test::HaveLine(1) + dupes);
    EXPECT_TRUE(test::FileExists(At("VBoyDupes/Golf (U).vb")));
    // Nothing new: the image is had once. A new copy adds its line to the report.
    EXPECT_EQ(Run({"list"}).out,
              NoGroupFile() + found + test::StatsLine + test::ScanningLine + test::MissingLine(36) + test::HaveLine(1));
    Put("third.vb", test::KnownImage("Golf (U)", 3));
    Run({"list", "quiet"});
    EXPECT_EQ(test::ReadText(At("VBoyDupes.txt")), "Golf (U) [2 copies]\nGolf (U) [2 copies]\n");
    EXPECT_EQ(test::ReadFile(DatabasePath()), test::HaveDatabase({0x2199af41}));
}

TEST_F(Rename, ReloadSources)
{
    const std::string golf = test::HaveDatabase({0x2199af41}), list = " x\n\nWaterworld (U)\n";
    const std::string notUpdated = "NODB specified, QuorVBoy.db NOT updated\n";
    const struct {
        const char* what;
        std::string database, haveList;  // no database when empty
        std::vector<std::string> args;
        std::string notice;  // printed right after the group file line
        std::vector<std::string> had;
        std::string databaseAfter, tail = "";  // printed after the summaries
    } cases[] = {
        {"the database wins", golf, list, {"list"}, "Found QuorVBoy.db, Ignoring VBoyHave.txt\n", {"Golf (U)"}, golf},
        {"nodb reads the have list and keeps the database", golf, list, {"list", "nodb", "quiet"}, "", {"Waterworld (U)"},
         golf, notUpdated},
        {"a database of another system is passed over", test::HaveDatabase({0x2199af41}, 18), list, {"list"}, "",
         {"Waterworld (U)"}, test::HaveDatabase({0x82a95e51})},
        {"a have list with CR LF line ends", "", " You have 2\r\n\r\nGolf (U)\r\nWaterworld (U)\r\n", {"list"}, "",
         {"Golf (U)", "Waterworld (U)"}, test::HaveDatabase({0x2199af41, 0x82a95e51})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Fresh();
        if (!c.database.empty())
            test::WriteFile(DatabasePath(), c.database);
        Put("VBoyHave.txt", c.haveList);
        int had = (int)c.had.size();
        EXPECT_EQ(Run(c.args).out, NoGroupFile() + c.notice + test::StatsLine + test::ScanningLine +
                                       test::MissingLine(37 - had) + test::HaveLine(had) + c.tail);
        std::string expected = " " + test::HaveLine(had);
        for (const std::string& name : c.had)
            expected += name + "\n";
        EXPECT_EQ(test::ReadText(At("VBoyHave.txt")), expected);
        EXPECT_EQ(test::ReadFile(DatabasePath()), c.databaseAfter);
    }
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        n++;
    return n;
}

void MakeReadOnly(const std::string& path)
{
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
}

// Runs as a user for whom permissions hold: this process's user when they hold
// for it, else "nobody" through setpriv.
class ReadOnly : public test::RunTest {
protected:
    void SetUp() override
    {
#ifdef _WIN32
        GTEST_SKIP() << "read-only folders are tested on POSIX systems";
#else
        Open();
        fs::path probe = fs::path(s.root) / "probe";
        fs::create_directory(probe);
        MakeReadOnly(probe.string());
        unprivileged = std::ofstream(probe / "file").is_open();
        fs::permissions(probe, fs::perms::owner_all);
        fs::remove_all(probe);
        if (unprivileged && !fs::exists("/usr/bin/setpriv"))
            GTEST_SKIP() << "every permission and no /usr/bin/setpriv to drop them: read-only folders cannot be tested";
#endif
    }
    std::string Home() const { return test::Join(s.root, "home"); }
    // Lets the user who runs the program write in the scratch folders.
    void Open() const
    {
        for (const std::string& dir : {s.root, s.collection, s.program, Home()})
            fs::permissions(dir, fs::perms::all);
    }
    test::RunResult RunLimited(const std::vector<std::string>& args)
    {
        if (!unprivileged)
            return test::RunQuor(s, args);
        std::string in = test::Join(s.root, "in"), out = test::Join(s.root, "out"), err = test::Join(s.root, "err");
        test::WriteFile(in, "");
        std::vector<std::string> command = {"--reuid=65534", "--regid=65534", "--clear-groups", "/usr/bin/env",
                                            "HOME=" + Home(), test::Join(s.program, "QuorVBoy")};
        command.insert(command.end(), args.begin(), args.end());
        test::RunResult r;
        r.status = test::SpawnProgram("/usr/bin/setpriv", command, s.collection, in, out, err);
        r.out = test::ReadFile(out);
        r.err = test::ReadFile(err);
        EXPECT_EQ(r.status, 0) << r.err;
        return r;
    }
    bool unprivileged = false;
};

TEST_F(ReadOnly, NothingCanBeCreatedAnywhereAndNothingIsLost)
{
    Config("[VBoy]\n");
    Put("Golf (U).vb", test::KnownImage("Golf (U)"));
    Put("golf copy.vb", test::KnownImage("Golf (U)", 2));
    Put("Teleroboxer.vb", test::KnownImage("Teleroboxer (JU)"));
    Put("unknown.vb", test::MakeImageWithCrc(8192, 0x01020304));
    Put("sub/deeper.vb", test::MakeImageWithCrc(8192, 0x0a0b0c0d));
    Put("locked.vb", test::KnownImage("Jack Bros (U)"));
    Put("tiny locked.vb", "too short");
    fs::permissions(At("locked.vb"), fs::perms::none);
    fs::permissions(At("tiny locked.vb"), fs::perms::none);
    for (const std::string& dir : {At("sub"), s.collection, s.program, Home()})
        MakeReadOnly(dir);
    const auto collection = test::Snapshot(s.collection), program = test::Snapshot(s.program);
    const std::pair<std::vector<std::string>, bool> runs[] = {
        {{"scan"}, true}, {{"scand", "deep"}, true}, {{"list"}, false}, {{"rename", "changes"}, false},
        {{"move", "changes-"}, false}};
    for (const auto& run : runs) {
        SCOPED_TRACE(run.first[0]);
        test::RunResult r = RunLimited(run.first);
        // Every name that cannot be created is reported once.
        for (const std::string& line : test::Lines(r.err))
            EXPECT_TRUE(line.rfind("Cannot create ", 0) != 0 || Count(r.err, line + "\n") == 1) << line;
        EXPECT_EQ(Count(r.err, "Cannot create VAvuDevo.zid\n"), run.second ? 1u : 0u) << r.err;
        // Images that cannot be opened are reported and skipped; the open comes before the size test.
        EXPECT_EQ(Count(r.err, "Cannot open locked.vb\n") + Count(r.err, "Cannot open tiny locked.vb\n"), 2u) << r.err;
        EXPECT_EQ(r.err.find("Using default log"), std::string::npos);
        EXPECT_NE(r.out.find(test::ScanningLine), std::string::npos) << "the walk goes on:\n" << r.out;
        EXPECT_EQ(test::Snapshot(s.collection), collection);
        EXPECT_EQ(test::Snapshot(s.program), program);
        EXPECT_TRUE(test::Snapshot(Home()).empty());
    }
}

TEST_F(ReadOnly, DeniedMovesGoToDuplicatesOrStay)
{
    const std::string golf = test::KnownImage("Golf (U)"), tele = test::KnownImage("Teleroboxer (JU)");
    Put("golf.vb", golf);
    test::MakeDirs(At("VBoyRen"));
    MakeReadOnly(At("VBoyRen"));
    test::RunResult r = RunLimited({"rename"});
    EXPECT_EQ(r.out, Prelude() + "File " + test::Native("VBoyRen/Golf (U).vb") +
                         " already exists (Original: golf.vb)\n" + test::MissingLine(36) + test::HaveLine(1));
    EXPECT_EQ(test::AfterBanner(r.err), "");
    EXPECT_EQ(test::ReadFile(At("VBoyDupes/Golf (U).vb")), golf);

    // An output folder that cannot be created is tried once: the first known
    // image is not counted, the second fails to move silently and is counted.
    Fresh();
    Open();
    Put("golf.vb", golf);
    Put("tele.vb", tele);
    MakeReadOnly(s.collection);
    r = RunLimited({"rename"});
    EXPECT_EQ(r.out, Prelude() + test::MissingLine(36) + test::HaveLine(1));
    EXPECT_EQ(test::AfterBanner(r.err), "Error creating dir: 'VBoyRen'\nUsing default log: " +
                                            test::Join(Home(), "VBoyMiss.txt") + "\nUsing default log: " +
                                            test::Join(Home(), "VBoyHave.txt") + "\n");
    EXPECT_EQ(Files(), (std::set<std::string>{"golf.vb", "tele.vb"}));
    EXPECT_EQ(test::ReadText(test::Join(Home(), "VBoyMiss.txt")).rfind(" " + test::MissingLine(36), 0), 0u);
    EXPECT_TRUE(test::FileExists(DatabasePath()));
}

}  // namespace
