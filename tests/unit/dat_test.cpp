// dat_test.cpp - the DAT reader's name rules, fields and refusals
#include "support.h"

#include "catalogue/dat.h"

namespace {

using Dat = test::UnitTest;

// Reads text as a DAT: "header (version)" and "name|size|crc|hash|flags" an
// entry, or "refused: reason"; names not taken end up in *stderrText.
std::string Read(const std::string& text, std::string* stderrText = nullptr)
{
    test::WriteFile("x.dat", text);
    DatHeader header;
    DatEntries entries;
    std::string names, reason;
    testing::internal::CaptureStderr();
    int ok = ReadDat("x.dat", &header, &entries, &names, &reason);
    std::string err = testing::internal::GetCapturedStderr();
    if (stderrText != nullptr)
        *stderrText = err;
    if (!ok)
        return "refused: " + reason;
    std::string out = header.name + " (" + header.version + ")";
    for (const DatEntry& e : entries) {
        char crc[9];
        FormatCrcText(e.crc, crc);
        out += std::string("\n") + DatName(names, e) + "|" + (e.hasSize ? std::to_string(e.size) : "-") + "|" +
               (e.hasCrc ? crc : "-") + "|" + DatHashText(e) + "|" + (e.nodump ? "N" : "") + (e.baddump ? "B" : "");
    }
    return out;
}

std::string Xml(const std::string& roms)
{
    return "<?xml version=\"1.0\"?>\n<datafile>\n<header><name>H</name><version>1</version></header>\n<game name=\"g\">" +
           roms + "</game>\n</datafile>\n";
}

std::string Cmp(const std::string& roms)
{
    return "clrmamepro ( name \"H\" version 1 )\ngame ( name \"g\"\n" + roms + "\n)\n";
}

const std::string Md5 = "00112233445566778899AABBCCDDEEFF";
const std::string Sha1 = "00112233445566778899aabbccddEEFF0f1e2d3c";

TEST_F(Dat, NamesThatCannotBeFileNamesEverywhere)
{
    for (const char* name : {"Golf (USA)", "T&E Virtual Golf (Japan)", "CONSOLE", "COM10", "con x", ".hidden", "..."})
        EXPECT_TRUE(IsUsableName(name)) << name;
    for (const char* name : {"", ".", "..", "a/b", "a\\b", "a:b", "a*b", "a?b", "a\"b", "a<b", "a>b", "a|b", "a\tb",
                             "a\x7f", "CON", "con", "Con.txt", "NUL .x", "com1", "LPT9", "COM\xC2\xB9", "aux.tar.gz"})
        EXPECT_FALSE(IsUsableName(name)) << name;
    EXPECT_TRUE(IsUsableName(std::string(200, 'x')));
    EXPECT_FALSE(IsUsableName(std::string(201, 'x')));
}

TEST_F(Dat, BothFormatsGiveTheSameEntries)
{
    // The strongest hash, ".vb" in any case, other roms passed over, status, a
    // name with parentheses, a size of 4 GiB or more, a short CRC, no fields.
    const std::string want = "H (1)\nA (USA) [!]|8192|0000abcd|00112233445566778899aabbccddeeff0f1e2d3c|\n"
                             "B|4294967295|ffffffff|00112233445566778899aabbccddeeff|B\nC|-|-||N";
    EXPECT_EQ(Read(Xml("<rom name=\"A (USA) [!].vb\" size=\"8192\" crc=\"abcd\" md5=\"" + Md5 + "\" sha1=\"" + Sha1 +
                       "\"/><rom name=\"x.bin\" crc=\"1\"/><rom name=\"B.VB\" size=\"4294967296\" crc=\"FFFFFFFF\" md5=\"" +
                       Md5 + "\" status=\"baddump\"/><rom name=\"C.vb\" status=\"nodump\"/>")),
              want);
    EXPECT_EQ(Read(Cmp("rom ( name \"A (USA) [!].vb\" size 8192 crc abcd md5 " + Md5 + " sha1 " + Sha1 +
                       " )\nrom ( name x.bin crc 1 ) sample ( name s.vb ) rom ( name B.VB size 4294967296 crc FFFFFFFF md5 " + Md5 +
                       " flags baddump ) rom ( name \"C.vb\" status nodump )")),
              want);
}

TEST_F(Dat, RepeatedAndUnsafeNamesAreNotTaken)
{
    std::string err;
    EXPECT_EQ(Read(Cmp("rom ( name \"A.vb\" ) rom ( name \"con.vb\" ) rom ( name \"a.vb\" ) rom ( name \"d/B.vb\" ) "
                       "rom ( name \"B.vb\" crc 2 )"),
                   &err),
              "H (1)\nA|-|-||\nB|-|00000002||");
    EXPECT_EQ(err, "Cannot use the name \"con\" from x.dat\nCannot use the name \"a\" from x.dat\n"
                   "Cannot use the name \"d/B\" from x.dat\n");
}

TEST_F(Dat, RefusalsSayWhyAndWhere)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", "neither Logiqx XML nor clrmamepro"},
        {"hello world", "neither Logiqx XML nor clrmamepro"},
        {"<softwarelist/>", "neither Logiqx XML nor clrmamepro"},
        {Xml("<rom name=\"a.bin\"/>"), "no .vb rom"},
        {Xml("<rom name=\"a.vb\" md5=\"" + Md5.substr(1) + "g\"/>"), "line 4: malformed md5"},
        {Xml("<rom name=\"a.vb\" sha1=\"" + Md5 + "\"/>"), "line 4: malformed sha1"},
        {Xml("<rom name=\"a.vb\" sha256=\"" + Sha1 + "\"/>"), "line 4: malformed sha256"},
        {Xml("<rom name=\"a.vb\" crc=\"123456789\"/>"), "line 4: malformed crc"},
        {Xml("<rom name=\"a.vb\" size=\"-1\"/>"), "line 4: malformed size"},
        {Xml("\n<rom name=\"a.vb\">\n</game>"), "line 6: start-end tags mismatch"},
        {Xml("<rom name=\"a.vb\"/>").substr(0, 100), "line 4: unclosed element"},
        {Xml("<rom name=\"a.vb\"/>").substr(0, 126), "line 5: no </datafile>"},
        {"<!DOCTYPE datafile [<!ENTITY e \"x\">]>\n" + Xml("<rom name=\"&e;.vb\"/>"), "line 1: a DTD with declarations"},
        {Xml(std::string("<rom name=\"a") + '\0' + ".vb\"/>"), "line 4: a NUL byte"},
        {Cmp("rom ( name a.vb crc 12345678 sha1 g" + Sha1.substr(1) + " )"), "line 3: malformed sha1"},
        {Cmp("rom ( name \"a.vb ) "), "line 3: unclosed quote"},
        {Cmp("rom ( name a.vb"), "line 2: unclosed block"},
        {"clrmamepro ( name x )\ngame ( name g\nrom ( name a.vb", "line 3: unclosed block"},
        {Cmp(std::string("rom ( name a") + '\0' + ".vb )"), "line 3: a NUL byte"},
        {"clrmamepro ( name x ) )", "line 1: expected a name and \"(\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Read(c.first), "refused: " + c.second) << c.first;
    EXPECT_EQ(Read(Xml("")), "refused: no .vb rom");
    EXPECT_EQ(Read(std::string()), "refused: neither Logiqx XML nor clrmamepro");
    DatHeader header;
    DatEntries entries;
    std::string names, reason;
    EXPECT_EQ(ReadDat("none.dat", &header, &entries, &names, &reason), 0);
    EXPECT_EQ(reason, "cannot open");
}

TEST_F(Dat, LongDatsKeepTheirLineNumbers)
{
    // Far beyond one block or batch of the reader; a game for each rom.
    std::string roms, cmp;
    for (int i = 0; i < 5000; i++) {
        roms += "<rom name=\"" + std::to_string(i) + ".vb\" crc=\"" + std::to_string(i) + "\"/></game>\n<game>";
        cmp += "rom ( name " + std::to_string(i) + ".vb crc " + std::to_string(i) + " )\n";
    }
    std::string read = Read(Xml(roms + "<rom name=\"last.vb\"/>"));
    EXPECT_EQ(std::count(read.begin(), read.end(), '\n'), 5001);
    EXPECT_EQ(read.substr(read.rfind("\n4999")), "\n4999|-|00004999||\nlast|-|-||");
    EXPECT_EQ(Read(Xml(roms + "<rom name=\"x.vb\" crc=\"x\"/>")), "refused: line 5004: malformed crc");
    EXPECT_EQ(Read(Xml(roms + "<rom name=\"x.vb\" crc=\"x\">")), "refused: line 5004: start-end tags mismatch");
    EXPECT_EQ(Read(Cmp(cmp + "rom ( name x.vb crc x )")), "refused: line 5003: malformed crc");
}

}  // namespace
