// core_test.cpp - argument matching, catalogue lookups, CRC-32, the header mark and listed names
#include "support.h"

#include "catalogue/catalogue.h"
#include "identify/identify.h"
#include "run/imagebuffer.h"
#include "run/options.h"
#include "run/outputfile.h"

#include <cstring>

namespace {

// The options that differ from their start state: "Name" for 1, else "Name=value".
std::string Changed()
{
#define OPTION(name, start) {#name, &Opt##name, start}
    const struct {
        const char* name;
        const int32_t* value;
        int32_t start;
    } options[] = {OPTION(Rename, 0), OPTION(Move, 0), OPTION(List, 0), OPTION(ListDirs, 0), OPTION(Scan, 0),
                   OPTION(ScanNew, 0), OPTION(ScanDirs, 0), OPTION(Deep, 0), OPTION(Dirs, 0), OPTION(Quiet, 0),
                   OPTION(Changes, 0), OPTION(ChangesReverse, 0), OPTION(ChangesAll, 1), OPTION(NoDb, 0),
                   OPTION(ShortNames, 0), OPTION(Sep, 0), OPTION(NoSep, 0), OPTION(Audit, 0), OPTION(Audit2, 0),
                   OPTION(Audit3, 0), OPTION(Audit4, 0), OPTION(CrcFile, 0), OPTION(BannerToStdout, 0)};
#undef OPTION
    std::string out;
    for (const auto& o : options)
        if (*o.value != o.start)
            out += std::string(" ") + o.name + (*o.value == 1 ? "" : "=" + std::to_string(*o.value));
    if (SepChar != ' ')
        out += std::string(" SepChar=") + SepChar;
    return out.empty() ? out : out.substr(1);
}

class Core : public test::UnitTest {};

TEST_F(Core, EachWordSetsExactlyItsRows)
{
    const std::pair<const char*, const char*> cases[] = {
        // Only the tested letter positions count, in any case; positions past
        // the end never match.
        {"rename", "Rename"}, {"r", "Rename"}, {"rxyz", "Rename"}, {"MoVe", "Rename Move"}, {"list", "List"},
        {"LISTD", "List ListDirs"}, {"lxxxdzz", "List ListDirs"}, {"scan", "Scan"}, {"scand", "Scan ScanDirs"},
        {"scannew", "Scan ScanNew"}, {"SCANNEWD", "Scan ScanNew ScanDirs"}, {"s..n", "Scan"}, {"sca", ""},
        {"deep", "Deep"}, {"dirs", "Dirs"}, {"d", ""}, {"q", "Quiet"}, {"nodb", "NoDb"}, {"nosep", "Sep NoSep"},
        {"audit", "Audit"}, {"audit2", "Audit Audit2"}, {"audit3", "Audit Audit3"}, {"audit4", "Audit Audit4"},
        {"audit5", "Audit"}, {"audit-2", "Audit"}, {"audi", ""}, {"changes", "Changes"}, {"ch", "Changes"},
        {"changes-", "Changes ChangesReverse"}, {"changesnew", "Changes ChangesAll=0"},
        {"changesnew-", "Changes ChangesReverse ChangesAll=0"},
        // sepX keeps the case of X and needs exactly 4 characters; sepn is also a scan word.
        {"sep_", "Sep SepChar=_"}, {"sepX", "Sep SepChar=X"}, {"sepn", "Scan Sep SepChar=n"}, {"sep", ""},
        {"sep__", ""},
        // The hidden rows: banner to standard output, short names, CRC file.
        {"v-----n", "BannerToStdout"}, {"v-----", ""}, {"f-----3", "ShortNames"}, {"f-----", ""},
        {"messfiles", "CrcFile"}, {"messfile", ""}, {"m.vs....s", "Rename Move CrcFile"}, {"", ""}, {"-rename", ""},
    };
    for (const auto& c : cases) {
        ResetRunOptions();
        MatchArgument(c.first);
        EXPECT_EQ(Changed(), c.second) << "word \"" << c.first << "\"";
    }
    for (const char* word : {"convert", "c12345t", "conver"}) {
        ResetRunOptions();
        EXPECT_EQ(test::Stdout([&] { MatchArgument(word); }),
                  strlen(word) < 7 ? "" : "Cannot convert this system to other formats\n");
        EXPECT_EQ(Changed(), "") << word;
    }
}

TEST_F(Core, LookupsByValueAndByTextWithAndWithoutTheKey)
{
    char text[9];
    for (uint32_t key : {0u, 0x5a5a1234u}) {
        CrcKey = key;
        for (int i = 0; i < KnownRomCount; i++) {
            // A direct match wins; only the first 8 characters of a text count.
            EXPECT_EQ(FindEntryByCrc(CatalogueCrcs[i]), i);
            EXPECT_EQ(FindEntryByCrc(CatalogueCrcs[i] ^ key), i);
            EXPECT_EQ(FindEntryByCrcText((std::string(KnownRomTable[i], 8) + " trailing").c_str(), 0), i);
            FormatCrcText(CatalogueCrcs[i] ^ key, text);
            EXPECT_EQ(FindEntryByCrcText(text, 0), i);
        }
        EXPECT_EQ(FindEntryByCrcText("bb71b522", 1), -1) << "entry 0 is before the start";
        EXPECT_EQ(FindEntryByCrcText("82a95e51", 36), 36);
        EXPECT_EQ(FindEntryByCrcText("82a95e51", 37), -1);
        for (const char* shortText : {"bb71b52", " bb71b52", ""})
            EXPECT_EQ(FindEntryByCrcText(shortText, 0), -1) << shortText;
    }
    // Without a key the text is compared as it stands; with it, it is read as
    // a number, so upper-case digits find too.
    EXPECT_EQ(FindEntryByCrcText("E12BA716", 0), 0);
    CrcKey = 0;
    EXPECT_EQ(FindEntryByCrcText("BB71B522", 0), -1);
    EXPECT_EQ(FindEntryByCrc(0x36103000 ^ 0x5a5a1234), -1);
    // Two entries whose CRCs differ by the key: each finds itself directly,
    // and from start 1 entry 0's text finds its keyed partner.
    CrcKey = CatalogueCrcs[0] ^ CatalogueCrcs[23];
    EXPECT_EQ(FindEntryByCrc(CatalogueCrcs[23]), 23);
    EXPECT_EQ(FindEntryByCrc(CatalogueCrcs[0]), 0);
    EXPECT_EQ(FindEntryByCrcText("bb71b522", 0), 0);
    EXPECT_EQ(FindEntryByCrcText("bb71b522", 1), 23);
    FormatCrcText(0x05d06377, text);
    EXPECT_STREQ(text, "05d06377");
}

uint32_t Crc32Of(const std::string& bytes, uint32_t start = 0)
{
    return Crc32(start, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

TEST(Crc32, KnownValuesAndZlibAcrossLengthsAlignmentsAndPieces)
{
    EXPECT_EQ(Crc32(0, nullptr, 0), 0u);
    EXPECT_EQ(Crc32Of("123456789"), 0xCBF43926u);
    EXPECT_EQ(Crc32Of(std::string(32, '\xff')), 0xFF6CAB0Bu);
    std::string bytes = test::MakeImage(70000, 99);
    for (size_t start : {0u, 1u, 3u})
        for (size_t length : {1u, 7u, 8u, 63u, 64u, 65u, 129u, 4096u, 65536u, 69990u})
            EXPECT_EQ(Crc32Of(bytes.substr(start, length)), test::Crc(bytes.substr(start, length))) << start << length;
    for (size_t cut : {1u, 64u, 100u})
        EXPECT_EQ(Crc32Of(bytes.substr(cut), Crc32Of(bytes.substr(0, cut))), test::Crc(bytes)) << "cut " << cut;
}

TEST(IsVirtualBoyImage, HeaderWindowEdges)
{
    const struct {
        uint32_t back;  // the mark starts at length - back
        const char* mark;
        int expected;
    } cases[] = {
        {544, "V..E", 1}, {513, "V..E", 1}, {545, "V..E", 0}, {512, "V..E", 0}, {530, "V..J", 1}, {530, "V..-", 1},
        {530, "V..U", 0}, {530, "v..E", 0}, {530, "V...E", 0}, {544, "TST", 1}, {513, "TST", 1}, {545, "TST", 0},
        {512, "TST", 0}, {545, ".TST", 1}, {530, "TS", 0}, {530, "tst", 0},
    };
    for (uint32_t length : {8192u, 2099200u}) {
        std::string blank(length, '\0');
        EXPECT_EQ(IsVirtualBoyImage(reinterpret_cast<const unsigned char*>(blank.data()), length), 0);
        for (const auto& c : cases) {
            std::string bytes = blank;
            bytes.replace(length - c.back, strlen(c.mark), c.mark);
            EXPECT_EQ(IsVirtualBoyImage(reinterpret_cast<const unsigned char*>(bytes.data()), length), c.expected)
                << "\"" << c.mark << "\" at length - " << c.back << ", length " << length;
        }
    }
}

TEST(ListedName, CutAtTheLastDotUnlessItIsTheFirstCharacterAndNeverPastTheBuffer)
{
    const std::pair<std::string, std::string> cases[] = {
        {"Jack Bros (U).vb", "Jack Bros (U)"}, {"a.b.VB", "a.b"}, {".vb", ".vb"}, {"..vb", "."},
        {"noextension", "noextension"}, {"trailing.", "trailing"}, {std::string(300, 'x') + ".vb", std::string(255, 'x')}};
    for (const auto& c : cases) {
        std::string out(264, '#');
        ListedName(c.first.c_str(), &out[0], 256);
        EXPECT_EQ(out.c_str(), c.second);
        EXPECT_EQ(out.substr(256), std::string(8, '#')) << "wrote past the end for " << c.first;
    }
}

}  // namespace
