// catalogue_test.cpp - lookups by CRC value and text, with and without the key; reloading the have database and list
#include "support.h"

#include <set>

namespace {

// The entry found by the CRC text of crc (followed by more: only 8 characters count), from start on.
int ByText(uint32_t crc, int start = 0, bool upper = false)
{
    char text[32];
    snprintf(text, sizeof text, upper ? "%08X and more" : "%08x and more", (unsigned)crc);
    return FindEntryByCrcText(text, start);
}

using Catalogue = test::UnitTest;

TEST_F(Catalogue, LookupsTryTheKeyOnlyWhenNoEntryMatchesAsItStands)
{
    const uint32_t* crc = CatalogueCrcs;
    for (uint32_t key : {0u, 0x5a5a1234u}) {
        SetCrcKey(key);
        for (int i = 0; i < KnownRomCount; i++) {
            EXPECT_TRUE(FindEntryByCrc(crc[i]) == i && ByText(crc[i], i) == i && ByText(crc[i], i + 1) == -1) << i;
            // A text is compared as it stands, and with a key also read as a number (in any case).
            bool letters = std::string(KnownRomTable[i], 8).find_first_of("abcdef") != std::string::npos;
            EXPECT_EQ(ByText(crc[i], 0, true), letters ? -1 : i) << i;
            EXPECT_TRUE(FindEntryByCrc(crc[i] ^ 0x5a5a1234u) == (key ? i : -1) &&
                        ByText(crc[i] ^ 0x5a5a1234u, 0, true) == (key ? i : -1)) << i;
        }
        EXPECT_EQ(FindEntryByCrcText("1234567", 0), -1);
    }
    // Entries whose CRCs differ by the key each find themselves; from start 1, entry 0's text finds its partner.
    SetCrcKey(crc[0] ^ crc[23]);
    EXPECT_EQ(std::pair(FindEntryByCrc(crc[23]), FindEntryByCrc(crc[0])), std::pair(23, 0));
    EXPECT_EQ(std::pair(ByText(crc[0], 0), ByText(crc[0], 1)), std::pair(0, 23));
    // A key can make the CRC 0 known.
    EXPECT_EQ(FindEntryByCrc(0), -1);
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

TEST_F(Catalogue, HaveDatabaseReader)
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

TEST_F(Catalogue, HaveListReader)
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

}  // namespace
