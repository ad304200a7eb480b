// core_test.cpp - usage, conflicts, "convert", the emulator CRC file, scan listings and the walk, run end to end
#include "support.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

const char* const UsageText =
    "Usage: QuorVBoy [rename|move|scan[d]|scannew[d]|list[d]|audit[2]\n"
    "       [changes[-]] [changesnew[-]] [quiet] [dirs] [deep] [sep_]\n"
    "\n"
    "rename     = rename ROMs\n"
    "move       = move ROMs\n"
    "scan       = generate listing of all ROMs [w/dirs]\n"
    "scannew    = generate listing of unknown ROMs [w/dirs]\n"
    "list       = lists ROMs you have/need [w/dirs]\n"
    "audit      = prints names not matching any line in Quorinfo.cfg\n"
    "changes    = log rename/move operations (- reverses)\n"
    "changesnew = log rename/move operations that change a filename\n"
    "dirs       = move to dirs using Quorinfo.cfg info\n"
    "quiet      = suppress most non-error messages\n"
    "sepX       = replaces space in filenames with char X\n"
    "deep       = adds more detail to scanfiles where applicable\n"
    "Hit ENTER to continue "
    "\n"
    "Several output files are created depending on selected options:\n"
    "\n"
    "QuorVBoy.db  = database of scanned ROMs\n"
    "VBoyMiss.txt = ROMs missing (if in rename/move/list mode)\n"
    "VBoyHave.txt = ROMS present (if in rename/move/list mode)\n"
    "VAvuDevo.zid = log of 'scan' and 'scannew'\n"
    "VBoyLog.txt  = log of 'changes' and 'changesnew'\n"
    "Quor_ZIP.txt = log of ZIP errors\n"
    "\n";

const char* const ConflictLines =
    "Cannot use more than one of scan,list,rename\n"
    "and cannot mix 'sep' and 'nosep'\n";

const char* const ConvertLine = "Cannot convert this system to other formats\n";

const char* const CrcFile =
    "# This MESS CRC file was generated from Varnel's Quor databases\n"
    "# Please keep this notice intact if editing this file\n"
    "# crc= Game Name | Year | Manufacturer | Emulation Status\n"
    "\n"
    "[vboy]\n"
    "bb71b522= 3D Tetris (U) |  | | \n"
    "d8b823be= Croach, The (PD) |  | | \n"
    "c9710a36= Galactic Pinball (JU) |  | | \n"
    "2199af41= Golf (U) |  | | \n"
    "efd0ac36= Insane Mouse Mansion (J) |  | | \n"
    "cab61e8b= Jack Bros (J) |  | | \n"
    "81af4d6d= Jack Bros (U) |  | | \n"
    "bf0d0ab0= Mario Clash (JU) [a1] |  | | \n"
    "a47de78c= Mario Clash (JU) |  | | \n"
    "5ac0d8bb= Mario's Tennis (JU) [a1] |  | | \n"
    "7ce7460d= Mario's Tennis (JU) |  | | \n"
    "63a181af= Nester's Funky Bowling (U) |  | | Known Bad Dump\n"
    "9c092bce= Nester's Funky Bowling (U) |  | | Known Bad Dump\n"
    "2f76eca9= Nester's Funky Bowling (U) |  | | \n"
    "40498f5e= Panic Bomber (J) |  | | \n"
    "19bb2dfb= Panic Bomber (U) |  | | Known Bad Dump\n"
    "25fb89bb= Panic Bomber (U) |  | | \n"
    "e6d411dc= Reality Boy Demo 1 (PD) |  | | \n"
    "dc2ec5b8= Reality Boy Demo 2 (PD) |  | | \n"
    "7e85c45d= Red Alarm (J) |  | | \n"
    "aa10a7b4= Red Alarm (U) |  | | \n"
    "c2211fcc= Space Squash (J) |  | | \n"
    "6ba07915= T&E Virtual Golf (J) |  | | \n"
    "36103000= Teleroboxer (JU) |  | | \n"
    "3ccb67ae= V Tetris (J) |  | | \n"
    "05d06377= Vertical Force (J) |  | | \n"
    "4c32ba5e= Vertical Force (U) |  | | \n"
    "2e20b6e7= Virtual Baseball (U) |  | | \n"
    "133e9372= Virtual Boy Wario Land (JU) |  | | \n"
    "45471e40= Virtual Fishing (J) |  | | \n"
    "41fb63bf= Virtual Golf (J) |  | | \n"
    "cc62ab38= Virtual League Baseball (U) |  | | \n"
    "42e17e38= Virtual Pong (PD) |  | | \n"
    "9ba8bb5e= Virtual Pro Yakyuu '95 (J) |  | | \n"
    "c44b6874= Virtual-E Cursor Demo (PD) |  | | \n"
    "742298d1= Waterworld (U) [a1] |  | | \n"
    "82a95e51= Waterworld (U) |  | | \n";

