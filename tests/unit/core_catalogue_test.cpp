// core_catalogue_test.cpp - the catalogue's preparation and its lookups by CRC value and CRC text, with and without the key
#include "support.h"

#include "catalogue/catalogue.h"
#include "run/run.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <set>

namespace {

class CatalogueLookup : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetRunOptions();
        ResetCatalogue();
        ResetOutputFileReports();
        // Preparation reloads what was had; give it folders that hold nothing.
        OptNoDb = 1;
        OptQuiet = 1;
        savedStart = StartDirectory;
        savedProgram = ProgramDirectory;
        StartDirectory = scratch.collection;
        ProgramDirectory = scratch.program + test::Sep();
#ifndef _WIN32
        // The stand-in for drive C: is the home folder: keep it empty too.
        const char* home = getenv("HOME");
        savedHome = home != nullptr ? home : "";
        setenv("HOME", test::Join(scratch.root, "home").c_str(), 1);
#endif
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        PrepareCatalogue();
        testing::internal::GetCapturedStderr();
        testing::internal::GetCapturedStdout();
    }
    void TearDown() override
    {
        ResetCatalogue();
        ResetRunOptions();
        ResetOutputFileReports();
        StartDirectory = savedStart;
        ProgramDirectory = savedProgram;
#ifndef _WIN32
        setenv("HOME", savedHome.c_str(), 1);
#endif
    }
    test::Scratch scratch;
    std::string savedHome, savedStart, savedProgram;
};

TEST_F(CatalogueLookup, TableIsWellFormedAndUnique)
{
    std::set<std::string> crcs, names;
    for (int i = 0; i < KnownRomCount; i++) {
        std::string entry = KnownRomTable[i];
        ASSERT_GT(entry.size(), 9u) << i;
        EXPECT_EQ(entry.find_first_not_of("0123456789abcdef"), 8u) << entry;
        EXPECT_EQ(entry[8], ' ') << entry;
        EXPECT_EQ(std::string(EntryName(i)), entry.substr(EntryNameOffset));
        EXPECT_EQ(CatalogueCrcs[i], (uint32_t)strtoul(entry.substr(0, 8).c_str(), nullptr, 16)) << entry;
        EXPECT_EQ(CopyCounts[i], 0) << entry;
        crcs.insert(entry.substr(0, 8));
        names.insert(EntryName(i));
    }
    EXPECT_EQ(crcs.size(), 37u);
    EXPECT_EQ(names.size(), 37u);
    EXPECT_STREQ(EntryName(0), "3D Tetris (U)");
    EXPECT_STREQ(EntryName(23), "Teleroboxer (JU)");
    EXPECT_STREQ(EntryName(36), "Waterworld (U)");
}

TEST_F(CatalogueLookup, EveryEntryFindsItselfByValueAndByText)
{
    for (int i = 0; i < KnownRomCount; i++) {
        EXPECT_EQ(FindEntryByCrc(CatalogueCrcs[i]), i);
        EXPECT_EQ(FindEntryByCrcText(KnownRomTable[i], 0), i);
        // Only the first 8 characters of the text count.
        std::string text = std::string(KnownRomTable[i], 8) + "trailing words";
        EXPECT_EQ(FindEntryByCrcText(text.c_str(), 0), i);
    }
    EXPECT_EQ(FindEntryByCrc(0x36103000), 23);
    EXPECT_EQ(FindEntryByCrc(0), -1);
    EXPECT_EQ(FindEntryByCrc(0x36103001), -1);
}

TEST_F(CatalogueLookup, TextLookupIsExactAndHonoursStart)
{
    EXPECT_EQ(FindEntryByCrcText("bb71b522", 0), 0);
    EXPECT_EQ(FindEntryByCrcText("bb71b522", 1), -1);
    EXPECT_EQ(FindEntryByCrcText("82a95e51", 36), 36);
    EXPECT_EQ(FindEntryByCrcText("82a95e51", 37), -1);
    EXPECT_EQ(FindEntryByCrcText("82a95e51", 100), -1);
    // Upper case, a short text or stray characters match nothing directly.
    EXPECT_EQ(FindEntryByCrcText("BB71B522", 0), -1);
    EXPECT_EQ(FindEntryByCrcText("bb71b52", 0), -1);
    EXPECT_EQ(FindEntryByCrcText(" bb71b52", 0), -1);
    EXPECT_EQ(FindEntryByCrcText("", 0), -1);
}

TEST_F(CatalogueLookup, KeyFindsTheKeyedCrcButNeverReKeysADirectMatch)
{
    const uint32_t key = 0x5a5a1234;
    CrcKey = key;
    char text[9];
    for (int i = 0; i < KnownRomCount; i++) {
        uint32_t keyed = CatalogueCrcs[i] ^ key;
        EXPECT_EQ(FindEntryByCrc(keyed), i);
        FormatCrcText(keyed, text);
        EXPECT_EQ(FindEntryByCrcText(text, 0), i);
        // A direct match still wins.
        EXPECT_EQ(FindEntryByCrc(CatalogueCrcs[i]), i);
        EXPECT_EQ(FindEntryByCrcText(KnownRomTable[i], 0), i);
    }
    // With the key, the text is read as a number: upper case digits do find.
    FormatCrcText(0xbb71b522 ^ key, text);
    for (char* c = text; *c; c++)
        *c = (char)toupper((unsigned char)*c);
    EXPECT_EQ(FindEntryByCrcText(text, 0), 0);
    EXPECT_EQ(FindEntryByCrcText(text, 1), -1);

    // Two entries whose CRCs differ by the key: each finds itself directly.
    CrcKey = CatalogueCrcs[0] ^ CatalogueCrcs[23];
    EXPECT_EQ(FindEntryByCrc(CatalogueCrcs[23]), 23);
    EXPECT_EQ(FindEntryByCrc(CatalogueCrcs[0]), 0);
    EXPECT_EQ(FindEntryByCrcText("36103000", 0), 23);
    EXPECT_EQ(FindEntryByCrcText("bb71b522", 0), 0);
    // From start 1 entry 0 is out of reach, but its keyed partner is not.
    EXPECT_EQ(FindEntryByCrcText("bb71b522", 1), 23);

    CrcKey = 0;
    EXPECT_EQ(FindEntryByCrc(0x36103000 ^ key), -1);
    FormatCrcText(0x36103000 ^ key, text);
    EXPECT_EQ(FindEntryByCrcText(text, 0), -1);
}

TEST(CrcText, EightLowerCaseDigits)
{
    char text[9];
    FormatCrcText(0, text);
    EXPECT_STREQ(text, "00000000");
    FormatCrcText(0x00abcdef, text);
    EXPECT_STREQ(text, "00abcdef");
    FormatCrcText(0xFFFFFFFF, text);
    EXPECT_STREQ(text, "ffffffff");
}

}  // namespace
