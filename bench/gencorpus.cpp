// gencorpus.cpp - quorgen: makes collections of synthetic images for the benchmark and for the Quick start
//
//   quorgen DIR [--images N] [--min-size B] [--max-size B] [--known-share P]
//               [--stored-zips N] [--deflated-zips N] [--others N] [--dupes N]
//               [--subdirs N] [--seed S]
//               [--xml-dat FILE] [--cmp-dat FILE] [--dat-entries N]
//   quorgen DIR --sample
//
// Every image is made by the synthesis of synth.h (a pseudo-random body
// with a Virtual Boy mark in its header window), shaped so that it deflates
// about as well as a cartridge dump does, and, when it is to be known, forged
// to the CRC-32 of a catalogue entry. Archives are written with synth.h's
// ZIP writer. The same arguments always give the same bytes. A DAT of the
// corpus lists every distinct known image written, loose or in an archive,
// with its size and hashes, in Logiqx XML or clrmamepro text.
#include "catalogue/catalogue.h"
#include "identify/hash.h"
#include "synth.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A small deterministic generator (splitmix64): the same seed gives the same
// corpus on every system and standard library.
struct Rng {
    uint64_t state;
    explicit Rng(uint64_t seed) : state(seed) {}
    uint64_t Next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t n) { return n == 0 ? 0 : (uint32_t)(Next() % n); }
    double Unit() { return (double)(Next() >> 11) / 9007199254740992.0; }
};

struct Options {
    std::string dir;
    uint32_t images = 100;
    uint32_t minSize = 8192;
    uint32_t maxSize = 2u << 20;
    double knownShare = 0.5;
    uint32_t storedZips = 0;
    uint32_t deflatedZips = 0;
    uint32_t others = 0;
    uint32_t dupes = 0;
    uint32_t subdirs = 0;
    uint64_t seed = 1;
    bool sample = false;
    std::string xmlDat, cmpDat;  // DATs of the corpus to write, when named
    uint32_t datEntries = 0;     // entries to pad the DATs up to
};

// What has been written, for the closing summary.
struct Totals {
    uint32_t files = 0;
    uint32_t known = 0;
    uint32_t unknown = 0;
    uint64_t bytes = 0;
};

Totals totals;

// One rom of the corpus's DAT: the image's name without ".vb", its size and digests.
struct DatRom {
    std::string name;
    uint32_t size;
    uint32_t crc;
    std::string md5, sha1, sha256;
};

std::vector<DatRom> datRoms;
std::set<std::string> datDigests;  // the SHA-1s of the roms above, so that each image is listed once
std::set<uint32_t> writtenCrcs;    // the CRC-32 of every image written, known or not
bool wantDat = false;

// Notes an image written under stem: every image's CRC, and a known one's
// rom once per distinct content.
void NoteImage(const std::string& stem, const std::string& bytes, bool known)
{
    writtenCrcs.insert(synth::Crc(bytes));
    if (!wantDat || !known)
        return;
    const unsigned char* data = reinterpret_cast<const unsigned char*>(bytes.data());
    DatRom rom{stem, (uint32_t)bytes.size(), synth::Crc(bytes), HashHex(HashMd5, data, bytes.size()),
               HashHex(HashSha1, data, bytes.size()), HashHex(HashSha256, data, bytes.size())};
    if (datDigests.insert(rom.sha1).second)
        datRoms.push_back(rom);
}

constexpr uint32_t ShapeBlock = 4096;

// A synthetic image of size bytes that compresses like a cartridge dump:
// runs of 0xFF padding, repeated blocks and low-entropy stretches among
// random ones. The last block, which holds the header window and its mark,
// is left as the synthesis made it. With known set, its CRC-32 is forged to
// crc.
std::string ShapedImage(uint32_t size, uint32_t seed, bool known, uint32_t crc)
{
    std::string bytes = synth::MakeImage(size, seed);
    Rng rng(seed * 0x2545F4914F6CDD1Dull + 7);
    for (size_t b = 0; b + 2 * ShapeBlock <= size; b += ShapeBlock) {
        char* block = &bytes[b];
        switch (rng.Below(8)) {
        case 0:
            memset(block, 0xFF, ShapeBlock);
            break;
        case 1:
        case 2:
        case 3:
            for (uint32_t i = 0; i < ShapeBlock; i++)
                block[i] = (char)(block[i] & 0x1F);
            break;
        case 4:
            // From within deflate's 32 KiB window, as repeated code and tables are.
            if (b >= ShapeBlock) {
                uint32_t back = 1 + rng.Below(b / ShapeBlock < 7 ? (uint32_t)(b / ShapeBlock) : 7);
                memcpy(block, block - back * ShapeBlock, ShapeBlock);
            }
            break;
        default:
            break;
        }
    }
    if (known)
        synth::ForgeCrc(bytes, crc, 0);
    return bytes;
}

