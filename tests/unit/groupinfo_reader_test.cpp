// groupinfo_reader_test.cpp - unit tests of the group information reader: rule forms, sections, limits, keys and refused folders
#include "catalogue/catalogue.h"
#include "groupinfo/groupinfo.h"
#include "run/run.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// What one slot should hold; directories are written with "\" and compared
// in the native form.
struct Slot {
    std::string pattern;
    std::string directory;
    std::string extension = "";
    int32_t listMissing = 1;
};

std::string Native(std::string path)
{
    for (char& c : path)
        if (c == '\\' || c == '/')
            c = test::Sep()[0];
    return path;
}

class GroupReader : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetRunOptions();
        ResetCatalogue();
        ResetGroupTable();
    }
    void TearDown() override
    {
        ResetCatalogue();
        ResetGroupTable();
        ProgramDirectory.clear();
    }

    // Reads text as a group information file into an empty table; returns
    // what the reader printed.
    std::string Read(const std::string& text)
    {
        ResetGroupTable();
        CrcKey = 0;
        std::string path = test::Join(files.root, "groups.cfg");
        test::WriteFile(path, text);
        FILE* stream = fopen(path.c_str(), "r");
        EXPECT_NE(stream, nullptr);
        if (stream == nullptr)
            return "";
        testing::internal::CaptureStdout();
        ReadGroupInfo(stream);
        fflush(stdout);
        std::string out = testing::internal::GetCapturedStdout();
        fclose(stream);
        return out;
    }

    // The number of slots before the first empty one (pattern and directory).
    static int FilledSlots()
    {
        int n = 0;
        while (n < GroupSlotCount && (GroupTable[n].pattern[0] != '\0' || GroupTable[n].directory[0] != '\0'))
            n++;
        return n;
    }

    static void ExpectSlot(int g, const Slot& want, const std::string& context)
    {
        EXPECT_EQ(std::string(GroupTable[g].pattern), want.pattern) << context;
        EXPECT_EQ(std::string(GroupTable[g].directory), Native(want.directory)) << context;
        EXPECT_EQ(std::string(GroupTable[g].extension), want.extension) << context;
        EXPECT_EQ(GroupTable[g].listMissing, want.listMissing) << context;
    }

    static void ExpectSlots(const std::vector<Slot>& want, const std::string& context)
    {
        for (size_t g = 0; g < want.size(); g++)
            ExpectSlot((int)g, want[g], context + ", slot " + std::to_string(g));
        EXPECT_EQ(FilledSlots(), (int)want.size()) << context;
    }

    test::Scratch files;
};

std::string CannotInterpret(const std::string& lineAsRead)
{
    return "Cannot interpret \"" + lineAsRead + "\"\n";
}