// The text with the banner's two lines, which are checked, shown as "<banner>".
std::string Marked(const std::string& text)
{
    size_t at = text.find("QuorVBoy:");
    return at == std::string::npos ? text : text.substr(0, at) + "<banner>" + test::AfterBanner(text.substr(at));
}

class Core : public test::RunTest {};

TEST_F(Core, UsageConflictsConvertAndTheCrcFile)
{
    const std::string usage = UsageText, both = usage + ConflictLines, convert = ConvertLine;
    const struct {
        std::vector<std::string> args;
        std::string input, out, err;
    } cases[] = {
        // No mode: the usage with its pause, which reads one line and goes on at the end of the input.
        {{}, "\n", "<banner>" + test::StatsLine, usage},
        {{"quiet"}, "", "<banner>" + test::StatsLine, usage},
        {{"deep", "dirs", "nodb", "changes", "sep_", "unknown"}, "x", "<banner>" + test::StatsLine, usage},
        {{"sep ", "nosep"}, "a much longer answer than fifteen characters\nmore\n", "<banner>" + test::StatsLine, usage},
        // More than one mode, or sep with nosep: usage and both lines, nothing run.
        {{"list", "rename"}, "\n", "", "<banner>" + both},
        {{"scan", "audit"}, "\n", "", "<banner>" + both},
        {{"sep_", "nosep"}, "\n", "", "<banner>" + both},
        {{"rename", "messfiles"}, "\n", "", "<banner>" + both},
        {{"scannew", "sepn", "nosep"}, "\n", "", "<banner>" + both},
        {{"list", "v-----n"}, "\n", "<banner>", both},  // the banner on standard output
        // "convert" prints its line first and is no mode.
        {{"convert"}, "\n", convert + "<banner>" + test::StatsLine, usage},
        {{"convert", "list", "rename"}, "\n", convert, "<banner>" + both},
        // The emulator CRC file alone on standard output, its notices on standard error, no walk.
        {{"messfiles"}, "", CrcFile, "<banner>" + NoGroupFile()},
        {{"convert", "MESSFILES"}, "", convert + CrcFile, "<banner>" + NoGroupFile()},
    };
    Put("game.vb", test::MakeImage(8192, 1));
    for (const auto& c : cases) {
        test::RunResult r = Run(c.args, c.input);
        EXPECT_EQ(Marked(r.out), c.out) << testing::PrintToString(c.args);
        EXPECT_EQ(Marked(r.err), c.err) << testing::PrintToString(c.args);
        EXPECT_EQ(Files(), std::set<std::string>{"game.vb"}) << "nothing is written";
    }
}

TEST_F(Core, CrcFileModeReadsTheGroupsButNoListAndChangesNothing)
{
    std::string manyRules = "[VBoy]\nxy\nKEY=1234\n";
    for (int i = 0; i < 70; i++)
        manyRules += "(U" + std::to_string(i) + "):Dir" + std::to_string(i) + "\n";
    Config(manyRules);
    test::WriteFile(DatabasePath(), test::HaveDatabase({0x36103000}));
    Put("VBoyHave.txt", " have\n\nGolf (U)\n");
    Put("game.vb", test::KnownImage("Golf (U)"));
    for (const auto& args : {std::vector<std::string>{"messfiles"}, {"nodb", "messfiles", "quiet"}}) {
        auto before = test::Snapshot(s.root);
        test::RunResult r = Run(args);
        EXPECT_EQ(r.out, CrcFile);
        EXPECT_EQ(test::AfterBanner(r.err), "Cannot interpret \"xy\n\"\nOnly 64 patterns allowed!\n");
        EXPECT_EQ(test::Snapshot(s.root), before) << "no walk, no lists, no database";
    }
}

