// journal_test.cpp - reading the journal back: names through their quotes, and every line that is no whole, safe record
#include "support.h"

#include "rename/journal.h"

namespace {

using Journal = test::UnitTest;

TEST_F(Journal, NamesComeBackAsQuotedAndLinesThatAreNotWholeSafeRecordsArePassedOver)
{
    std::vector<JournalRun> runs;
    EXPECT_EQ(ReadJournal(&runs), 0) << "no journal yet";
    std::string every, odd = "odd \"\t\n\r\x01\x1a\x7f\xe9 name.vb";
    for (int c = 0; c < 256; c++)
        every += (char)c;
    // No byte that could end or cut a line is written as it is.
    EXPECT_EQ(QuoteName(every).find_first_of(std::string("\0\n\r\x1a\x7f", 5)), std::string::npos);
    test::WriteFile("VBoyUndo.txt",
                    "run R1 2024-05-06 10:00:00 " + QuoteName(every) + " \"rename\"\n"
                    "move R1 1 \"a.vb\" \"VBoyRen/A.vb\" 8192 -5\nmoved R1 1\n"
                    "move R1 2 " + QuoteName(odd) + " \"VBoyRen/Japan/B.vb\" 1 2\ndir R1 \"VBoyRen/Japan\"\n"
                    "run R0 2023-01-01 09:00:00 \"/elsewhere\"\nback R1 1\nundone R0 2024-01-01 00:00:00\n"
                    // Names that would lead out of the collection, or an old name with a folder.
                    "move R1 3 \"/abs.vb\" \"VBoyRen/C.vb\" 1 1\nmove R1 4 \"../up.vb\" \"VBoyRen/D.vb\" 1 1\n"
                    "move R1 5 \"sub/in.vb\" \"VBoyRen/E.vb\" 1 1\nmove R1 6 \"f.vb\" \"../F.vb\" 1 1\n"
                    "move R1 7 \"g.vb\" \"/G.vb\" 1 1\nmove R1 8 \"h.vb\" \"VBoyRen/../../H.vb\" 1 1\n"
                    "move R1 9 \"i.vb\" \"VBoyRen//I.vb\" 1 1\nmove R1 10 \"..\" \"VBoyRen/J.vb\" 1 1\n"
                    "move R1 11 \"\" \"VBoyRen/K.vb\" 1 1\nmove R1 12 \"k.vb\" \"./K.vb\" 1 1\n"
                    "dir R1 \"../Out\"\ndir R1 \"/abs\"\n"
                    // Lines that are not whole records, or name no move or run there is.
                    "move R1 13 \"l.vb\" \"VBoyRen/L.vb\" 1\nmove R1 14 \"m.vb\" \"VBoyRen/M.vb\" x 1\n"
                    "move R1 15 \"n\\q.vb\" \"VBoyRen/N.vb\" 1 1\nmove R1 16 \"o.vb\" \"VBoyRen/O.vb 1 1\n"
                    "move R1 - \"p.vb\" \"VBoyRen/P.vb\" 1 1\nmove R1 17 \"q.vb\" \"VBoyRen/Q.vb\" 1 1e3\n"
                    "move R9 18 \"r.vb\" \"VBoyRen/R.vb\" 1 1\ntaken R1 99\nfailed R1 2 3\nmoved R1\n"
                    "move R1 19 \"s.vb\" \"VBoyRen/S.vb\" 1 1 1\nrun R1 2030-01-01 00:00:00 \"/again\"\n");
    ASSERT_EQ(ReadJournal(&runs), 1);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_TRUE(runs[0].id == "R0" && runs[0].undone && runs[0].moves.empty()) << "oldest first";
    const JournalRun& r = runs[1];
    EXPECT_TRUE(r.id == "R1" && r.start == every && r.when == "2024-05-06 10:00:00" && !r.undone);
    EXPECT_EQ(r.dirs, std::vector<std::string>{"VBoyRen/Japan"});
    ASSERT_EQ(r.moves.size(), 2u);
    const JournalMove &a = r.moves.at(1), &b = r.moves.at(2);
    EXPECT_TRUE(a.oldName == "a.vb" && a.target == "VBoyRen/A.vb" && a.size == 8192 && a.modified == -5);
    EXPECT_TRUE(a.outcome == "moved" && a.back);
    EXPECT_TRUE(b.oldName == odd && b.target == "VBoyRen/Japan/B.vb" && b.size == 1 && b.modified == 2);
    EXPECT_TRUE(b.outcome.empty() && !b.back);
}

}  // namespace