TEST_F(GroupReader, RuleForms)
{
    struct Case {
        std::string line;
        Slot slot;
    } cases[] = {
        {"(J):Japan", {"(J)", "Japan\\"}},
        {"(J):Japan\\", {"(J)", "Japan\\"}},
        {"(J):Japan/", {"(J)", "Japan\\"}},
        {"(J):Japan;vbj", {"(J)", "Japan\\", "vbj"}},
        {"(J):Japan;vbjxy", {"(J)", "Japan\\", "vbjxy"}},
        {"(J):Japan;vbjxyz", {"(J)", "Japan\\", ""}},
        {"(J):Japan;;N", {"(J)", "Japan\\", "", 0}},
        {"(J):Japan;;n", {"(J)", "Japan\\", "", 0}},
        {"(J):Japan;vbj;no", {"(J)", "Japan\\", "vbj", 0}},
        {"(J):Japan;vbj;", {"(J)", "Japan\\", "vbj", 1}},
        {"(J):Japan;vbj;Y", {"(J)", "Japan\\", "vbj", 1}},
        {"(J):Japan;vbj; N", {"(J)", "Japan\\", "vbj", 1}},
        {"(J):Japan;vbjxyz;N", {"(J)", "Japan\\", "", 0}},
        {"(PD):Public Domain\\Demos", {"(PD)", "Public Domain\\Demos\\"}},
        {"(PD):Public Domain/Demos", {"(PD)", "Public Domain\\Demos\\"}},
        {"(PD):Public Domain\\Demos\\", {"(PD)", "Public Domain\\Demos\\"}},
        {"(J):Japan\\Puzzle/Hard", {"(J)", "Japan\\Puzzle\\Hard\\"}},
        {":Misc", {"", "Misc\\"}},
        {"[b1]:Bad Dumps", {"[b1]", "Bad Dumps\\"}},
        {" (J) :Japan", {" (J) ", "Japan\\"}},
        {"Mario*Clash:Mario", {"Mario*Clash", "Mario\\"}},
        {"(J):..Japan", {"(J)", "..Japan\\"}},
        {"(J):Japan..\\x", {"(J)", "Japan..\\x\\"}},
        // The directory part ends at the first byte below 32 or above 127.
        {"(J):Jap\xE9n;vbj", {"(J)", "Jap\\"}},
        {"(J):Jap\tan;vbj", {"(J)", "Jap\\"}},
        // A carriage return before the line end is no part of the rule.
        {"(J):Japan\r", {"(J)", "Japan\\"}},
        {"(J):Japan;vbj\r", {"(J)", "Japan\\", "vbj"}},
        {"(J):Japan;;N\r", {"(J)", "Japan\\", "", 0}},
    };
    for (const Case& c : cases) {
        std::string out = Read("[VBoy]\n" + c.line + "\n");
        EXPECT_EQ(out, "") << c.line;
        ExpectSlots({c.slot}, c.line);
    }
}

TEST_F(GroupReader, OnlyTheProgramsSectionIsRead)
{
    std::string out = Read(
        "(U):Before\n"
        "xy outside the section is no error\n"
        "[VBoy]\n"
        "(J):Japan\n"
        "[Other]\n"
        "(U):Other\n"
        "not read either\n"
        "[VBoy] with more text\n"
        "[b1]:Bad Dumps\n"
        "[vboy]\n"
        "(JU):Lower case header ended the section\n"
        "[VBOY]\n"
        "(JU):Upper case header does not start it\n");
    EXPECT_EQ(out, "");
    ExpectSlots({{"(J)", "Japan\\"}, {"[b1]", "Bad Dumps\\"}}, "sections");
}

TEST_F(GroupReader, SectionHeaderNeedsItsClosingBracketAndNoColon)
{
    std::string out = Read("[VBoy]\n[Other\n[Oth]er:Dir\n(J):Japan\n");
    EXPECT_EQ(out, CannotInterpret("[Other\n"));
    ExpectSlots({{"[Oth]er", "Dir\\"}, {"(J)", "Japan\\"}}, "brackets");
}

TEST_F(GroupReader, CommentsAndShortLines)
{
    std::string out = Read(
        "# x:y outside\n"
        "[VBoy]\n"
        "# (U):Commented out\n"
        "#\n"
        "x\n"
        "\n"
        "xy\n"
        "x\r\n"
        "xy\r\n"
        "abc\n"
        "(J):Japan\n");
    EXPECT_EQ(out, CannotInterpret("xy\n") + CannotInterpret("xy\n") + CannotInterpret("abc\n"));
    ExpectSlots({{"(J)", "Japan\\"}}, "comments");
}

std::string Rules(int from, int to)
{
    std::string text;
    for (int i = from; i < to; i++)
        text += "P" + std::to_string(i) + ":Dir" + std::to_string(i) + "\n";
    return text;
}

