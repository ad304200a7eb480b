// readers_test.cpp - the readers of the group file, the have database and list, and the journal; the keyed lookups
#include "support.h"

#include "rename/journal.h"

#include <algorithm>
#include <set>

using namespace std::string_literals;

namespace {

using Readers = test::UnitTest;

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

TEST_F(Readers, GroupFileRuleForms)
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
        // A line is read in pieces of 199: "X:Tail" is a rule of its own, the CR before it no line end.
        {"(J):" + std::string(194, 'd') + "\rX:Tail", "(J)|" + d + "/||1\nX|Tail/||1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Read("[VBoy]\n" + c.first + "\n"), "") << c.first;
        EXPECT_EQ(Slots(), c.second + "\n") << c.first;
    }
}

TEST_F(Readers, GroupFileRefusesFoldersLeadingOutOfTheOutputFolder)
{
    const std::string folders[] = {"\\Japan", "/Japan", "C:\\Japan", "c:Japan", "A:x", "Z:x", "a:x", "z:x", "..",
                                   "../Japan", "Japan\\..\\..\\Windows", "Japan/../..", "Japan\\..;vbj;N",
                                   "\\\\server\\share", "//server/share", std::string(95, 'd') + "/..x"};
    for (const std::string& folder : folders) {
        EXPECT_EQ(Read("[VBoy]\n(J):" + folder + "\n(U):USA\n"), CannotInterpret("(J):" + folder)) << folder;
        EXPECT_EQ(Slots(), "(U)|USA/||1\n") << folder;
    }
}

TEST_F(Readers, GroupFileRulesAreReadInTheProgramsSectionOnly)
{
    EXPECT_EQ(Read("(U):Before\nxy outside the section\n# x:y\n[VBoy] and more\n(J):Japan\n[Other]\n(U):Other\n"
                   "[VBoy]\n[b1]:Bad Dumps\n# (U):Commented out\n#\nx\n\nxy\nx\r\nxy\r\n[Other\n"
                   "[Oth]er:Dir\n[vboy]\n(JU):Lower-case header ended the section\n[VBOY]\n(JU):Not started\n"),
              CannotInterpret("xy") + CannotInterpret("xy") + CannotInterpret("[Other"));
    EXPECT_EQ(Slots(), "(J)|Japan/||1\n[b1]|Bad Dumps/||1\n[Oth]er|Dir/||1\n");
}

TEST_F(Readers, GroupFileKeysAreBaseSixteenAndTheSixtyFourthRuleEndsTheReading)
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

// The entry found by the CRC text of crc (followed by more: only 8 characters count), from start on.
int ByText(uint32_t crc, int start = 0, bool upper = false)
{
    char text[32];
    snprintf(text, sizeof text, upper ? "%08X and more" : "%08x and more", (unsigned)crc);
    return FindEntryByCrcText(text, start);
}

TEST_F(Readers, LookupsTryTheKeyOnlyWhenNoEntryMatchesAsItStands)
{
    MarkHad(3);
    PrepareCatalogue();
    EXPECT_EQ(CopyCounts[3], 0) << "a prepared catalogue starts from nothing had";
    const uint32_t* crc = CatalogueCrcs;
    for (int i = 0; i < KnownRomCount; i++) {
        SetCrcKey(0);
        bool letters = std::string(KnownRomTable[i], 8).find_first_of("abcdef") != std::string::npos;
        EXPECT_TRUE(FindEntryByCrc(crc[i]) == i && ByText(crc[i], i) == i && ByText(crc[i], i + 1) == -1) << i;
        EXPECT_TRUE(FindEntryByCrc(crc[i] ^ 0x5a5a1234u) == -1 && ByText(crc[i], 0, true) == (letters ? -1 : i)) << i;
        SetCrcKey(0x5a5a1234u);  // with a key a text is also read as a number, in either case
        EXPECT_TRUE(FindEntryByCrc(crc[i] ^ 0x5a5a1234u) == i && ByText(crc[i] ^ 0x5a5a1234u, 0, true) == i) << i;
        EXPECT_TRUE(FindEntryByCrc(crc[i]) == i && ByText(crc[i], i + 1) == -1) << i;
    }
    // Entries whose CRCs differ by the key each find themselves; from start 1, entry 0's text finds its partner.
    SetCrcKey(crc[0] ^ crc[23]);
    EXPECT_EQ(std::pair(FindEntryByCrc(crc[23]), FindEntryByCrc(crc[0])), std::pair(23, 0));
    EXPECT_EQ(std::pair(ByText(crc[0], 0), ByText(crc[0], 1)), std::pair(0, 23));
    // A key can make the CRC 0 known.
    SetCrcKey(crc[5]);
    EXPECT_EQ(std::pair(FindEntryByCrc(0), ByText(0)), std::pair(5, 5));
}

