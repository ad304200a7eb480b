// groupinfo_test.cpp - the group information reader: rule forms, sections, limits, keys, refused folders; group matching
#include "support.h"

#include "catalogue/catalogue.h"
#include "groupinfo/groupinfo.h"
#include "rename/rename.h"

#include <algorithm>

namespace {

std::string CannotInterpret(const std::string& lineAsRead)
{
    return "Cannot interpret \"" + lineAsRead + "\"\n";
}

std::string Rules(int from, int to)
{
    std::string text;
    for (int i = from; i < to; i++)
        text += "P" + std::to_string(i) + ":Dir" + std::to_string(i) + "\n";
    return text;
}

class GroupReader : public test::UnitTest {
protected:
    // Reads text as a group information file into an empty table; gives
    // what the reader printed.
    static std::string Read(const std::string& text)
    {
        ResetGroupTable();
        CrcKey = 0;
        test::WriteFile("groups.cfg", text);
        FILE* stream = fopen("groups.cfg", "r");
        std::string out = test::Stdout([&] { ReadGroupInfo(stream); });
        fclose(stream);
        return out;
    }
    // Slot g as "pattern|directory|extension|listMissing", the directory with
    // "\" separators; "" for an empty slot.
    static std::string Slot(int g)
    {
        const GroupSlot& slot = GroupTable[g];
        std::string dir = slot.directory;
        std::replace(dir.begin(), dir.end(), test::Sep()[0], '\\');
        if (slot.pattern[0] == '\0' && dir.empty())
            return "";
        return std::string(slot.pattern) + "|" + dir + "|" + slot.extension + "|" + std::to_string(slot.listMissing);
    }
    // The slots before the first empty one, one a line.
    static std::string Slots()
    {
        std::string text;
        for (int g = 0; g < GroupSlotCount && !Slot(g).empty(); g++)
            text += Slot(g) + "\n";
        return text;
    }
};

TEST_F(GroupReader, RuleForms)
{
    const std::pair<std::string, std::string> cases[] = {
        {"(J):Japan", "(J)|Japan\\||1"},
        {"(J):Japan/", "(J)|Japan\\||1"},
        {"(PD):Public Domain/Demos\\", "(PD)|Public Domain\\Demos\\||1"},
        {"(J):Japan;vbjxy", "(J)|Japan\\|vbjxy|1"},
        {"(J):Japan;vbjxyz", "(J)|Japan\\||1"},  // longer than 5: no extension
        {"(J):Japan;;n", "(J)|Japan\\||0"},
        {"(J):Japan;vbj;no", "(J)|Japan\\|vbj|0"},
        {"(J):Japan;vbj;", "(J)|Japan\\|vbj|1"},
        {"(J):Japan;vbj;Y", "(J)|Japan\\|vbj|1"},
        {"(J):Japan;vbj; N", "(J)|Japan\\|vbj|1"},
        {"(J):Japan;vbjxyz;N", "(J)|Japan\\||0"},
        {":Misc", "|Misc\\||1"},
        {" (J) :Japan", " (J) |Japan\\||1"},
        {"(J):..Japan", "(J)|..Japan\\||1"},
        {"(J):Japan..\\x", "(J)|Japan..\\x\\||1"},
        // The directory ends at the first byte below 32 or above 127; a
        // carriage return before the line end is no part of the rule.
        {"(J):Jap\xE9n;vbj", "(J)|Jap\\||1"},
        {"(J):Jap\tan;vbj", "(J)|Jap\\||1"},
        {"(J):Japan;;N\r", "(J)|Japan\\||0"},
        // Fields are cut to their widths.
        {std::string(150, 'p') + ":Dir", std::string(99, 'p') + "|Dir\\||1"},
        {"(J):" + std::string(98, 'd'), "(J)|" + std::string(98, 'd') + "\\||1"},
        {"(J):" + std::string(150, 'd') + ";vbj;N", "(J)|" + std::string(98, 'd') + "\\|vbj|0"},
        // A line is read in pieces of 199: "X:Tail" is a rule of its own.
        {"(J):" + std::string(195, 'd') + "X:Tail", "(J)|" + std::string(98, 'd') + "\\||1\nX|Tail\\||1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Read("[VBoy]\n" + c.first + "\n"), "") << c.first;
        EXPECT_EQ(Slots(), c.second + "\n") << c.first;
    }
}

TEST_F(GroupReader, OnlyTheProgramsSectionHoldsRules)
{
    std::string out = Read(
        "(U):Before\nxy outside the section is no error\n# x:y\n[VBoy]\n(J):Japan\n[Other]\n(U):Other\n"
        "[VBoy] with more text\n[b1]:Bad Dumps\n# (U):Commented out\n#\nx\n\nxy\nx\r\nxy\r\nabc\n[Other\n[Oth]er:Dir\n"
        "[vboy]\n(JU):Lower case header ended the section\n[VBOY]\n(JU):Upper case header does not start it\n");
    EXPECT_EQ(out, CannotInterpret("xy\n") + CannotInterpret("xy\n") + CannotInterpret("abc\n") +
                       CannotInterpret("[Other\n"));
    EXPECT_EQ(Slots(), "(J)|Japan\\||1\n[b1]|Bad Dumps\\||1\n[Oth]er|Dir\\||1\n");
}

TEST_F(GroupReader, TheSixtyFourthRuleEndsTheReadingAndKeyLinesTakeNoSlot)
{
    EXPECT_EQ(Read("[VBoy]\n" + Rules(0, 63)), "");
    EXPECT_EQ(Slot(62), "P62|Dir62\\||1");
    EXPECT_EQ(Slot(63), "");
    // Nothing after the 64th rule is read.
    EXPECT_EQ(Read("[VBoy]\n" + Rules(0, 64) + "P64:Dir64\nxy\nKEY=5\n"), "Only 64 patterns allowed!\n");
    EXPECT_EQ(Slot(63), "P63|Dir63\\||1");
    EXPECT_EQ(CrcKey, 0u);
    EXPECT_EQ(Read("[VBoy]\nKEY=1f\n(J):C:\\Windows\n" + Rules(0, 64)),
              CannotInterpret("(J):C:\\Windows\n") + "Only 64 patterns allowed!\n");
    EXPECT_EQ(Slot(0), "P0|Dir0\\||1");
    EXPECT_EQ(Slot(63), "P63|Dir63\\||1");
    EXPECT_EQ(CrcKey, 0x1fu);
}

TEST_F(GroupReader, KeyIsReadAsBaseSixteenInsideTheSectionOnly)
{
    const std::pair<const char*, uint32_t> cases[] = {{"KEY=1F", 0x1f}, {"KEY=  0X1f", 0x1f}, {"KEY=-1", 0xffffffffu},
                                                      {"KEY=12zz", 0x12}, {"KEY=zz", 0}, {"KEY=ab\r", 0xab}};
    for (const auto& c : cases) {
        EXPECT_EQ(Read(std::string("[VBoy]\n") + c.first + "\n(J):Japan\n"), "") << c.first;
        EXPECT_EQ(CrcKey, c.second) << c.first;
        EXPECT_EQ(Slots(), "(J)|Japan\\||1\n") << c.first;
    }
    EXPECT_EQ(Read("KEY=1f\n[VBoy]\n"), "");
    EXPECT_EQ(CrcKey, 0u);
    EXPECT_EQ(Read("[VBoy]\nkey=1f\n"), CannotInterpret("key=1f\n"));
    EXPECT_EQ(Read("[VBoy]\nKEY=1\nKEY=2\n"), "");
    EXPECT_EQ(CrcKey, 2u) << "the last key line wins";
}

TEST_F(GroupReader, FoldersOutsideTheOutputFolderAreRefused)
{
    for (const char* line : {"(J):\\Japan", "(J):/Japan", "(J):C:\\Japan", "(J):c:Japan", "(J):..", "(J):../Japan",
                             "(J):Japan\\..\\..\\Windows", "(J):Japan/../..", "(J):Japan\\..;vbj;N",
                             "(J):\\\\server\\share"}) {
        EXPECT_EQ(Read(std::string("[VBoy]\n") + line + "\n(U):USA\n"), CannotInterpret(std::string(line) + "\n"));
        EXPECT_EQ(Slots(), "(U)|USA\\||1\n") << line;
    }
}

TEST_F(GroupReader, TheFirstGroupWhosePiecesAllOccurInAnyOrderBeforeAnEmptyPattern)
{
    const struct {
        std::vector<std::string> patterns;
        const char* name;
        int slot;
    } cases[] = {
        {{"Mario*Clash"}, "Mario Clash (JU)", 0}, {{"Clash*Mario"}, "Mario Clash (JU)", 0},
        {{"Mario*Wario"}, "Mario Clash (JU)", -1}, {{"mario"}, "Mario Clash (JU)", -1},
        {{"(J)"}, "Galactic Pinball (JU)", -1}, {{"**Golf**"}, "T&E Virtual Golf (J)", 0},
        {{"(J)", "(U)", "(JU)"}, "Galactic Pinball (JU)", 2}, {{"(J)", "", "(U)"}, "Red Alarm (U)", -1},
    };
    for (const auto& c : cases) {
        ResetGroupTable();
        for (size_t g = 0; g < c.patterns.size(); g++)
            snprintf(GroupTable[g].pattern, sizeof GroupTable[g].pattern, "%s", c.patterns[g].c_str());
        snprintf(GroupTable[1].directory, sizeof GroupTable[1].directory, "Misc%s", test::Sep().c_str());
        EXPECT_EQ(FindGroup(FindEntryByCrc(test::CatalogueCrcOf(c.name))), c.slot) << testing::PrintToString(c.patterns);
    }
}

}  // namespace
