// reports_test.cpp - reading back the have database and the have list, keeping old lists, alternative names
#include "support.h"

#include "catalogue/catalogue.h"
#include "rename/rename.h"
#include "reports/reports.h"
#include "run/imagebuffer.h"
#include "run/options.h"
#include "run/outputfile.h"

namespace {

class Reports : public test::UnitTest {
protected:
    // Reads bytes as a have database (or, when list, as a have list) into a
    // catalogue that has nothing; returns the entries had, each counted once.
    std::set<int> Reload(const std::string& bytes, bool list, int* loaded = nullptr)
    {
        std::fill(CopyCounts, CopyCounts + KnownRomCount, 0);
        test::WriteFile("input", bytes);
        FILE* stream = fopen("input", list ? "r" : "rb");
        int result = list ? (ReadHaveList(stream), 1) : ReadHaveDatabase(stream);
        fclose(stream);
        if (loaded != nullptr)
            *loaded = result;
        std::set<int> had;
        for (int i = 0; i < KnownRomCount; i++) {
            EXPECT_TRUE(CopyCounts[i] == 0 || CopyCounts[i] == 1) << "entry " << i << " counts " << CopyCounts[i];
            if (CopyCounts[i] != 0)
                had.insert(i);
        }
        return had;
    }
};

TEST_F(Reports, HaveDatabaseReader)
{
    const std::string header = test::HaveDatabase({});
    const struct {
        const char* what;
        std::string bytes;
        uint32_t key;
        int loaded;
        std::set<int> had;
    } cases[] = {
        {"two known CRCs", test::HaveDatabase({0x36103000, 0xbb71b522}), 0, 1, {0, 23}},
        {"unknown CRCs skipped, repeats marked once",
         test::HaveDatabase({0xdeadbeef, 0x82a95e51, 0x82a95e51}), 0, 1, {36}},
        {"keyed and plain CRCs both found", test::HaveDatabase({0xbb71b522 ^ 0x5a5a0f0f, 0x2199af41}), 0x5a5a0f0f,
         1, {0, 3}},
        {"a truncated final record is ignored", header + test::HaveDatabase({0xbb71b522}).substr(8) + "\x36\x10\x30",
         0, 1, {0}},
        {"only the 8-byte header", header, 0, 1, {}},
        {"only the system's low byte is compared", test::HaveDatabase({0xbb71b522}, 0x113), 0, 1, {0}},
        {"another system", test::HaveDatabase({0xbb71b522}, 18), 0, 0, {}},
        {"system 19 in the wrong byte", test::HaveDatabase({0xbb71b522}, 0x13000000), 0, 0, {}},
        {"magic in lower case", "quor" + test::HaveDatabase({0xbb71b522}).substr(4), 0, 0, {}},
        {"empty file", "", 0, 0, {}},
        {"system number cut short", header.substr(0, 7), 0, 0, {}},
    };
    for (const auto& c : cases) {
        CrcKey = c.key;
        int loaded = -1;
        EXPECT_EQ(Reload(c.bytes, false, &loaded), c.had) << c.what;
        EXPECT_EQ(loaded, c.loaded) << c.what;
    }
}

TEST_F(Reports, HaveListReader)
{
    const struct {
        const char* what;
        std::string text;
        std::set<int> had;
    } cases[] = {
        {"as the program writes it", " " + test::HaveLine(2) + "3D Tetris (U)\nTeleroboxer (JU)\n", {0, 23}},
        {"a name before the last matched one is not recognised", "Waterworld (U)\n3D Tetris (U)\n", {36}},
        {"the search resumes at the matched entry itself", "Golf (U)\nGolf (U)\nJack Bros (J)\n", {3, 5}},
        {"an unknown line leaves the resume index", "Golf (U)\nNo Such Game (U)\nJack Bros (J)\n", {3, 5}},
        {"case-sensitive", "golf (u)\n", {}},
        {"a leading or trailing space keeps a name from matching", " Golf (U)\nGolf (U) \n", {}},
        {"the last line needs no line end", "Golf (U)\nWaterworld (U)", {3, 36}},
        {"CR LF line ends", "3D Tetris (U)\r\nGolf (U)\r\n", {0, 3}},
        {"a long line is read in pieces of 199", std::string(199, 'x') + "Golf (U)\n", {3}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Reload(c.text, true), c.had) << c.what;
}

TEST_F(Reports, NothingHadWritesNothingAndKeepsTheOldFiles)
{
    test::WriteFile(HaveListName, "old list\n");
    test::WriteFile(test::Join(scratch.program, HaveDatabaseName), "old database");
    EXPECT_EQ(test::Stdout([] { WriteHaveList(); }), "");
    EXPECT_EQ(test::ReadFile(HaveListName), "old list\n");
    EXPECT_EQ(test::ReadFile(test::Join(scratch.program, HaveDatabaseName)), "old database");
    EXPECT_EQ(test::Snapshot(".").size(), 1u) << "no duplicates report, no temporary file";
}

TEST_F(Reports, TempNamesRunThroughOneHundredAlternativesThenStop)
{
    // The counter takes the last character, then the last two; the rest
    // keeps its case.
    for (const std::string ext : {"zip", "ZIP", "vb"}) {
        const std::string base = test::Native("VBoyDupes/Golf (U).");
        const std::string kept = base + ext.substr(0, ext.size() - 1);
        std::vector<std::string> expected, names;
        for (int n = 0; n <= 99; n++)
            expected.push_back(n < 10 ? kept + std::to_string(n) : kept.substr(0, kept.size() - 1) + std::to_string(n));
        std::string printed = test::Stdout([&] {
            for (const char* next = NextTempName((base + ext).c_str()); next != nullptr && names.size() < 200;
                 next = NextTempName(next))
                names.push_back(next);
        });
        EXPECT_EQ(names, expected) << ext;
        EXPECT_EQ(printed, "Out of temp filenames!\n") << ext;
    }
}

}  // namespace