// Reads bytes as a have database (or, with list, a have list) into a
// catalogue that had nothing: the entries had (100 + i for a count over 1).
std::set<int> Reload(const std::string& bytes, bool list, int* loaded = nullptr)
{
    ForgetCopies();
    test::WriteFile("input", bytes);
    FILE* stream = fopen("input", list ? "r" : "rb");
    int result = list ? (ReadHaveList(stream), 1) : ReadHaveDatabase(stream);
    fclose(stream);
    std::set<int> had;
    for (int i = 0; i < KnownRomCount; i++)
        if (CopyCounts[i] != 0)
            had.insert(CopyCounts[i] == 1 ? i : 100 + i);
    if (loaded != nullptr)
        *loaded = result;
    return had;
}

std::string BigEndian(std::initializer_list<uint32_t> words)
{
    std::string bytes;
    for (uint32_t v : words)
        bytes += {(char)(v >> 24), (char)(v >> 16), (char)(v >> 8), (char)v};
    return bytes;
}

TEST_F(Readers, HaveDatabase)
{
    const uint32_t* crc = CatalogueCrcs;
    const std::string head = "QUOR" + BigEndian({19});
    const struct {
        std::string bytes;
        uint32_t key;
        int loaded;
        std::set<int> had;
    } cases[] = {
        {head + BigEndian({crc[23], crc[0]}), 0, 1, {0, 23}},
        {head + BigEndian({crc[36] ^ 1, crc[36], crc[36]}), 0, 1, {36}},  // unknown CRCs are passed over
        {head + BigEndian({crc[0] ^ 0x5a5a0f0f, crc[3]}), 0x5a5a0f0f, 1, {0, 3}},
        {head + BigEndian({crc[0], crc[1]}).substr(0, 7), 0, 1, {0}},  // a short last record is ignored
        {"QUOR" + BigEndian({0x7f3c0113, crc[0]}), 0, 1, {0}},  // only the byte at offset 7 holds the system
        {head, 0, 1, {}}, {"QUOR" + BigEndian({18, crc[0]}), 0, 0, {}}, {"QUOR" + BigEndian({0x13000000}), 0, 0, {}},
        {"QUOX" + BigEndian({19, crc[0]}), 0, 0, {}}, {"quor" + BigEndian({19, crc[0]}), 0, 0, {}},
        {"", 0, 0, {}}, {head.substr(0, 7), 0, 0, {}},
    };
    for (const auto& c : cases) {
        SetCrcKey(c.key);
        int loaded = -1;
        EXPECT_EQ(Reload(c.bytes, false, &loaded), c.had) << &c - cases;
        EXPECT_EQ(loaded, c.loaded) << &c - cases;
    }
}

