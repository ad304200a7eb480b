// core_identify_test.cpp - the CRC-32, the header mark test at the window's edges, and the listed-name rule
#include "support.h"

#include "identify/identify.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

uint32_t Crc32Of(const std::string& bytes, uint32_t start = 0)
{
    return Crc32(start, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

TEST(Crc32, KnownValues)
{
    EXPECT_EQ(Crc32Of(""), 0u);
    EXPECT_EQ(Crc32(0, nullptr, 0), 0u);
    EXPECT_EQ(Crc32Of("123456789"), 0xCBF43926u);
    EXPECT_EQ(Crc32Of("a"), 0xE8B7BE43u);
    EXPECT_EQ(Crc32Of("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
    EXPECT_EQ(Crc32Of(std::string(32, '\0')), 0x190A55ADu);
    EXPECT_EQ(Crc32Of(std::string(32, '\xff')), 0xFF6CAB0Bu);
}

TEST(Crc32, EqualsZlibAcrossBlockBoundariesAndAlignments)
{
    std::string bytes = test::MakeImage(70000, 99);
    const size_t lengths[] = {1, 2, 3, 7, 8, 63, 64, 65, 127, 128, 129, 1000, 4096, 65536, 69990};
    for (size_t start : {0u, 1u, 3u, 5u}) {
        for (size_t length : lengths) {
            std::string piece = bytes.substr(start, length);
            EXPECT_EQ(Crc32Of(piece), test::Crc(piece)) << "start " << start << " length " << length;
        }
    }
}

TEST(Crc32, ContinuesFromAnEarlierValue)
{
    std::string bytes = test::MakeImage(10000, 5);
    for (size_t cut : {0u, 1u, 64u, 100u, 9999u, 10000u}) {
        uint32_t first = Crc32Of(bytes.substr(0, cut));
        EXPECT_EQ(Crc32Of(bytes.substr(cut), first), test::Crc(bytes)) << "cut at " << cut;
    }
}

// An image of zero bytes with text written at distance back from its end.
std::string ZeroImageWith(uint32_t length, uint32_t back, const std::string& text)
{
    std::string bytes(length, '\0');
    bytes.replace(length - back, text.size(), text);
    return bytes;
}

struct MarkCase {
    uint32_t back;  // the mark starts at length - back
    std::string mark;
    int expected;
};

TEST(IsVirtualBoyImage, HeaderWindowEdges)
{
    const MarkCase cases[] = {
        {544, "V..E", 1},  // first position of the window
        {513, "V..E", 1},  // last position: the 'E' is at length - 510
        {545, "V..E", 0},  // one before the window
        {512, "V..E", 0},  // one after it
        {530, "V..J", 1},
        {530, "V..-", 1},
        {530, "V..U", 0},
        {530, "v..E", 0},  // case matters
        {530, "V?E", 0},   // the region letter is the 4th character
        {530, "V...E", 0},
        {544, "TST", 1},
        {513, "TST", 1},
        {545, "TST", 0},
        {512, "TST", 0},
        {545, ".TST", 1},  // begins inside the window
        {530, "TS", 0},
        {530, "tst", 0},
        {530, "TXT", 0},
    };
    for (uint32_t length : {8192u, 1048576u, 2099200u}) {
        std::string blank(length, '\0');
        EXPECT_EQ(IsVirtualBoyImage(reinterpret_cast<const unsigned char*>(blank.data()), length), 0);
        for (const MarkCase& c : cases) {
            std::string bytes = ZeroImageWith(length, c.back, c.mark);
            EXPECT_EQ(IsVirtualBoyImage(reinterpret_cast<const unsigned char*>(bytes.data()), length), c.expected)
                << "\"" << c.mark << "\" at length - " << c.back << ", length " << length;
        }
    }
}

TEST(IsVirtualBoyImage, WindowOfTheSmallestImage)
{
    // For 8,192 bytes the window is positions 7,648 to 7,679.
    std::string bytes(8192, '\0');
    bytes[7648] = 'V';
    bytes[7651] = 'E';
    EXPECT_EQ(IsVirtualBoyImage(reinterpret_cast<const unsigned char*>(bytes.data()), 8192), 1);
    bytes[7648] = 0;
    bytes[7647] = 'V';
    bytes[7650] = 'E';
    EXPECT_EQ(IsVirtualBoyImage(reinterpret_cast<const unsigned char*>(bytes.data()), 8192), 0);
}

std::string Listed(const char* name, size_t size = 256)
{
    std::vector<char> out(size + 8, '#');
    ListedName(name, out.data(), size);
    EXPECT_TRUE(std::all_of(out.begin() + (long)size, out.end(), [](char c) { return c == '#'; }))
        << "wrote past the end for " << name;
    EXPECT_NE(std::find(out.begin(), out.begin() + (long)size, '\0'), out.begin() + (long)size);
    return out.data();
}

TEST(ListedName, CutAtTheLastDotUnlessItIsTheFirstCharacter)
{
    EXPECT_EQ(Listed("Jack Bros (U).vb"), "Jack Bros (U)");
    EXPECT_EQ(Listed("a.b.VB"), "a.b");
    EXPECT_EQ(Listed(".vb"), ".vb");
    EXPECT_EQ(Listed("..vb"), ".");
    EXPECT_EQ(Listed("Golf (U).zip"), "Golf (U)");
    EXPECT_EQ(Listed("noextension"), "noextension");
    EXPECT_EQ(Listed("trailing."), "trailing");
    EXPECT_EQ(Listed("Mario's Tennis (JU) [a1].Vb"), "Mario's Tennis (JU) [a1]");
}

TEST(ListedName, NeverOverrunsItsBuffer)
{
    std::string longName(300, 'x');
    longName += ".vb";
    std::string listed = Listed(longName.c_str());
    EXPECT_EQ(listed, std::string(255, 'x'));
    EXPECT_EQ(Listed("abcdefgh.vb", 4), "abc");
}

}  // namespace