const uint32_t JackBros = 0x81af4d6d, Golf = 0x2199af41, Teleroboxer = 0x36103000;
const uint32_t Unknown1 = 0x0000abcd, Unknown2 = 0xfeedf00d;

std::vector<std::string> Sorted(std::vector<std::string> lines)
{
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::string Scanning(const std::string& dir)
{
    return "Scanning " + test::Join(test::Join(".", dir), "*.vb");
}

class Scan : public test::RunTest {
protected:
    void SetUp() override { Config("[VBoy]\n"); }  // an empty section keeps the reader quiet
    void Image(const std::string& path, uint32_t crc, uint32_t size = 8192)
    {
        Put(path, test::MakeImageWithCrc(size, crc, crc ^ size));
    }
    // Runs the program and gives the lines after the statistics and the
    // walk's first line, which every run prints.
    std::vector<std::string> Walk(const std::vector<std::string>& args)
    {
        result = Run(args);
        std::string head = test::StatsLine + test::ScanningLine;
        EXPECT_EQ(result.out.substr(0, head.size()), head);
        return test::Lines(result.out.substr(std::min(head.size(), result.out.size())));
    }
    std::vector<std::string> Listing() const { return Sorted(test::Lines(test::ReadText(At("VAvuDevo.zid")))); }
    test::RunResult result;
};

TEST_F(Scan, ScanListsEveryLooseImageOfTheStartDirectoryThatPassesTheSizeThenTheFormatTest)
{
    Image("Jack Bros (U).vb", JackBros);
    Image("a.b.VB", Unknown1, 2099200);
    Image(".vb", Golf);  // a hidden file is taken like any other
    Image(".secret.Vb", Teleroboxer);
    Image("notes.txt", Unknown2);
    Image("game.vbx", Unknown2);
    Image("sub/inside.vb", Golf);  // subfolders only with the "d" forms
    Image("s8191.vb", Unknown2, 8191);
    Image("s2099201.vb", Unknown2, 2099201);
    Put("plain.vb", test::MakeImage(8192, 1, false));
    Put("plain8191.vb", test::MakeImage(8191, 1, false));
    EXPECT_EQ(Sorted(Walk({"scan"})),
              Sorted({"Unrecognized image size in s8191.vb", "Unrecognized image size in s2099201.vb",
                      "Unrecognized image size in plain8191.vb", "NOT in Nintendo Virtual Boy Format --> plain.vb"}));
    EXPECT_EQ(Listing(), Sorted({test::ListingLine(JackBros, "Jack Bros (U)"), test::ListingLine(Unknown1, "a.b"),
                                 test::ListingLine(Golf, ".vb"), test::ListingLine(Teleroboxer, ".secret")}));
    EXPECT_EQ(test::AfterBanner(result.err), "");

    // 4 GiB + 8,192 bytes would pass as 8,192 by its low 32 bits.
    fs::remove_all(s.collection);
    Image("huge.vb", Golf);
    std::error_code ec;
    fs::resize_file(At("huge.vb"), (uintmax_t(1) << 32) + 8192, ec);
    if (ec)
        GTEST_SKIP() << "this file system cannot hold a sparse file of 4 GiB: " << ec.message();
    EXPECT_EQ(Walk({"scan"}), std::vector<std::string>{"Unrecognized image size in huge.vb"});
    EXPECT_FALSE(test::FileExists(At("VAvuDevo.zid")));
}

TEST_F(Scan, ScanNewLeavesOutKnownImagesUnlessDeepAndTheListingIsAppendedTo)
{
    Image("known.vb", JackBros);
    EXPECT_EQ(Walk({"scannew"}), std::vector<std::string>{});
    EXPECT_FALSE(test::FileExists(At("VAvuDevo.zid"))) << "created only when a line is due";
    Image("unknown.vb", Unknown2);
    test::WriteFile(At("VAvuDevo.zid"), "\"00000000 earlier run\",\n", true);
    for (const auto& args : {std::vector<std::string>{"scannew"}, {"scan", "scannew"}, {"deep", "SCANNEW"}, {"scan"}})
        EXPECT_EQ(Walk(args), std::vector<std::string>{});
    const std::string known = test::ListingLine(JackBros, "known"), unknown = test::ListingLine(Unknown2, "unknown");
    EXPECT_EQ(Listing(), Sorted({"\"00000000 earlier run\",", unknown, unknown, known, unknown, known, unknown}));
}

TEST_F(Scan, TheDFormsWalkSubfoldersButNotHiddenOrMarkedOnesAndTheFilesStayInTheStartDirectory)
{
    Image("top.vb", JackBros);
    Image("A/a.vb", Unknown1);
    Image("A/B/b.vb", Golf);
    Put("A/B/bad.zip", "");
    Image(".hidden/h.vb", Unknown2);
    test::Hide(At(".hidden"));
    Image("M/m.vb", Unknown2);
    Put("M/_noscan.Quor", "");
    Image("N/n.vb", Unknown2);
    Put("N/_noscan.QuorVBoy", "");
    Put("_noscan.Quor", "");  // no effect in the start directory itself
    const std::string bad = "Error in zipfile bad.zip\nThe zipfile seems to be corrupt, please check it";
    const std::vector<std::string> all = Sorted(
        {test::ListingLine(JackBros, "top"), test::ListingLine(Unknown1, "a"), test::ListingLine(Golf, "b")});
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> listing;
        std::string skip = " (noscan file found)";
    } cases[] = {{{"scand"}, all}, {{"scannewd"}, {test::ListingLine(Unknown1, "a")}},
                 {{"scannewd", "deep", "quiet"}, all, ""}};
    for (const auto& c : cases) {
        fs::remove(At("VAvuDevo.zid"));
        std::string walk;
        for (const std::string& line : Walk(c.args))
            walk += line + "\n";
        // The walk's order depends on the folder listing; each line block stays together.
        std::vector<std::string> blocks = {Scanning("A") + "\n" + Scanning("B") + "\n" + bad + "\n", Scanning("M") + "\n",
                                           Scanning("N") + "\n"};
        if (!c.skip.empty())
            blocks = {blocks[0], Scanning("M") + "\nSkipping " + test::Join(".", "M") + c.skip + "\n",
                      Scanning("N") + "\nSkipping " + test::Join(".", "N") + c.skip + "\n"};
        size_t length = 0;
        for (const std::string& block : blocks) {
            EXPECT_NE(walk.find(block), std::string::npos) << block << " in\n" << walk;
            length += block.size();
        }
        EXPECT_EQ(walk.size(), length) << walk;
        EXPECT_EQ(Listing(), Sorted(c.listing)) << testing::PrintToString(c.args);
    }
    EXPECT_EQ(Files(), (std::set<std::string>{"top.vb", "A/a.vb", "A/B/b.vb", "A/B/bad.zip", ".hidden/h.vb", "M/m.vb",
                                              "M/_noscan.Quor", "N/n.vb", "N/_noscan.QuorVBoy", "_noscan.Quor",
                                              "VAvuDevo.zid", "Quor_ZIP.txt"}));
    std::string logLine = "Error in zipfile bad.zip: Empty file\n";
    EXPECT_EQ(test::ReadText(At("Quor_ZIP.txt")), logLine + logLine + logLine) << "one line a run, in the start directory";
}

TEST_F(Scan, LinksBackUpTheTreeEndTheWalk)
{
    Image("top.vb", Unknown1);
    Image("A/a.vb", Unknown2);
    std::error_code ec;
    for (const auto& link : {std::pair<std::string, std::string>{"..", "A/up"}, {".", "A/self"}, {s.collection, "A/root"}})
        if (!ec)
            fs::create_directory_symlink(link.first, At(link.second), ec);
    if (ec)
        GTEST_SKIP() << "cannot create directory links here: " << ec.message();
    // Every folder comes up once; a link to a folder being walked is skipped
    // after its "Scanning" line, like a folder that cannot be entered.
    EXPECT_EQ(Sorted(Walk({"scand"})), Sorted({Scanning("A"), Scanning("up"), Scanning("self"), Scanning("root")}));
    EXPECT_EQ(Listing(), Sorted({test::ListingLine(Unknown1, "top"), test::ListingLine(Unknown2, "a")}));
}

}  // namespace