// An image's size: a power of two between the limits, or any size between
// them when no power of two lies there.
uint32_t PickSize(Rng& rng, const Options& o)
{
    std::vector<uint32_t> powers;
    for (uint64_t p = 1; p <= o.maxSize; p <<= 1)
        if (p >= o.minSize)
            powers.push_back((uint32_t)p);
    if (!powers.empty())
        return powers[rng.Below((uint32_t)powers.size())];
    return o.minSize + rng.Below(o.maxSize - o.minSize + 1);
}

uint32_t EntryCrc(int entry)
{
    return synth::CatalogueCrcOf(KnownRomTable[entry] + EntryNameOffset);
}

bool IsCatalogueCrc(uint32_t crc)
{
    for (int i = 0; i < KnownRomCount; i++)
        if (EntryCrc(i) == crc)
            return true;
    return false;
}

// The next image of a corpus: known with the given share, cycling through
// the catalogue so that every entry gets its turn. entry is set to the
// catalogue index, or -1 for an unknown image.
std::string NextImage(Rng& rng, const Options& o, uint32_t& serial, int& entry)
{
    static int nextEntry = 0;
    uint32_t size = PickSize(rng, o);
    bool known = rng.Unit() < o.knownShare;
    uint32_t seed = (uint32_t)(o.seed * 1000003u + ++serial);
    if (known) {
        entry = nextEntry;
        nextEntry = (nextEntry + 1) % KnownRomCount;
        totals.known++;
        return ShapedImage(size, seed, true, EntryCrc(entry));
    }
    entry = -1;
    totals.unknown++;
    std::string bytes = ShapedImage(size, seed, false, 0);
    if (IsCatalogueCrc(synth::Crc(bytes)))
        bytes[0] ^= 1;  // an unknown image stays unknown
    return bytes;
}

void Write(const std::string& path, const std::string& bytes)
{
    synth::WriteFile(path, bytes);
    totals.files++;
    totals.bytes += bytes.size();
}

// The folder the k-th file goes to: the top folder and the subfolders in turn.
std::string FolderFor(const Options& o, uint32_t k)
{
    uint32_t slot = o.subdirs == 0 ? 0 : k % (o.subdirs + 1);
    if (slot == 0)
        return o.dir;
    char name[32];
    snprintf(name, sizeof name, "Games %02u", slot);
    return synth::Join(o.dir, name);
}

// A file name stem for an image: its catalogue name or a homebrew title.
std::string Stem(int entry, uint32_t serial)
{
    char number[16];
    snprintf(number, sizeof number, "%05u", serial);
    if (entry >= 0)
        return std::string(KnownRomTable[entry] + EntryNameOffset) + " #" + number;
    return std::string("Homebrew ") + number;
}

// The image extension in the letter cases that collections really have.
const char* ImageExtension(uint32_t serial)
{
    static const char* const cases[] = {".vb", ".vb", ".VB", ".Vb"};
    return cases[serial % 4];
}