TEST_F(GroupReader, TheSixtyFourthRuleEndsTheReading)
{
    EXPECT_EQ(Read("[VBoy]\n" + Rules(0, 63)), "");
    EXPECT_EQ(FilledSlots(), 63);

    EXPECT_EQ(Read("[VBoy]\n" + Rules(0, 64)), "Only 64 patterns allowed!\n");
    EXPECT_EQ(FilledSlots(), 64);
    ExpectSlot(63, {"P63", "Dir63\\"}, "last slot");

    // What follows the 64th rule is not read at all.
    std::string out = Read("[VBoy]\n" + Rules(0, 64) + "P64:Dir64\nxy\nKEY=5\n" + Rules(65, 70));
    EXPECT_EQ(out, "Only 64 patterns allowed!\n");
    EXPECT_EQ(FilledSlots(), 64);
    ExpectSlot(63, {"P63", "Dir63\\"}, "last slot with more behind");
    EXPECT_EQ(CrcKey, 0u);
}

TEST_F(GroupReader, KeyLinesAndRefusedRulesTakeNoSlot)
{
    std::string out = Read("[VBoy]\nKEY=1f\n(J):C:\\Windows\n" + Rules(0, 64));
    EXPECT_EQ(out, CannotInterpret("(J):C:\\Windows\n") + "Only 64 patterns allowed!\n");
    EXPECT_EQ(FilledSlots(), 64);
    ExpectSlot(0, {"P0", "Dir0\\"}, "first slot");
    ExpectSlot(63, {"P63", "Dir63\\"}, "last slot");
    EXPECT_EQ(CrcKey, 0x1fu);
}

TEST_F(GroupReader, KeyIsReadAsBaseSixteen)
{
    struct Case {
        const char* line;
        uint32_t key;
    } cases[] = {
        {"KEY=1f", 0x1f},
        {"KEY=1F", 0x1f},
        {"KEY=deadbeef", 0xdeadbeef},
        {"KEY=0x1f", 0x1f},
        {"KEY=  0X1f", 0x1f},
        {"KEY=\t7", 7},
        {"KEY=+a", 0xa},
        {"KEY=-1", 0xffffffffu},
        {"KEY=12zz", 0x12},
        {"KEY=zz", 0},
        {"KEY=", 0},
        {"KEY=5:Dir", 5},
        {"KEY=ab\r", 0xab},
    };
    for (const Case& c : cases) {
        std::string out = Read(std::string("[VBoy]\n") + c.line + "\n(J):Japan\n");
        EXPECT_EQ(out, "") << c.line;
        EXPECT_EQ(CrcKey, c.key) << c.line;
        ExpectSlots({{"(J)", "Japan\\"}}, c.line);
    }
}

TEST_F(GroupReader, KeyOnlyInsideTheSectionAndInUpperCase)
{
    EXPECT_EQ(Read("KEY=1f\n[VBoy]\n"), "");
    EXPECT_EQ(CrcKey, 0u);

    EXPECT_EQ(Read("[VBoy]\nkey=1f\n"), CannotInterpret("key=1f\n"));
    EXPECT_EQ(CrcKey, 0u);

    EXPECT_EQ(Read("[VBoy]\nKEY=1\nKEY=2\n"), "");
    EXPECT_EQ(CrcKey, 2u) << "the last key line wins";
}

TEST_F(GroupReader, FieldsAtAndPastTheirWidths)
{
    const std::string pattern99(99, 'p');
    EXPECT_EQ(Read("[VBoy]\n" + pattern99 + ":Dir\n"), "");
    ExpectSlots({{pattern99, "Dir\\"}}, "pattern of 99");

    EXPECT_EQ(Read("[VBoy]\n" + std::string(150, 'p') + ":Dir\n"), "");
    ExpectSlots({{pattern99, "Dir\\"}}, "pattern of 150");

    const std::string dir98(98, 'd');
    EXPECT_EQ(Read("[VBoy]\n(J):" + dir98 + "\n"), "");
    ExpectSlots({{"(J)", dir98 + "\\"}}, "directory of 98");

    for (size_t length : {99, 100, 150}) {
        std::string context = "directory of " + std::to_string(length);
        EXPECT_EQ(Read("[VBoy]\n(J):" + std::string(length, 'd') + ";vbj;N\n"), "") << context;
        std::string dir = GroupTable[0].directory;
        EXPECT_LE(dir.size(), 99u) << context;
        EXPECT_EQ(dir.substr(0, 98), dir98) << context;
        EXPECT_EQ(dir.back(), test::Sep()[0]) << context << ": a stored directory ends with a separator";
        EXPECT_STREQ(GroupTable[0].extension, "vbj") << context;
        EXPECT_EQ(GroupTable[0].listMissing, 0) << context;
    }
}

