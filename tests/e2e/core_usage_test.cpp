// core_usage_test.cpp - the usage text, the conflict lines, "convert", and the emulator CRC file mode, run end to end
#include "support.h"

#include <gtest/gtest.h>

namespace {

const char* const StatsLine = "\nStats: 37 entries, 0 redumps, 0 hacks/trainers, 3 bad/overdumps\n";

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

// The word of the hidden row that selects the emulator CRC file.
const char* const CrcFileWord = "messfiles";

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

// The two banner lines, checked for what is fixed of them, or "" after a
// failure.
std::string Banner(const std::string& text)
{
    size_t first = text.find('\n');
    size_t second = first == std::string::npos ? first : text.find('\n', first + 1);
    if (second == std::string::npos) {
        ADD_FAILURE() << "no two banner lines in:\n" << text;
        return "";
    }
    std::string line1 = text.substr(0, first);
    EXPECT_EQ(line1.rfind("QuorVBoy:", 0), 0u) << line1;
    EXPECT_GE(line1.size(), 5u);
    EXPECT_EQ(line1.substr(line1.size() - 5), "V1.00") << line1;
    EXPECT_GT(second, first + 1) << "the banner's second line is empty";
    return text.substr(0, second + 1);
}

TEST(CoreUsage, NoModeShowsBannerUsagePauseAndStatistics)
{
    const std::vector<std::vector<std::string>> commandLines = {
        {}, {"quiet"}, {"deep", "dirs", "nodb", "changes", "sep_", "unknown"}, {"nosep"}};
    for (const auto& args : commandLines) {
        test::Scratch s;
        test::RunResult r = test::RunQuor(s, args, "\n");
        EXPECT_EQ(r.status, 0);
        std::string banner = Banner(r.out);
        EXPECT_EQ(r.out, banner + StatsLine);
        EXPECT_EQ(r.err, UsageText);
        // Nothing is read or written.
        EXPECT_TRUE(test::Snapshot(s.collection).empty());
    }
}

TEST(CoreUsage, PauseReadsOneLineAndGoesOnAtEndOfInput)
{
    test::Scratch s;
    for (const std::string input : {"", "x", "a much longer answer than fifteen characters\nmore\n"}) {
        test::RunResult r = test::RunQuor(s, {}, input);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, UsageText) << "input \"" << input << "\"";
    }
}

TEST(CoreUsage, ConflictsShowUsageAndBothLinesAndRunNothing)
{
    test::Scratch s;
    test::WriteFile(test::Join(s.collection, "game.vb"), test::MakeImage(8192, 1));
    const std::vector<std::vector<std::string>> commandLines = {
        {"list", "rename"}, {"scan", "list"}, {"sep_", "nosep"}, {"scan", "audit"},
        {"rename", CrcFileWord}, {"scannew", "sepn", "nosep"}};
    for (const auto& args : commandLines) {
        test::RunResult r = test::RunQuor(s, args, "\n");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");
        std::string banner = Banner(r.err);
        EXPECT_EQ(r.err, banner + UsageText + ConflictLines) << args[0] << " " << args[1];
    }
    // With the row-1 word the banner goes to standard output.
    test::RunResult r = test::RunQuor(s, {"list", "v-----n"}, "\n");
    std::string banner = Banner(r.out);
    EXPECT_EQ(r.out, banner);
    EXPECT_EQ(r.err, std::string(UsageText) + ConflictLines);
    // No listing, no list, no log: nothing but the image.
    EXPECT_EQ(test::Snapshot(s.collection).size(), 1u);
}

TEST(CoreUsage, ConvertPrintsItsLineFirstAndIsNoMode)
{
    test::Scratch s;
    test::RunResult r = test::RunQuor(s, {"convert"}, "\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, ConvertLine + Banner(r.out.substr(std::string(ConvertLine).size())) + StatsLine);
    EXPECT_EQ(r.err, UsageText);

    r = test::RunQuor(s, {"convert", "list", "rename"}, "\n");
    EXPECT_EQ(r.out, ConvertLine);
    EXPECT_EQ(r.err, Banner(r.err) + UsageText + ConflictLines);
}

// The program folder and start directory set up before a CRC file run.
struct CrcFileSetup {
    const char* what;
    std::vector<std::string> args;
    std::string groupInfo;  // QuorInfo.cfg beside the program; none when empty
    bool haveFiles;         // a have database and a have list to reload
};

TEST(CoreCrcFile, StandardOutputIsTheCrcFileAlone)
{
    std::string manyRules = "[VBoy]\n";
    for (int i = 0; i < 70; i++)
        manyRules += "(U" + std::to_string(i) + "):Dir" + std::to_string(i) + "\n";
    const CrcFileSetup setups[] = {
        {"no group information file", {CrcFileWord}, "", false},
        {"an empty section", {CrcFileWord}, "[VBoy]\n", false},
        {"nodb", {CrcFileWord, "nodb"}, "", false},
        {"quiet", {CrcFileWord, "quiet"}, "", false},
        {"nodb and quiet", {"nodb", CrcFileWord, "quiet"}, "", false},
        {"nodb with a have list", {CrcFileWord, "nodb"}, "[VBoy]\n", true},
        {"a database to reload", {CrcFileWord}, "[VBoy]\n", true},
        {"lines the reader cannot interpret", {CrcFileWord}, "[VBoy]\nxy\nno colon here\nKEY=1234\n", false},
        {"too many rules", {CrcFileWord}, manyRules, false},
        {"upper case word", {"MESSFILES"}, "", false},
    };
    for (const CrcFileSetup& setup : setups) {
        test::Scratch s;
        if (!setup.groupInfo.empty())
            test::WriteFile(test::Join(s.program, "QuorInfo.cfg"), setup.groupInfo);
        if (setup.haveFiles) {
            test::WriteFile(test::Join(s.program, "QuorVBoy.db"), std::string("QUOR\0\0\0\x13\x36\x10\x30\x00", 12));
            test::WriteFile(test::Join(s.collection, "VBoyHave.txt"), " have\n\nGolf (U)\n");
        }
        test::WriteFile(test::Join(s.collection, "game.vb"), test::MakeImageWithCrc(8192, 0x2199af41));
        auto collectionBefore = test::Snapshot(s.collection);
        auto programBefore = test::Snapshot(s.program);

        test::RunResult r = test::RunQuor(s, setup.args);
        EXPECT_EQ(r.status, 0) << setup.what;
        EXPECT_EQ(r.out, CrcFile) << setup.what;
        Banner(r.err);
        // No walk, no lists, no database: nothing changes.
        EXPECT_EQ(test::Snapshot(s.collection), collectionBefore) << setup.what;
        EXPECT_EQ(test::Snapshot(s.program), programBefore) << setup.what;
        EXPECT_TRUE(test::Snapshot(test::Join(s.root, "home")).empty()) << setup.what;
    }
}

TEST(CoreCrcFile, ConvertLineStaysFirst)
{
    test::Scratch s;
    test::RunResult r = test::RunQuor(s, {"convert", CrcFileWord});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string(ConvertLine) + CrcFile);
}

}  // namespace