TEST_F(Readers, HaveList)
{
    auto name = [](int i) { return std::string(EntryName(i)); };
    const std::pair<std::string, std::set<int>> cases[] = {
        {" You have 2\n\n" + name(0) + "\n" + name(23) + "\n", {0, 23}},
        {name(36) + "\n" + name(0) + "\n", {36}},  // names are looked for from the last one found on
        {name(3) + "\nNo Such Game (U)\n" + name(5) + "\n", {3, 5}},
        {"GOLF (U)\n " + name(3) + "\n\t" + name(4) + "\n\x80" + name(5) + "\n" + name(6) + " \n", {}},
        {name(3) + "\n" + name(36), {3, 36}},  // the last line needs no line end
        {name(0) + "\r\n" + name(3) + "\r\n", {0, 3}},
        {std::string(199, 'x') + name(3) + "\n", {3}},  // a long line is read in pieces of 199
    };
    for (const auto& c : cases)
        EXPECT_EQ(Reload(c.first, true), c.second) << c.first;
}

TEST_F(Readers, JournalNamesComeBackAsQuotedAndLinesThatAreNoWholeSafeRecordArePassedOver)
{
    std::string every, odd = "odd \"ab\t\n\r\x01\x1a\x7f\xe9 name.vb";
    for (int c = 1; c < 256; c++)
        every += (char)c;
    // No byte that could end or cut a line is written as it is.
    EXPECT_EQ(QuoteName(every).find_first_of(std::string("\0\n\r\x1a\x7f", 5)), std::string::npos);
    test::WriteFile("VBoyUndo.txt",
                    "run R2 2024-05-06 11:00:00 +0200 " + QuoteName(every) + " \"move\"\n"
                    "run R1 2024-05-06 10:00:00 " + QuoteName(every) + " \"rename\"\n"
                    "move R1 1 \"a.vb\" \"VBoyRen/A.vb\" 8192 -5\nmoved R1 1\n"
                    "move R1 2 " + QuoteName(odd) + " \"VBoyRen/Japan/B.vb\" 1 2\ndir R1 \"VBoyRen/Japan\"\n"
                    "run R0 2023-01-01 09:00:00 \"/elsewhere\"\nmove R0 1 \"x.vb\" \"VBoyRen/X.vb\" 1 1\n"
                    "run R3 2023-01-01 09:00:00 " + QuoteName(every) + "\nundone R3 2024-01-01 00:00:00\n"
                    "move R2 1 \"y.vb\" \"VBoyDupes/Y.vb\" 1 1\ncopied R2 1\nmove R2 2 \"z.vb\" \"VBoyRen/Z.vb\" 1 1\n"
                    "back R2 2\nmove R2 3 \"w.vb\" \"VBoyRen/W.vb\" 1 1\ntaken R2 3\n"
                    // Names that would lead out of the collection, anywhere but VBoyRen and VBoyDupes, or hidden.
                    "move R1 3 \"/abs.vb\" \"VBoyRen/C.vb\" 1 1\nmove R1 4 \"../up.vb\" \"VBoyRen/D.vb\" 1 1\n"
                    "move R1 5 \"sub/in.vb\" \"VBoyRen/E.vb\" 1 1\nmove R1 6 \"f.vb\" \"../F.vb\" 1 1\n"
                    "move R1 7 \"g.vb\" \"/G.vb\" 1 1\nmove R1 8 \"h.vb\" \"VBoyRen/../../H.vb\" 1 1\n"
                    "move R1 9 \"i.vb\" \"VBoyRen//I.vb\" 1 1\nmove R1 10 \"..\" \"VBoyRen/J.vb\" 1 1\n"
                    "move R1 11 \"\" \"VBoyRen/K.vb\" 1 1\nmove R1 12 \"k.vb\" \"./K.vb\" 1 1\n"
                    "move R1 21 \"u.vb\" \"u2.vb\" 1 1\nmove R1 22 \"v.vb\" \"VBoyRen/.git/V.vb\" 1 1\n"
                    "dir R1 \"../Out\"\ndir R1 \"/abs\"\ndir R1 \".git/refs\"\ndir R1 \"VBoyRen/.hid\"\n"
                    // Lines that are not whole records, or name no move or run there is.
                    "move R1 13 \"l.vb\" \"VBoyRen/L.vb\" 1\nmove R1 14 \"m.vb\" \"VBoyRen/M.vb\" x 1\n"
                    "move R1 15 \"n\\q.vb\" \"VBoyRen/N.vb\" 1 1\nmove R1 16 \"o.vb\" \"VBoyRen/O.vb 1 1\n"
                    "move R1 - \"p.vb\" \"VBoyRen/P.vb\" 1 1\nmove R1 17 \"q.vb\" \"VBoyRen/Q.vb\" 1 1e3\n"
                    "move R9 18 \"r.vb\" \"VBoyRen/R.vb\" 1 1\ntaken R1 99\nfailed R1 2 3\nmoved R1\n"
                    "move R1 19 \"s.vb\" \"VBoyRen/S.vb\" 1 1 1\nrun R1 2030-01-01 00:00:00 \"/again\"\n"
                    "move R1 20 \"t.vb\" \"VBoyRen/T.vb\" 123456789012345678901 1\n\n\n"
                    // A NUL byte breaks the line it is in; a line cut short is passed over.
                    "move R1 23 \"n.vb\" \"VBoyRen/N.vb\"\0 1 1\nmove R1 24 \"c.vb\" \"VBoyRen/C.vb\" 1 1"s);
    FILE* journal = fopen("VBoyUndo.txt", "rb");
    std::vector<JournalRun> runs;
    ASSERT_EQ(ReadJournal(journal, "VBoyUndo.txt", every, &runs), 1);
    ASSERT_EQ(runs.size(), 2u) << "only this folder's runs not undone, in journal order";
    EXPECT_TRUE(runs[0].id == "R2" && runs[0].when == "2024-05-06 11:00:00" && !runs[0].newest);
    EXPECT_TRUE(runs[0].backs == 1 && runs[0].moves.size() == 1 && runs[0].moves[0].copy == 'C');
    const JournalRun& r = runs[1];
    EXPECT_TRUE(r.id == "R1" && r.when == "2024-05-06 10:00:00" && r.backs == 0 && !r.newest) << "R3 began after it";
    std::string folder;
    ASSERT_EQ(r.dirs.size(), 1u);
    EXPECT_TRUE(LoadJournalDir(journal, r.dirs[0], &folder) && folder == "VBoyRen/Japan");
    ASSERT_EQ(r.moves.size(), 2u);
    JournalMove a, b;
    EXPECT_TRUE(LoadJournalMove(journal, r.moves[0], &a) && LoadJournalMove(journal, r.moves[1], &b));
    fclose(journal);
    EXPECT_TRUE(a.oldName == "a.vb" && a.target == "VBoyRen/A.vb" && a.size == 8192 && a.modified == -5);
    EXPECT_TRUE(r.moves[0].outcome == 'm' && r.moves[1].outcome == 0);
    EXPECT_TRUE(b.oldName == odd && b.target == "VBoyRen/Japan/B.vb" && b.size == 1 && b.modified == 2);
}

TEST_F(Readers, ARunSharesTheJournalWithOtherRunsAndNoneRecoversWhileItGoesOn)
{
    for (bool recovered : {false, true}) {  // opened for its first line, or by recovery after an earlier run
        ResetJournal();
        test::WriteFile("VBoyUndo.txt", "run R1 2024-05-06 10:00:00 " + QuoteName(recovered ? dir : "/x") + "\n");
        recovered ? RecoverInterruptedMoves() : (void)AppendJournal("x");
        FILE* other = fopen("VBoyUndo.txt", "rb");
        EXPECT_TRUE(!PlatformLockStream(other, 1, 0) && PlatformLockStream(other, 0, 0)) << recovered;
        fclose(other);
    }
}

}  // namespace