void MakeCorpus(const Options& o)
{
    Rng rng(o.seed);
    uint32_t serial = 0;
    uint32_t k = 0;
    std::vector<std::string> made;  // paths a duplicate may copy

    for (uint32_t i = 0; i < o.images; i++) {
        int entry;
        std::string bytes = NextImage(rng, o, serial, entry);
        std::string stem = Stem(entry, serial);
        std::string path = synth::Join(FolderFor(o, k++), stem + ImageExtension(serial));
        Write(path, bytes);
        NoteImage(stem, bytes, entry >= 0);
        made.push_back(path);
    }
    for (uint32_t i = 0; i < o.storedZips + o.deflatedZips; i++) {
        bool deflated = i >= o.storedZips;
        int entry;
        std::string bytes = NextImage(rng, o, serial, entry);
        std::string stem = Stem(entry, serial);
        NoteImage(stem, bytes, entry >= 0);
        synth::ZipWriter zip;
        zip.Add(stem + ".vb", bytes, deflated ? synth::ZipDeflated : synth::ZipStored);
        std::string path = synth::Join(FolderFor(o, k++), stem + (deflated ? " (deflated).zip" : ".zip"));
        Write(path, zip.Bytes());
        made.push_back(path);
    }
    for (uint32_t i = 0; i < o.others; i++) {
        std::string folder = FolderFor(o, k++);
        char number[16];
        snprintf(number, sizeof number, "%05u", ++serial);
        switch (i % 5) {
        case 0:
            Write(synth::Join(folder, std::string("notes ") + number + ".txt"),
                  "Not an image: a text file beside the collection.\n");
            break;
        case 1: {
            // Data of an image's size under another extension: passed over.
            Rng data(serial);
            std::string bytes(8192 + data.Below(65536), '\0');
            for (char& c : bytes)
                c = (char)data.Next();
            Write(synth::Join(folder, std::string("dump ") + number + ".bin"), bytes);
            break;
        }
        case 2: {
            synth::ZipWriter zip;
            zip.Add("readme.txt", "Manuals only, no images.\n");
            zip.Add("manual.txt", std::string(4096, 'm'), synth::ZipDeflated);
            Write(synth::Join(folder, std::string("manuals ") + number + ".zip"), zip.Bytes());
            break;
        }
        case 3: {
            synth::ZipWriter zip;
            for (uint32_t side = 0; side < 2; side++) {
                std::string bytes = ShapedImage(16384, serial + side, false, 0);
                NoteImage("", bytes, false);
                zip.Add(side == 0 ? "side a.vb" : "side b.vb", bytes);
            }
            Write(synth::Join(folder, std::string("two games ") + number + ".zip"), zip.Bytes());
            break;
        }
        default: {
            // Cut before its end record: the ZIP reader reports it.
            synth::ZipWriter zip;
            std::string bytes = ShapedImage(8192, serial, false, 0);
            NoteImage("", bytes, false);
            zip.Add("lost.vb", bytes, synth::ZipDeflated);
            zip.keep = zip.DirectoryStart();
            Write(synth::Join(folder, std::string("damaged ") + number + ".zip"), zip.Bytes());
            break;
        }
        }
    }
    for (uint32_t i = 0; i < o.dupes && !made.empty(); i++) {
        const std::string& source = made[rng.Below((uint32_t)made.size())];
        fs::path p(source);
        char tag[32];
        snprintf(tag, sizeof tag, " (copy %u)", i + 1);
        std::string name = p.stem().string() + tag + p.extension().string();
        Write(synth::Join(FolderFor(o, k++), name), synth::ReadFile(source));
    }
}

// Adds made-up roms until the DAT lists entries in all, as a large DAT of
// many systems' worth of names would: sizes of real images, CRCs that no
// image of the corpus has, digests of nothing.
void PadDat(uint32_t entries, uint64_t seed)
{
    Rng rng(seed ^ 0xDA7DA7DA7ull);
    static const char hex[] = "0123456789abcdef";
    auto digest = [&](int digits) {
        std::string text;
        for (int i = 0; i < digits; i++)
            text += hex[rng.Below(16)];
        return text;
    };
    for (uint32_t n = 1; datRoms.size() < entries; n++) {
        uint32_t crc;
        do
            crc = (uint32_t)rng.Next();
        while (writtenCrcs.count(crc) != 0 || IsCatalogueCrc(crc));
        char name[48];
        snprintf(name, sizeof name, "Filler %06u (World)", n);
        datRoms.push_back({name, 8192u << rng.Below(9), crc, digest(32), digest(40), digest(64)});
    }
}

// Text with XML's five special characters escaped.
std::string Xml(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = (char)toupper((unsigned char)c);
    return text;
}

// The DAT as the preservation groups write it: Logiqx XML with SHA-256, or
// clrmamepro text up to SHA-1 with upper-case digits.
std::string DatText(bool xml, const Options& o)
{
    char crc[9];
    std::string out;
    std::string title = "quorgen corpus (seed " + std::to_string(o.seed) + ")";
    if (xml) {
        out += "<?xml version=\"1.0\"?>\n"
               "<!DOCTYPE datafile PUBLIC \"-//Logiqx//DTD ROM Management Datafile//EN\" "
               "\"http://www.logiqx.com/Dats/datafile.dtd\">\n<datafile>\n\t<header>\n\t\t<name>" +
               Xml(title) + "</name>\n\t\t<description>" + Xml(title) +
               "</description>\n\t\t<version>1</version>\n\t</header>\n";
    } else {
        out += "clrmamepro (\n\tname \"" + title + "\"\n\tdescription \"" + title + "\"\n\tversion 1\n)\n\n";
    }
    for (const DatRom& r : datRoms) {
        snprintf(crc, sizeof crc, "%08x", (unsigned)r.crc);
        if (xml)
            out += "\t<game name=\"" + Xml(r.name) + "\">\n\t\t<description>" + Xml(r.name) +
                   "</description>\n\t\t<rom name=\"" + Xml(r.name) + ".vb\" size=\"" + std::to_string(r.size) +
                   "\" crc=\"" + crc + "\" md5=\"" + r.md5 + "\" sha1=\"" + r.sha1 + "\" sha256=\"" + r.sha256 +
                   "\"/>\n\t</game>\n";
        else
            out += "game (\n\tname \"" + r.name + "\"\n\tdescription \"" + r.name + "\"\n\trom ( name \"" +
                   r.name + ".vb\" size " + std::to_string(r.size) + " crc " + Upper(crc) + " md5 " +
                   Upper(r.md5) + " sha1 " + Upper(r.sha1) + " )\n)\n\n";
    }
    if (xml)
        out += "</datafile>\n";
    return out;
}

