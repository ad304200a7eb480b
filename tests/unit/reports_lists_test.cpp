// reports_lists_test.cpp - unit tests of the have list, the have database, the duplicates report and the missing list
#include "catalogue/catalogue.h"
#include "groupinfo/groupinfo.h"
#include "reports/reports.h"
#include "run/run.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Each test gets its own start and program folders: the lists land in the
// first, the have database in the second.
class Lists : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratch = std::make_unique<test::Scratch>();
        ResetRunOptions();
        ResetCatalogue();
        ResetGroupTable();
        ResetOutputFileReports();
        for (int i = 0; i < KnownRomCount; i++)
            CatalogueCrcs[i] = (uint32_t)strtoul(std::string(KnownRomTable[i], 8).c_str(), nullptr, 16);
        StartDirectory = scratch->collection;
        ProgramDirectory = scratch->program + test::Sep();
    }
    void TearDown() override
    {
        ResetRunOptions();
        ResetCatalogue();
        ResetGroupTable();
        ResetOutputFileReports();
        StartDirectory.clear();
        ProgramDirectory.clear();
        scratch.reset();
    }

    std::string InStart(const char* name) const { return test::Join(scratch->collection, name); }
    std::string Database() const { return test::Join(scratch->program, HaveDatabaseName); }

    // The names of the files in the start folder.
    std::set<std::string> StartFiles() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(scratch->collection))
            names.insert(entry.path().filename().string());
        return names;
    }

    template <typename F>
    static std::string Stdout(F body)
    {
        testing::internal::CaptureStdout();
        body();
        fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }

    std::unique_ptr<test::Scratch> scratch;
};

std::string BigEndian(uint32_t value)
{
    std::string bytes(4, '\0');
    for (int k = 0; k < 4; k++)
        bytes[k] = (char)(value >> (24 - 8 * k));
    return bytes;
}

void AddGroup(int slot, const char* pattern, int32_t listMissing)
{
    snprintf(GroupTable[slot].pattern, sizeof GroupTable[slot].pattern, "%s", pattern);
    snprintf(GroupTable[slot].directory, sizeof GroupTable[slot].directory, "Group%d%c", slot, test::Sep()[0]);
    GroupTable[slot].listMissing = listMissing;
}

TEST_F(Lists, HaveListDatabaseAndSummary)
{
    test::WriteFile(Database(), std::string(100, 'x'));
    CopyCounts[0] = 1;
    CopyCounts[23] = 1;
    std::string out = Stdout([] { WriteHaveList(); });
    EXPECT_EQ(out, "You have 2 of 37 known Nintendo Virtual Boy ROMS\n\n");
    EXPECT_EQ(test::ReadFile(InStart(HaveListName)),
              " You have 2 of 37 known Nintendo Virtual Boy ROMS\n\n3D Tetris (U)\nTeleroboxer (JU)\n");
    EXPECT_EQ(test::ReadFile(Database()),
              std::string("QUOR") + BigEndian(19) + BigEndian(0xbb71b522) + BigEndian(0x36103000));
    EXPECT_EQ(StartFiles(), (std::set<std::string>{HaveListName})) << "no duplicates report, no temporary file";
}

TEST_F(Lists, NothingHadWritesNothingAndKeepsOldFiles)
{
    test::WriteFile(InStart(HaveListName), "old list\n");
    test::WriteFile(Database(), "old database");
    std::string out = Stdout([] { WriteHaveList(); });
    EXPECT_EQ(out, "");
    EXPECT_EQ(test::ReadFile(InStart(HaveListName)), "old list\n");
    EXPECT_EQ(test::ReadFile(Database()), "old database");
    EXPECT_EQ(StartFiles(), (std::set<std::string>{HaveListName}));
}

TEST_F(Lists, NoDbLeavesTheDatabaseAlone)
{
    OptNoDb = 1;
    OptQuiet = 1;  // none of these lines is suppressed
    test::WriteFile(Database(), "old database");
    CopyCounts[3] = 1;
    std::string out = Stdout([] { WriteHaveList(); });
    EXPECT_EQ(out, "You have 1 of 37 known Nintendo Virtual Boy ROMS\n\nNODB specified, QuorVBoy.db NOT updated\n");
    EXPECT_EQ(test::ReadFile(Database()), "old database");
    EXPECT_EQ(test::ReadFile(InStart(HaveListName)), " You have 1 of 37 known Nintendo Virtual Boy ROMS\n\nGolf (U)\n");
}

