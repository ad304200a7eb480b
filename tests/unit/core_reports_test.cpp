// core_reports_test.cpp - the statistics line and the name, year and status rules of the emulator CRC file
#include "catalogue/catalogue.h"
#include "reports/reports.h"
#include "run/run.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

class Reports : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetRunOptions();
        ResetCatalogue();
    }
    void TearDown() override { ResetRunOptions(); }
};

std::string CaptureStats()
{
    testing::internal::CaptureStdout();
    PrintStats();
    return testing::internal::GetCapturedStdout();
}

TEST_F(Reports, StatisticsLineCountsTheCatalogueTags)
{
    const std::string line = "\nStats: 37 entries, 0 redumps, 0 hacks/trainers, 3 bad/overdumps\n";
    EXPECT_EQ(CaptureStats(), line);
    OptQuiet = 1;
    EXPECT_EQ(CaptureStats(), line);
    OptQuiet = 0;
    OptCrcFile = 1;
    EXPECT_EQ(CaptureStats(), "");
}

std::vector<std::string> CrcFileLines()
{
    testing::internal::CaptureStdout();
    WriteEmulatorCrcFile();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(out.empty());
    EXPECT_EQ(out.back(), '\n');
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST_F(Reports, CrcFileHeaderThenOneLinePerEntryInCatalogueOrder)
{
    OptCrcFile = 1;
    std::vector<std::string> lines = CrcFileLines();
    ASSERT_EQ(lines.size(), 5u + 37u);
    EXPECT_EQ(lines[0], "# This MESS CRC file was generated from Varnel's Quor databases");
    EXPECT_EQ(lines[1], "# Please keep this notice intact if editing this file");
    EXPECT_EQ(lines[2], "# crc= Game Name | Year | Manufacturer | Emulation Status");
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "[vboy]");
    for (int i = 0; i < KnownRomCount; i++) {
        const std::string& line = lines[5 + i];
        // No catalogue name carries a year or a "{status}": the year column is
        // empty and the manufacturer column always is.
        EXPECT_EQ(line.substr(0, 10), std::string(KnownRomTable[i], 8) + "= ") << line;
        EXPECT_NE(line.find(" |  | | "), std::string::npos) << line;
    }
}

TEST_F(Reports, CrcFileNameAndStatusRules)
{
    std::vector<std::string> lines = CrcFileLines();
    ASSERT_EQ(lines.size(), 42u);
    auto entry = [&](int i) { return lines[5 + i]; };
    // A plain name stands unchanged, with an empty status after the last bar.
    EXPECT_EQ(entry(0), "bb71b522= 3D Tetris (U) |  | | ");
    EXPECT_EQ(entry(1), "d8b823be= Croach, The (PD) |  | | ");
    // Alternate tags stay in the name; only "[b" tags mean a bad dump.
    EXPECT_EQ(entry(7), "bf0d0ab0= Mario Clash (JU) [a1] |  | | ");
    EXPECT_EQ(entry(35), "742298d1= Waterworld (U) [a1] |  | | ");
    // A bad dump tag goes from the name, with the space before it.
    EXPECT_EQ(entry(11), "63a181af= Nester's Funky Bowling (U) |  | | Known Bad Dump");
    EXPECT_EQ(entry(12), "9c092bce= Nester's Funky Bowling (U) |  | | Known Bad Dump");
    EXPECT_EQ(entry(13), "2f76eca9= Nester's Funky Bowling (U) |  | | ");
    EXPECT_EQ(entry(15), "19bb2dfb= Panic Bomber (U) |  | | Known Bad Dump");
    // A two-digit year in a name is no year tag.
    EXPECT_EQ(entry(33), "9ba8bb5e= Virtual Pro Yakyuu '95 (J) |  | | ");
    int bad = 0;
    for (const std::string& line : lines)
        bad += line.size() >= 14 && line.compare(line.size() - 14, 14, "Known Bad Dump") == 0;
    EXPECT_EQ(bad, 3);
}

}  // namespace
