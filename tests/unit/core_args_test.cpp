// core_args_test.cpp - command-line words matched by letter positions, the mode count, and the program directory
#include "support.h"

#include "run/run.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// Every RunOptions value by name, for comparing whole states.
std::map<std::string, int> Options()
{
    return {
        {"Rename", OptRename},       {"Move", OptMove},
        {"List", OptList},           {"ListDirs", OptListDirs},
        {"Scan", OptScan},           {"ScanNew", OptScanNew},
        {"ScanDirs", OptScanDirs},   {"Deep", OptDeep},
        {"Dirs", OptDirs},           {"Quiet", OptQuiet},
        {"Changes", OptChanges},     {"ChangesReverse", OptChangesReverse},
        {"ChangesAll", OptChangesAll}, {"NoDb", OptNoDb},
        {"ShortNames", OptShortNames}, {"Sep", OptSep},
        {"NoSep", OptNoSep},         {"SepChar", SepChar},
        {"Audit", OptAudit},         {"Audit2", OptAudit2},
        {"Audit3", OptAudit3},       {"Audit4", OptAudit4},
        {"CrcFile", OptCrcFile},     {"BannerToStdout", OptBannerToStdout},
    };
}

// The options at start with the given changes applied.
std::map<std::string, int> StartWith(const std::map<std::string, int>& changes)
{
    ResetRunOptions();
    std::map<std::string, int> expected = Options();
    for (const auto& change : changes) {
        EXPECT_TRUE(expected.count(change.first)) << "no option " << change.first;
        expected[change.first] = change.second;
    }
    return expected;
}

class ArgumentMatching : public ::testing::Test {
protected:
    void SetUp() override { ResetRunOptions(); }
    void TearDown() override { ResetRunOptions(); }

    // Parses args as a command line after the program name.
    int Parse(std::vector<std::string> args)
    {
        args.insert(args.begin(), "QuorVBoy");
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(&a[0]);
        argv.push_back(nullptr);
        return ParseArguments((int)args.size(), argv.data());
    }
};

TEST_F(ArgumentMatching, StartState)
{
    MatchArgument("scannewd");
    MatchArgument("changesnew-");
    MatchArgument("sep_");
    ResetRunOptions();
    for (const auto& option : Options()) {
        int expected = option.first == "ChangesAll" ? 1 : option.first == "SepChar" ? ' ' : 0;
        EXPECT_EQ(option.second, expected) << option.first;
    }
}

struct WordCase {
    const char* word;
    std::map<std::string, int> changes;
};

TEST_F(ArgumentMatching, EachWordSetsExactlyItsRows)
{
    const WordCase cases[] = {
        // Case folding: only the tested letters count, in any case.
        {"rename", {{"Rename", 1}}},
        {"RENAME", {{"Rename", 1}}},
        {"Rename", {{"Rename", 1}}},
        {"r", {{"Rename", 1}}},
        {"move", {{"Move", 1}, {"Rename", 1}}},
        {"MoVe", {{"Move", 1}, {"Rename", 1}}},
        {"list", {{"List", 1}}},
        {"listd", {{"List", 1}, {"ListDirs", 1}}},
        {"LISTD", {{"List", 1}, {"ListDirs", 1}}},
        {"scan", {{"Scan", 1}}},
        {"scand", {{"Scan", 1}, {"ScanDirs", 1}}},
        {"scannew", {{"Scan", 1}, {"ScanNew", 1}}},
        {"scannewd", {{"Scan", 1}, {"ScanNew", 1}, {"ScanDirs", 1}}},
        {"SCANNEWD", {{"Scan", 1}, {"ScanNew", 1}, {"ScanDirs", 1}}},
        {"deep", {{"Deep", 1}}},
        {"dirs", {{"Dirs", 1}}},
        {"quiet", {{"Quiet", 1}}},
        {"q", {{"Quiet", 1}}},
        {"nodb", {{"NoDb", 1}}},
        {"nosep", {{"Sep", 1}, {"NoSep", 1}}},
        {"audit", {{"Audit", 1}}},
        {"audit2", {{"Audit", 1}, {"Audit2", 1}}},
        {"audit3", {{"Audit", 1}, {"Audit3", 1}}},
        {"audit4", {{"Audit", 1}, {"Audit4", 1}}},
        {"audit5", {{"Audit", 1}}},
        {"changes", {{"Changes", 1}}},
        {"changes-", {{"Changes", 1}, {"ChangesReverse", 1}}},
        {"changesnew", {{"Changes", 1}, {"ChangesAll", 0}}},
        {"changesnew-", {{"Changes", 1}, {"ChangesAll", 0}, {"ChangesReverse", 1}}},
        // sepX keeps the case of X; sepn is also a scan word (4th letter N).
        {"sep_", {{"Sep", 1}, {"SepChar", '_'}}},
        {"sepX", {{"Sep", 1}, {"SepChar", 'X'}}},
        {"sepx", {{"Sep", 1}, {"SepChar", 'x'}}},
        {"sepn", {{"Sep", 1}, {"SepChar", 'n'}, {"Scan", 1}}},
        // The hidden rows: banner to standard output, short names, CRC file.
        {"v-----n", {{"BannerToStdout", 1}}},
        {"f-----3", {{"ShortNames", 1}}},
        {"messfiles", {{"CrcFile", 1}}},
        // Untested positions are never looked at.
        {"rxyz", {{"Rename", 1}}},
        {"lxxxdzz", {{"List", 1}, {"ListDirs", 1}}},
        {"s..n", {{"Scan", 1}}},
        {"a...t9", {{"Audit", 1}}},
        {"ch", {{"Changes", 1}}},
        {"m.vs....s", {{"Move", 1}, {"Rename", 1}, {"CrcFile", 1}}},
        // Positions past the end never match.
        {"sca", {}},
        {"sep", {}},
        {"sep__", {}},
        {"d", {}},
        {"audi", {}},
        {"audit-2", {{"Audit", 1}}},
        {"f-----", {}},
        {"v-----", {}},
        {"messfile", {}},
        // Words that match no row.
        {"", {}},
        {"hello", {}},
        {"-rename", {}},
        {"1", {}},
    };
    for (const WordCase& c : cases) {
        std::map<std::string, int> expected = StartWith(c.changes);
        ResetRunOptions();
        MatchArgument(c.word);
        EXPECT_EQ(Options(), expected) << "word \"" << c.word << "\"";
    }
}