void WriteDats(const Options& o)
{
    uint32_t known = (uint32_t)datRoms.size();
    PadDat(o.datEntries, o.seed);
    for (int xml = 1; xml >= 0; xml--) {
        const std::string& path = xml ? o.xmlDat : o.cmpDat;
        if (path.empty())
            continue;
        synth::WriteFile(path, DatText(xml != 0, o));
        printf("quorgen: %s, %zu entries (%u images of the corpus)\n", path.c_str(), datRoms.size(), known);
    }
}

// The catalogue index of a canonical name (the sample names only real ones).
int EntryNamed(const char* name)
{
    for (int i = 0; i < KnownRomCount; i++)
        if (strcmp(KnownRomTable[i] + EntryNameOffset, name) == 0)
            return i;
    fprintf(stderr, "quorgen: no catalogue entry named %s\n", name);
    exit(1);
}

std::string KnownImage(const char* canonical, uint32_t size, uint32_t seed)
{
    totals.known++;
    return ShapedImage(size, seed, true, EntryCrc(EntryNamed(canonical)));
}

// A dozen files that show every kind of thing a collection holds.
void MakeSample(const std::string& dir)
{
    std::string tetris = KnownImage("3D Tetris (U)", 131072, 1);
    Write(synth::Join(dir, "tetris.VB"), tetris);
    Write(synth::Join(dir, "tetris (copy).vb"), tetris);
    Write(synth::Join(dir, "JACK BROS.vb"), KnownImage("Jack Bros (U)", 65536, 2));
    Write(synth::Join(dir, "mario_clash.vb"), KnownImage("Mario Clash (JU)", 65536, 3));
    Write(synth::Join(dir, "vertical force (1995).Vb"), KnownImage("Vertical Force (U)", 131072, 4));
    Write(synth::Join(dir, "golf.vb"), KnownImage("Golf (U)", 65536, 5));

    synth::ZipWriter redAlarm;
    redAlarm.Add("redalarm.vb", KnownImage("Red Alarm (U)", 131072, 6), synth::ZipDeflated);
    Write(synth::Join(dir, "red alarm.zip"), redAlarm.Bytes());

    totals.unknown++;
    Write(synth::Join(dir, "my homebrew demo.vb"), ShapedImage(32768, 7, false, 0));

    Write(synth::Join(dir, "readme.txt"),
          "A sample collection of synthetic Virtual Boy images made by quorgen.\n"
          "None of them is a real game: their CRC-32s are forged to the catalogue's.\n");

    synth::ZipWriter damaged;
    damaged.Add("panic.vb", ShapedImage(65536, 8, true, EntryCrc(EntryNamed("Panic Bomber (U)"))),
                synth::ZipDeflated);
    damaged.keep = damaged.DirectoryStart();
    Write(synth::Join(dir, "damaged.zip"), damaged.Bytes());

    Write(synth::Join(synth::Join(dir, "Favourites"), "wario land.vb"),
          KnownImage("Virtual Boy Wario Land (JU)", 131072, 9));
}