TEST_F(Lists, DuplicatesGoToTheConsoleAndAreAppendedToTheReport)
{
    CopyCounts[8] = 2;
    CopyCounts[20] = 1;
    CopyCounts[36] = 3;
    std::string out = Stdout([] { WriteHaveList(); });
    EXPECT_EQ(out,
              "You have 3 of 37 known Nintendo Virtual Boy ROMS\n\n"
              "Multiple copies of the following were found:\n"
              "Mario Clash (JU) [2 copies]\n"
              "Waterworld (U) [3 copies]\n");
    EXPECT_EQ(test::ReadFile(InStart(DupesListName)), "Mario Clash (JU) [2 copies]\nWaterworld (U) [3 copies]\n");
    EXPECT_EQ(test::ReadFile(InStart(HaveListName)),
              " You have 3 of 37 known Nintendo Virtual Boy ROMS\n\nMario Clash (JU)\nRed Alarm (U)\nWaterworld (U)\n");

    // A second report adds its lines behind the first, with no heading.
    CopyCounts[36] = 1;
    Stdout([] { WriteHaveList(); });
    EXPECT_EQ(test::ReadFile(InStart(DupesListName)),
              "Mario Clash (JU) [2 copies]\nWaterworld (U) [3 copies]\nMario Clash (JU) [2 copies]\n");
}

std::string MissHeader(const std::string& summary)
{
    return " " + summary;
}

std::string Names(const std::vector<int>& entries)
{
    std::string text;
    for (int i : entries)
        text += std::string(EntryName(i)) + "\n";
    return text;
}

TEST_F(Lists, MissingListOfAnEmptyCollection)
{
    std::string out = Stdout([] { WriteMissList(); });
    EXPECT_EQ(out, "You are missing 37 of 37 known Nintendo Virtual Boy ROMS\n\n");
    std::vector<int> all;
    for (int i = 0; i < KnownRomCount; i++)
        all.push_back(i);
    EXPECT_EQ(test::ReadFile(InStart(MissListName)), MissHeader(out) + Names(all));
    EXPECT_EQ(StartFiles(), (std::set<std::string>{MissListName}));
}

TEST_F(Lists, MissingListOfACompleteCollectionHoldsOnlyItsHeader)
{
    for (int i = 0; i < KnownRomCount; i++)
        CopyCounts[i] = 1;
    CopyCounts[4] = 5;
    OptQuiet = 1;
    test::WriteFile(InStart(MissListName), std::string(5000, 'x'));
    std::string out = Stdout([] { WriteMissList(); });
    EXPECT_EQ(out, "You are missing 0 of 37 known Nintendo Virtual Boy ROMS\n\n");
    EXPECT_EQ(test::ReadFile(InStart(MissListName)), " You are missing 0 of 37 known Nintendo Virtual Boy ROMS\n\n");
    EXPECT_EQ(StartFiles(), (std::set<std::string>{MissListName}));
}

TEST_F(Lists, ExcludedGroupsAreCountedNotListed)
{
    // Entries 0 to 11 are had; of the 25 absent ones, nine hold "(J)".
    for (int i = 0; i <= 11; i++)
        CopyCounts[i] = 1;
    AddGroup(0, "(J)", 0);
    std::string out = Stdout([] { WriteMissList(); });
    EXPECT_EQ(out, "You are missing 16 of 28 known Nintendo Virtual Boy ROMS (9 excluded)\n\n");
    EXPECT_EQ(test::ReadFile(InStart(MissListName)),
              MissHeader(out) + Names({12, 13, 15, 16, 17, 18, 20, 23, 26, 27, 28, 31, 32, 34, 35, 36}));
}

TEST_F(Lists, TheFirstMatchingGroupDecidesExclusion)
{
    AddGroup(0, "Jack", 1);
    AddGroup(1, "(J)", 0);
    std::string out = Stdout([] { WriteMissList(); });
    EXPECT_EQ(out, "You are missing 27 of 27 known Nintendo Virtual Boy ROMS (10 excluded)\n\n");
    std::string list = test::ReadFile(InStart(MissListName));
    EXPECT_NE(list.find("\nJack Bros (J)\n"), std::string::npos);
    EXPECT_EQ(list.find("\nRed Alarm (J)\n"), std::string::npos);
    EXPECT_NE(list.find("\nRed Alarm (U)\n"), std::string::npos);
}

}  // namespace
