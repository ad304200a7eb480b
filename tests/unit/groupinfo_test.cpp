// groupinfo_test.cpp - the group information reader: rule forms, refused folders, sections, the rule limit, keys
#include "support.h"

#include <algorithm>

namespace {

std::string CannotInterpret(const std::string& line)
{
    return "Cannot interpret \"" + line + "\n\"\n";
}

// Reads text as a group information file into an empty table; what it printed.
std::string Read(const std::string& text)
{
    ResetGroupTable();
    SetCrcKey(0);
    test::WriteFile("groups.cfg", text);
    FILE* stream = fopen("groups.cfg", "r");
    std::string out = test::Stdout([&] { ReadGroupInfo(stream); });
    fclose(stream);
    return out;
}

// The filled slots, "pattern|directory|extension|listMissing" a line, "/" for the separator.
std::string Slots()
{
    std::string text;
    for (const GroupSlot& s : GroupTable)
        if (s.directory[0] != '\0')
            text += std::string(s.pattern) + "|" + s.directory + "|" + s.extension + "|" +
                    std::to_string(s.listMissing) + "\n";
    std::replace(text.begin(), text.end(), PathSeparator, '/');
    return text;
}

using GroupReader = test::UnitTest;

TEST_F(GroupReader, RuleForms)
{
    const std::string d(98, 'd');
    const std::pair<std::string, std::string> cases[] = {
        {"(J):Japan", "(J)|Japan/||1"}, {"(J):Japan/", "(J)|Japan/||1"}, {":Misc", "|Misc/||1"},
        {"(PD):Public Domain/Demos\\", "(PD)|Public Domain/Demos/||1"}, {"(J):Japan..\\x", "(J)|Japan../x/||1"},
        {"(J):Japan;vbjxy", "(J)|Japan/|vbjxy|1"}, {"(J):Japan;vbjxyz", "(J)|Japan/||1"},
        {"(J):Japan;;n", "(J)|Japan/||0"}, {"(J):Japan;vbj;", "(J)|Japan/|vbj|1"}, {"(J):Japan;;N\r", "(J)|Japan/||0"},
        {"(J):Japan;vbj;no", "(J)|Japan/|vbj|0"}, {"(J):Japan;vbj; N", "(J)|Japan/|vbj|1"},
        {"(J):Japan;vbjxyz;N", "(J)|Japan/||0"}, {" (J) :..Japan", " (J) |..Japan/||1"},
        // The directory ends at the first byte below 32 or above 127.
        {"(J):Ja\x7Fp\xE9n;vbj", "(J)|Ja\x7Fp/||1"}, {"(J):Jap\tan;vbj", "(J)|Jap/||1"},
        // A drive is an ASCII letter and a colon; anything else before a colon names a folder.
        {"(U):1:x", "(U)|1:x/||1"}, {"(U):@:x", "(U)|@:x/||1"}, {"(U):[:x", "(U)|[:x/||1"},
        {"(U):`:x", "(U)|`:x/||1"}, {"(U):{:x", "(U)|{:x/||1"},
        // Fields are cut to their widths, and ".." is looked for in what is kept.
        {std::string(150, 'p') + ":Dir", std::string(99, 'p') + "|Dir/||1"},
        {"(J):" + std::string(150, 'd') + ";vbj;N", "(J)|" + d + "/|vbj|0"},
        {"(J):" + d.substr(4) + "/..x", "(J)|" + d.substr(4) + "/..x/||1"},
        {"(J):" + d.substr(2) + "/..x", "(J)|" + d.substr(2) + "/./||1"},
        // A line is read in pieces of 199: "X:Tail" is a rule of its own.
        {"(J):" + std::string(195, 'd') + "X:Tail", "(J)|" + d + "/||1\nX|Tail/||1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Read("[VBoy]\n" + c.first + "\n"), "") << c.first;
        EXPECT_EQ(Slots(), c.second + "\n") << c.first;
    }
}

TEST_F(GroupReader, FoldersLeadingOutOfTheOutputFolderAreRefused)
{
    const std::string folders[] = {"\\Japan", "/Japan", "C:\\Japan", "c:Japan", "A:x", "Z:x", "a:x", "z:x", "..",
                                   "../Japan", "Japan\\..\\..\\Windows", "Japan/../..", "Japan\\..;vbj;N",
                                   "\\\\server\\share", "//server/share", std::string(95, 'd') + "/..x"};
    for (const std::string& folder : folders) {
        EXPECT_EQ(Read("[VBoy]\n(J):" + folder + "\n(U):USA\n"), CannotInterpret("(J):" + folder)) << folder;
        EXPECT_EQ(Slots(), "(U)|USA/||1\n") << folder;
    }
}

TEST_F(GroupReader, OnlyTheProgramsSectionHoldsRules)
{
    // A CR LF after 198 characters is split by the bounded read, and still a line end.
    const std::string z(198, 'z');
    EXPECT_EQ(Read("(U):Before\nxy outside the section\n# x:y\n[VBoy] and more\n(J):Japan\n[Other]\n(U):Other\n"
                   "[VBoy]\n[b1]:Bad Dumps\n# (U):Commented out\n#\nx\n\nxy\nx\r\nxy\r\n" + z + "\r\n[Other\n"
                   "[Oth]er:Dir\n[vboy]\n(JU):Lower-case header ended the section\n[VBOY]\n(JU):Not started\n"),
              CannotInterpret("xy") + CannotInterpret("xy") + CannotInterpret(z) + CannotInterpret("[Other"));
    EXPECT_EQ(Slots(), "(J)|Japan/||1\n[b1]|Bad Dumps/||1\n[Oth]er|Dir/||1\n");
}

TEST_F(GroupReader, KeysAreReadInBaseSixteenAndTheSixtyFourthRuleEndsTheReading)
{
    const std::pair<const char*, uint32_t> keys[] = {{"KEY=1F", 0x1f}, {"KEY=  0X1f", 0x1f}, {"KEY=-1", ~0u},
                                                     {"KEY=12zz", 0x12}, {"KEY=zz", 0}, {"KEY=ab\r", 0xab},
                                                     {"KEY=1\nKEY=2", 2}};
    for (const auto& c : keys) {
        EXPECT_EQ(Read(std::string("[VBoy]\n") + c.first + "\n(J):Japan\n"), "") << c.first;
        EXPECT_EQ(Slots() + std::to_string(CrcKey), "(J)|Japan/||1\n" + std::to_string(c.second)) << c.first;
    }
    EXPECT_EQ(Read("KEY=1f\n[VBoy]\nkey=1f\n"), CannotInterpret("key=1f"));
    EXPECT_EQ(CrcKey, 0u) << "a key outside the section";
    // Neither keys nor refused rules take a slot; nothing after the 64th rule is read.
    std::string rules;
    for (int i = 0; i < 64; i++)
        rules += "P" + std::to_string(i) + ":D\n";
    EXPECT_EQ(Read("[VBoy]\nKEY=1f\n(J):/abs\n" + rules.substr(0, rules.find("P63"))), CannotInterpret("(J):/abs"));
    EXPECT_EQ(std::string(GroupTable[62].pattern) + "," + GroupTable[63].pattern, "P62,");
    EXPECT_EQ(Read("[VBoy]\nKEY=1f\n(J):/abs\n" + rules + "P64:D\nxy\nKEY=5\n"),
              CannotInterpret("(J):/abs") + "Only 64 patterns allowed!\n");
    EXPECT_EQ(std::string(GroupTable[0].pattern) + "," + GroupTable[63].pattern, "P0,P63");
    EXPECT_EQ(CrcKey, 0x1fu);
}

}  // namespace
