// rename_names_test.cpp - unit tests of the alternative names, the separator rule and group matching
#include "catalogue/catalogue.h"
#include "groupinfo/groupinfo.h"
#include "platform/platform.h"
#include "rename/rename.h"
#include "run/run.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class RenameNames : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetRunOptions();
        ResetCatalogue();
        ResetGroupTable();
        ResetRename();
    }
    void TearDown() override
    {
        ResetRunOptions();
        ResetGroupTable();
        ResetRename();
    }
};

// Every name NextTempName gives from start until it runs out, and what it
// printed on standard output meanwhile.
std::vector<std::string> WholeSequence(const std::string& start, std::string* printed)
{
    std::vector<std::string> names;
    testing::internal::CaptureStdout();
    const char* next = NextTempName(start.c_str());
    while (next != nullptr && names.size() < 1000) {
        names.push_back(next);
        next = NextTempName(next);
    }
    fflush(stdout);
    *printed = testing::internal::GetCapturedStdout();
    return names;
}

TEST_F(RenameNames, TempNamesRunThroughOneHundredAlternativesThenStop)
{
    // From "....zip" the counter takes the last character, then the last
    // two; from "....vb" likewise.
    struct Case {
        const char* extension;
        const char* keptLetters;
    } cases[] = {{"zip", "zi"}, {"vb", "v"}};
    for (const Case& c : cases) {
        const std::string base = std::string("VBoyDupes") + PathSeparator + "Golf (U).";
        const std::string head = base + std::string(c.keptLetters).substr(0, strlen(c.keptLetters) - 1);
        std::vector<std::string> expected;
        for (int d = 0; d <= 9; d++)
            expected.push_back(base + c.keptLetters + std::to_string(d));
        for (int n = 10; n <= 99; n++)
            expected.push_back(head + std::to_string(n));

        std::string printed;
        EXPECT_EQ(WholeSequence(base + c.extension, &printed), expected) << c.extension;
        EXPECT_EQ(printed, "Out of temp filenames!\n") << c.extension;
    }
}

TEST_F(RenameNames, TempNameKeepsTheCaseOfWhatItDoesNotStep)
{
    EXPECT_STREQ(NextTempName("Golf (U).VB"), "Golf (U).V0");
    EXPECT_STREQ(NextTempName("Golf (U).ZIP"), "Golf (U).ZI0");

    testing::internal::CaptureStdout();
    const char* next = NextTempName("Golf (U).99");
    fflush(stdout);
    EXPECT_EQ(next, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Out of temp filenames!\n");
}

TEST_F(RenameNames, SeparatorRuleTouchesOnlySpaces)
{
    struct Case {
        int32_t noSep;
        char sepChar;
        const char* in;
        const char* out;
    } cases[] = {
        {0, '_', "3D Tetris (U)", "3D_Tetris_(U)"},
        {0, '.', "Mario Clash (JU) [a1]", "Mario.Clash.(JU).[a1]"},
        {0, ' ', "3D Tetris (U)", "3D Tetris (U)"},
        {1, ' ', "3D Tetris (U)", "3DTetris(U)"},
        {1, '_', "  two  spaces  ", "twospaces"},
        {0, '_', "tab\there", "tab\there"},
        {1, ' ', "tab\there", "tab\there"},
        {0, '_', "", ""},
    };
    for (const Case& c : cases) {
        OptSep = 1;
        OptNoSep = c.noSep;
        SepChar = c.sepChar;
        std::string text = c.in;
        std::string& result = ApplySeparator(text);
        EXPECT_EQ(&result, &text) << "the text is rewritten in place";
        EXPECT_EQ(text, c.out) << "'" << c.in << "' nosep=" << c.noSep << " sep=" << c.sepChar;
    }
}

// Fills the first slots of the group table with these patterns.
void FillPatterns(const std::vector<std::string>& patterns)
{
    ResetGroupTable();
    for (size_t g = 0; g < patterns.size(); g++)
        snprintf(GroupTable[g].pattern, sizeof GroupTable[g].pattern, "%s", patterns[g].c_str());
}

int IndexOf(const char* canonicalName)
{
    for (int i = 0; i < KnownRomCount; i++)
        if (strcmp(EntryName(i), canonicalName) == 0)
            return i;
    ADD_FAILURE() << "no catalogue entry " << canonicalName;
    return 0;
}

TEST_F(RenameNames, GroupPiecesMustAllOccurInAnyOrder)
{
    struct Case {
        std::vector<std::string> patterns;
        const char* name;
        int slot;
    } cases[] = {
        {{"Mario*Clash"}, "Mario Clash (JU)", 0},
        {{"Clash*Mario"}, "Mario Clash (JU)", 0},
        {{"Mario*Wario"}, "Mario Clash (JU)", -1},
        {{"mario"}, "Mario Clash (JU)", -1},
        {{"(j)"}, "Red Alarm (J)", -1},
        {{"(J)"}, "Galactic Pinball (JU)", -1},
        {{"(U)"}, "Galactic Pinball (JU)", -1},
        {{"Mario's*o's T"}, "Mario's Tennis (JU)", 0},
        {{"*"}, "Golf (U)", 0},
        {{"(U)*"}, "Golf (U)", 0},
        {{"**Golf**"}, "T&E Virtual Golf (J)", 0},
        {{"(J)", "(U)", "(JU)"}, "Galactic Pinball (JU)", 2},
        {{"Tetris", "(U)"}, "3D Tetris (U)", 0},
        {{"(U)", "Tetris"}, "V Tetris (J)", 1},
        {{"[b", "(U)"}, "Panic Bomber (U) [b1]", 0},
        {{"(U)", "[b"}, "Panic Bomber (U) [b1]", 0},
    };
    for (const Case& c : cases) {
        FillPatterns(c.patterns);
        EXPECT_EQ(FindGroup(IndexOf(c.name)), c.slot)
            << c.name << " against " << ::testing::PrintToString(c.patterns);
    }
}

TEST_F(RenameNames, GroupSearchStopsAtTheFirstEmptyPattern)
{
    FillPatterns({"(J)", "", "(U)"});
    snprintf(GroupTable[1].directory, sizeof GroupTable[1].directory, "Misc%c", PathSeparator);
    EXPECT_EQ(FindGroup(IndexOf("Red Alarm (J)")), 0);
    EXPECT_EQ(FindGroup(IndexOf("Red Alarm (U)")), -1) << "slot 2 lies behind the empty slot 1";
    EXPECT_EQ(FindGroup(IndexOf("Teleroboxer (JU)")), -1);

    FillPatterns({"", "(U)"});
    EXPECT_EQ(FindGroup(IndexOf("Golf (U)")), -1);

    FillPatterns({});
    for (int i = 0; i < KnownRomCount; i++)
        EXPECT_EQ(FindGroup(i), -1) << EntryName(i);
}

}  // namespace