TEST_F(ArgumentMatching, ConvertPrintsItsLineAndSetsNothing)
{
    for (const char* word : {"convert", "CONVERT", "c12345t"}) {
        std::map<std::string, int> expected = StartWith({});
        testing::internal::CaptureStdout();
        MatchArgument(word);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "Cannot convert this system to other formats\n") << word;
        EXPECT_EQ(Options(), expected) << word;
    }
    testing::internal::CaptureStdout();
    MatchArgument("conver");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

struct CountCase {
    std::vector<std::string> args;
    int modes;
};

TEST_F(ArgumentMatching, ModeCount)
{
    const CountCase cases[] = {
        {{}, 0},
        {{"quiet"}, 0},
        {{"deep", "dirs", "nodb", "changes"}, 0},
        {{"sep_"}, 0},
        {{"nosep"}, 0},
        {{"rename"}, 1},
        {{"rename", "move"}, 1},
        {{"move", "rename"}, 1},
        {{"scan", "scannew"}, 1},
        {{"list", "listd"}, 1},
        {{"audit", "audit2"}, 1},
        {{"messfiles"}, 1},
        {{"v-----n"}, 1},
        {{"convert", "list"}, 1},
        {{"list", "rename"}, 2},
        {{"scan", "list"}, 2},
        {{"scan", "audit"}, 2},
        {{"list", "messfiles"}, 2},
        {{"rename", "v-----n"}, 2},
        // sep with nosep is a conflict of its own, even with no mode.
        {{"sep_", "nosep"}, 2},
        {{"nosep", "sepX"}, 2},
        {{"sepn", "nosep"}, 3},
        {{"rename", "sep_", "nosep"}, 3},
        {{"scan", "list", "rename", "audit", "messfiles", "v-----n"}, 6},
    };
    for (const CountCase& c : cases) {
        ResetRunOptions();
        std::string shown;
        for (const std::string& a : c.args)
            shown += a + " ";
        testing::internal::CaptureStdout();
        EXPECT_EQ(Parse(c.args), c.modes) << "arguments: " << shown;
        testing::internal::GetCapturedStdout();
    }
}

TEST_F(ArgumentMatching, SepWithNoSepMarksTheConflict)
{
    EXPECT_EQ(Parse({"sep_", "nosep"}), 2);
    EXPECT_EQ(OptCrcFile, 2);
    ResetRunOptions();
    // A space character for X is no conflict: SepChar stays a space.
    EXPECT_EQ(Parse({"sep ", "nosep"}), 0);
    EXPECT_EQ(OptCrcFile, 0);
}

TEST(ProgramDirectory, CutAfterTheLastSeparator)
{
    const std::string s = test::Sep();
    EXPECT_EQ(ProgramDirectoryOf(s + "usr" + s + "bin" + s + "QuorVBoy"), s + "usr" + s + "bin" + s);
    EXPECT_EQ(ProgramDirectoryOf("opt" + s + "QuorVBoy"), "opt" + s);
    // No separator after the first character: the path is used whole.
    EXPECT_EQ(ProgramDirectoryOf("QuorVBoy"), "QuorVBoy" + s);
    EXPECT_EQ(ProgramDirectoryOf(s + "QuorVBoy"), s + "QuorVBoy" + s);
#ifdef _WIN32
    EXPECT_EQ(ProgramDirectoryOf("C:\\Games\\QuorVBoy.exe"), "C:\\Games\\");
    EXPECT_EQ(ProgramDirectoryOf("C:\\QuorVBoy.exe"), "C:\\");
#endif
}

}  // namespace