TEST_F(GroupReader, ALongLineIsReadInPiecesOf199)
{
    // "(J):" and 195 characters fill the first piece; "X:Tail" is a rule of
    // its own.
    std::string out = Read("[VBoy]\n(J):" + std::string(195, 'd') + "X:Tail\n");
    EXPECT_EQ(out, "");
    ASSERT_EQ(FilledSlots(), 2);
    EXPECT_STREQ(GroupTable[0].pattern, "(J)");
    ExpectSlot(1, {"X", "Tail\\"}, "second piece");
}

TEST_F(GroupReader, FoldersOutsideTheOutputFolderAreRefused)
{
    const char* refused[] = {
        "(J):\\Japan",     "(J):/Japan",           "(J):C:\\Japan",       "(J):c:Japan",
        "(J):..",          "(J):..\\Japan",        "(J):../Japan",        "(J):Japan\\..\\..\\Windows",
        "(J):Japan/../..", "(J):Japan\\..",        "(J):Japan\\..;vbj;N", "(J):\\\\server\\share",
    };
    for (const char* line : refused) {
        std::string out = Read(std::string("[VBoy]\n") + line + "\n(U):USA\n");
        EXPECT_EQ(out, CannotInterpret(std::string(line) + "\n")) << line;
        ExpectSlots({{"(U)", "USA\\"}}, line);
    }
}

class GroupLoad : public GroupReader {
protected:
    void SetUp() override
    {
        GroupReader::SetUp();
        scratch = std::make_unique<test::Scratch>();
        ProgramDirectory = scratch->program + test::Sep();
    }
    void TearDown() override
    {
        GroupReader::TearDown();
        scratch.reset();
    }
    std::string ConfigPath() const { return test::Join(scratch->program, GroupInfoName); }

    static std::string Load()
    {
        testing::internal::CaptureStdout();
        LoadGroupInfo();
        fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }

    std::unique_ptr<test::Scratch> scratch;
};

TEST_F(GroupLoad, NoFileUsesDefaultsAndTriesAgainNextTime)
{
    const std::string line = "Cannot open " + ProgramDirectory + "QuorInfo.cfg Using Defaults\n";
    EXPECT_EQ(Load(), line);
    EXPECT_EQ(GroupTableLoaded, 0);
    EXPECT_EQ(FilledSlots(), 0);
    EXPECT_EQ(Load(), line);
    EXPECT_EQ(GroupTableLoaded, 0);
}

TEST_F(GroupLoad, FileIsReadOncePerRun)
{
    strcpy(GroupTable[5].pattern, "left over");
    test::WriteFile(ConfigPath(), "[VBoy]\r\n(J):Japan\\Puzzle\r\nKEY=1f\r\n(U):USA;vbu;N\r\n");
    EXPECT_EQ(Load(), "");
    EXPECT_EQ(GroupTableLoaded, 1);
    ExpectSlots({{"(J)", "Japan\\Puzzle\\"}, {"(U)", "USA\\", "vbu", 0}}, "CR LF file");
    EXPECT_EQ(CrcKey, 0x1fu);
    EXPECT_STREQ(GroupTable[5].pattern, "") << "the table is emptied before it is read";

    fs::remove(ConfigPath());
    EXPECT_EQ(Load(), "");
    EXPECT_EQ(GroupTableLoaded, 1);
    EXPECT_STREQ(GroupTable[0].pattern, "(J)");
}

}  // namespace