void Usage()
{
    fprintf(stderr,
            "usage: quorgen DIR [--images N] [--min-size B] [--max-size B] [--known-share P]\n"
            "                   [--stored-zips N] [--deflated-zips N] [--others N] [--dupes N]\n"
            "                   [--subdirs N] [--seed S]\n"
            "                   [--xml-dat FILE] [--cmp-dat FILE] [--dat-entries N]\n"
            "       quorgen DIR --sample\n"
            "Makes a collection of synthetic Virtual Boy images in DIR (new or empty).\n"
            "  --images N         loose images (100)\n"
            "  --min-size B       smallest image, in bytes, K or M (8K)\n"
            "  --max-size B       largest image (2M); sizes are the powers of two between\n"
            "  --known-share P    share of images forged to a catalogue CRC, 0 to 1 (0.5)\n"
            "  --stored-zips N    ZIP archives holding one stored image (0)\n"
            "  --deflated-zips N  ZIP archives holding one deflated image (0)\n"
            "  --others N         text files, .bin files, ZIPs without images, ZIPs with two\n"
            "                     images, damaged ZIPs, in turn (0)\n"
            "  --dupes N          extra copies of files made above (0)\n"
            "  --subdirs N        spread the files over DIR and N folders inside it (0)\n"
            "  --seed S           another seed gives other bytes (1)\n"
            "  --xml-dat FILE     write a Logiqx XML DAT of the known images written\n"
            "                     (size, CRC-32, MD5, SHA-1, SHA-256), each listed once\n"
            "  --cmp-dat FILE     the same as clrmamepro text (up to SHA-1)\n"
            "  --dat-entries N    pad the DATs with made-up entries up to N entries\n"
            "  --sample           a dozen friendly files for a first look instead\n");
    exit(2);
}

// Reads a count or a size: digits with an optional K or M (binary) suffix.
uint64_t Number(const char* text)
{
    char* end = nullptr;
    errno = 0;
    unsigned long long value = strtoull(text, &end, 10);
    if (end == text || errno != 0)
        Usage();
    if (*end == 'k' || *end == 'K')
        value <<= 10, end++;
    else if (*end == 'm' || *end == 'M')
        value <<= 20, end++;
    if (*end == 'i' && (end[1] == 'B' || end[1] == 'b'))
        end += 2;
    if (*end != '\0')
        Usage();
    return value;
}

uint32_t Count(const char* text)
{
    uint64_t value = Number(text);
    if (value > 10000000)
        Usage();
    return (uint32_t)value;
}

Options Parse(int argc, char** argv)
{
    Options o;
    if (argc < 2 || argv[1][0] == '-')
        Usage();
    o.dir = argv[1];
    for (int i = 2; i < argc; i++) {
        std::string a = argv[i];
        if (a == "--sample") {
            o.sample = true;
            continue;
        }
        if (i + 1 >= argc)
            Usage();
        const char* v = argv[++i];
        if (a == "--images")
            o.images = Count(v);
        else if (a == "--min-size")
            o.minSize = (uint32_t)Number(v);
        else if (a == "--max-size")
            o.maxSize = (uint32_t)Number(v);
        else if (a == "--known-share")
            o.knownShare = atof(v);
        else if (a == "--stored-zips")
            o.storedZips = Count(v);
        else if (a == "--deflated-zips")
            o.deflatedZips = Count(v);
        else if (a == "--others")
            o.others = Count(v);
        else if (a == "--dupes")
            o.dupes = Count(v);
        else if (a == "--subdirs")
            o.subdirs = Count(v);
        else if (a == "--seed")
            o.seed = Number(v);
        else if (a == "--xml-dat")
            o.xmlDat = v;
        else if (a == "--cmp-dat")
            o.cmpDat = v;
        else if (a == "--dat-entries")
            o.datEntries = Count(v);
        else
            Usage();
    }
    if (o.minSize < 8192 || o.maxSize > 2099200 || o.minSize > o.maxSize) {
        fprintf(stderr, "quorgen: image sizes lie between 8192 and 2099200 bytes\n");
        exit(2);
    }
    if (o.knownShare < 0 || o.knownShare > 1) {
        fprintf(stderr, "quorgen: --known-share is between 0 and 1\n");
        exit(2);
    }
    return o;
}

}  // namespace

int main(int argc, char** argv)
{
    Options o = Parse(argc, argv);
    std::error_code ec;
    if (fs::exists(o.dir, ec) && !fs::is_empty(o.dir, ec)) {
        fprintf(stderr, "quorgen: %s is not empty\n", o.dir.c_str());
        return 1;
    }
    fs::create_directories(o.dir, ec);
    wantDat = !o.xmlDat.empty() || !o.cmpDat.empty();
    if (o.sample)
        MakeSample(o.dir);
    else
        MakeCorpus(o);
    printf("quorgen: %u files, %llu bytes in %s (%u known images, %u unknown)\n", totals.files,
           (unsigned long long)totals.bytes, o.dir.c_str(), totals.known, totals.unknown);
    if (wantDat && !o.sample)
        WriteDats(o);
    return 0;
}
