// reports_havedb_test.cpp - unit tests of reading back what earlier runs had: the have database and the have list
#include "catalogue/catalogue.h"
#include "run/run.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace {

class HaveReload : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetRunOptions();
        Prepare();
    }
    void TearDown() override { ResetCatalogue(); }

    // The catalogue as the preparation of a run leaves it, without the
    // reload that would look for files.
    static void Prepare()
    {
        ResetCatalogue();
        for (int i = 0; i < KnownRomCount; i++)
            CatalogueCrcs[i] = (uint32_t)strtoul(std::string(KnownRomTable[i], 8).c_str(), nullptr, 16);
    }

    // A file holding bytes, opened for reading with mode.
    FILE* StreamOf(const std::string& bytes, const char* mode)
    {
        std::string path = test::Join(scratch.root, "input");
        test::WriteFile(path, bytes);
        FILE* stream = fopen(path.c_str(), mode);
        EXPECT_NE(stream, nullptr);
        return stream;
    }

    static std::set<int> Had()
    {
        std::set<int> had;
        for (int i = 0; i < KnownRomCount; i++) {
            EXPECT_TRUE(CopyCounts[i] == 0 || CopyCounts[i] == 1) << "entry " << i << " counts " << CopyCounts[i];
            if (CopyCounts[i] != 0)
                had.insert(i);
        }
        return had;
    }

    int ReadDatabase(const std::string& bytes)
    {
        FILE* stream = StreamOf(bytes, "rb");
        if (stream == nullptr)
            return -1;
        int loaded = ReadHaveDatabase(stream);
        fclose(stream);
        return loaded;
    }

    void ReadList(const std::string& text)
    {
        FILE* stream = StreamOf(text, "r");
        if (stream == nullptr)
            return;
        ReadHaveList(stream);
        fclose(stream);
    }

    test::Scratch scratch;
};

std::string BigEndian(uint32_t value)
{
    std::string bytes(4, '\0');
    for (int k = 0; k < 4; k++)
        bytes[k] = (char)(value >> (24 - 8 * k));
    return bytes;
}

const std::string Header = std::string("QUOR") + BigEndian(19);

TEST_F(HaveReload, DatabaseMarksItsKnownCrcs)
{
    EXPECT_EQ(ReadDatabase(Header + BigEndian(0x36103000) + BigEndian(0xbb71b522)), 1);
    EXPECT_EQ(Had(), (std::set<int>{0, 23}));
}

TEST_F(HaveReload, DatabaseHeaderChecks)
{
    struct Case {
        const char* what;
        std::string bytes;
        int loaded;
        std::set<int> had;
    } cases[] = {
        {"only the system's low byte is compared", std::string("QUOR") + BigEndian(0x113) + BigEndian(0xbb71b522), 1, {0}},
        {"another system", std::string("QUOR") + BigEndian(18) + BigEndian(0xbb71b522), 0, {}},
        {"system 19 in the wrong byte", std::string("QUOR") + BigEndian(0x13000000) + BigEndian(0xbb71b522), 0, {}},
        {"foreign magic", std::string("QUOX") + BigEndian(19) + BigEndian(0xbb71b522), 0, {}},
        {"magic in lower case", std::string("quor") + BigEndian(19) + BigEndian(0xbb71b522), 0, {}},
        {"empty file", "", 0, {}},
        {"magic cut short", "QUO", 0, {}},
        {"system number cut short", std::string("QUOR") + std::string("\0\0\0", 3), 0, {}},
        {"only the 8-byte header", Header, 1, {}},
    };
    for (const Case& c : cases) {
        Prepare();
        EXPECT_EQ(ReadDatabase(c.bytes), c.loaded) << c.what;
        EXPECT_EQ(Had(), c.had) << c.what;
    }
}

TEST_F(HaveReload, DatabaseIgnoresATruncatedFinalRecord)
{
    std::string teleroboxer = BigEndian(0x36103000);
    EXPECT_EQ(ReadDatabase(Header + BigEndian(0xbb71b522) + teleroboxer.substr(0, 3)), 1);
    EXPECT_EQ(Had(), (std::set<int>{0}));
}

TEST_F(HaveReload, DatabaseSkipsUnknownCrcsAndMarksRepeatsOnce)
{
    EXPECT_EQ(ReadDatabase(Header + BigEndian(0xdeadbeef) + BigEndian(0x82a95e51) + BigEndian(0x82a95e51)), 1);
    EXPECT_EQ(Had(), (std::set<int>{36}));
    EXPECT_EQ(CopyCounts[36], 1);
}

TEST_F(HaveReload, DatabaseCrcsHonourTheKey)
{
    CrcKey = 0x5a5a0f0f;
    EXPECT_EQ(ReadDatabase(Header + BigEndian(0xbb71b522 ^ 0x5a5a0f0f) + BigEndian(0x2199af41)), 1);
    EXPECT_EQ(Had(), (std::set<int>{0, 3})) << "keyed and plain CRCs are both found";
}

TEST_F(HaveReload, HaveListAsTheProgramWritesIt)
{
    ReadList(" You have 2 of 37 known Nintendo Virtual Boy ROMS\n\n3D Tetris (U)\nTeleroboxer (JU)\n");
    EXPECT_EQ(Had(), (std::set<int>{0, 23}));
}

TEST_F(HaveReload, HaveListLines)
{
    struct Case {
        const char* what;
        std::string text;
        std::set<int> had;
    } cases[] = {
        {"a name before the last matched one is not recognised", "Waterworld (U)\n3D Tetris (U)\n", {36}},
        {"the search resumes at the matched entry itself", "Golf (U)\nGolf (U)\nJack Bros (J)\n", {3, 5}},
        {"an unknown line leaves the resume index", "Golf (U)\nNo Such Game (U)\nJack Bros (J)\n", {3, 5}},
        {"the comparison is case-sensitive", "golf (u)\n", {}},
        {"a leading space skips the line", " Golf (U)\n", {}},
        {"a trailing space keeps the name from matching", "Golf (U) \n", {}},
        {"the last line needs no final newline", "Golf (U)\nWaterworld (U)", {3, 36}},
        {"CR LF line ends are accepted", "3D Tetris (U)\r\nGolf (U)\r\nWaterworld (U)\r\n", {0, 3, 36}},
        {"an empty list", "", {}},
    };
    for (const Case& c : cases) {
        Prepare();
        ReadList(c.text);
        EXPECT_EQ(Had(), c.had) << c.what;
    }
}

TEST_F(HaveReload, HaveListReadsALongLineInPieces)
{
    // The first 199 characters are one piece; what follows is read as a line
    // of its own.
    ReadList(std::string(199, 'x') + "Golf (U)\n");
    EXPECT_EQ(Had(), (std::set<int>{3}));
}

}  // namespace
