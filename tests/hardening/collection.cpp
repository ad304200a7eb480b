// collection.cpp - the hardening tests' collections, the check that every file survived and every list is whole, strace
#include "hardening.h"

#include "zipwriter.h"

#include "catalogue/catalogue.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace hard {

namespace {

const std::string Exe = fs::path(QUOR_EXE).filename().string();

std::string Home(const test::Scratch& s)
{
    return test::Join(s.root, "home");
}

Files Read(const std::string& dir)
{
    const auto files = test::Snapshot(dir);
    return Files(files.begin(), files.end());
}

uint32_t CrcOf(int entry)
{
    return (uint32_t)strtoul(std::string(KnownRomTable[entry], 8).c_str(), nullptr, 16);
}

void WriteConfig(const test::Scratch& s)
{
    std::string config = test::ReadFile(QUOR_SOURCE_DIR "/config/QuorInfo.cfg");
    EXPECT_FALSE(config.empty()) << "no sample QuorInfo.cfg";
    test::WriteFile(test::Join(s.program, "QuorInfo.cfg"), config);
}

}  // namespace

Layout Capture(const test::Scratch& s)
{
    Layout layout{Read(s.collection), Read(s.program), Read(Home(s))};
    layout.program.erase(Exe);
    return layout;
}

void Restore(const test::Scratch& s, const Layout& layout)
{
    std::error_code ec;
    const std::pair<std::string, const Files*> folders[] = {
        {s.collection, &layout.collection}, {s.program, &layout.program}, {Home(s), &layout.home}};
    for (const auto& [dir, files] : folders) {
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
        for (const fs::directory_entry& e : fs::directory_iterator(dir, ec))
            if (e.path().filename() != Exe)
                fs::remove_all(e.path(), ec);
        for (const auto& [path, bytes] : *files)
            test::WriteFile(test::Join(dir, path), bytes);
    }
}

Files Arrangement(const Files& files)
{
    static const std::set<std::string> outputs = {"VBoyHave.txt", "VBoyMiss.txt", "VBoyDupes.txt", "VBoyLog.txt",
                                                  "Quor_ZIP.txt", "VAvuDevo.zid", "QuorVBoy.db"};
    Files kept;
    for (const auto& [path, bytes] : files) {
        bool top = path.find('/') == std::string::npos;
        bool temporary = path.size() > 4 && path.compare(path.size() - 4, 4, ".tmp") == 0;
        if (!top || (!outputs.count(path) && !temporary))
            kept[path] = bytes;
    }
    return kept;
}

bool Entries(const std::string& name, const std::string& bytes, std::vector<int>* entries)
{
    // Which entries the bytes name, then whether they are exactly what the
    // program writes for those entries.
    std::set<uint32_t> words;
    for (size_t at = 8; at + 4 <= bytes.size(); at += 4)
        words.insert((uint32_t)(uint8_t)bytes[at] << 24 | (uint32_t)(uint8_t)bytes[at + 1] << 16 |
                     (uint32_t)(uint8_t)bytes[at + 2] << 8 | (uint8_t)bytes[at + 3]);
    const std::vector<std::string> lines = test::Lines(bytes);
    const bool database = name == "QuorVBoy.db";
    std::vector<uint32_t> crcs;
    std::string names;
    entries->clear();
    for (int i = 0; i < KnownRomCount; i++) {
        std::string entry = KnownRomTable[i] + EntryNameOffset;
        if (database ? words.count(CrcOf(i)) == 0 : std::count(lines.begin(), lines.end(), entry) == 0)
            continue;
        entries->push_back(i);
        crcs.push_back(CrcOf(i));
        names += entry + "\n";
    }
    const int n = (int)entries->size();
    if (database)
        return n > 0 && bytes == test::HaveDatabase(crcs);
    if (name == "VBoyHave.txt")
        return n > 0 && bytes == " " + test::HaveLine(n) + names;
    for (int excluded = 0; excluded <= KnownRomCount; excluded++)
        if (bytes == " " + test::MissingLine(n, KnownRomCount - excluded, excluded) + names)
            return true;
    return false;
}

std::string Trouble(const Layout& before, const test::Scratch& s)
{
    std::ostringstream trouble;
    const Layout now = Capture(s);

    // Every file of the collection, by content: as many copies as before,
    // each in its old place or in VBoyRen or VBoyDupes.
    std::map<std::string, int> copies;
    std::map<std::string, std::string> nameOf;
    for (const auto& [path, bytes] : Arrangement(before.collection))
        copies[bytes]++, nameOf[bytes] = path;
    for (const auto& [path, bytes] : Arrangement(now.collection)) {
        auto old = before.collection.find(path);
        bool stayed = old != before.collection.end() && old->second == bytes;
        bool moved = path.rfind("VBoyRen/", 0) == 0 || path.rfind("VBoyDupes/", 0) == 0;
        if (copies.count(bytes) == 0) {
            trouble << "unknown content in " << path << "\n";
            continue;
        }
        if (!stayed && !moved)
            trouble << nameOf[bytes] << " turned up as " << path << "\n";
        copies[bytes]--;
    }
    for (const auto& [bytes, left] : copies) {
        if (left > 0)
            trouble << "lost " << left << " copy of " << nameOf[bytes] << "\n";
        if (left < 0)
            trouble << -left << " copy too many of " << nameOf[bytes] << "\n";
    }

    // The lists and the database, wherever they went: the old ones or whole
    // new ones; a database is written only after its have list.
    struct Folder {
        const char* where;
        const Files &was, &is;
    };
    const Folder folders[] = {{"the start directory", before.collection, now.collection},
                              {"the program directory", before.program, now.program},
                              {"the fallback folder", before.home, now.home}};
    std::vector<std::vector<int>> haves, databases;
    for (const Folder& f : folders)
        for (const std::string name : {"VBoyHave.txt", "VBoyMiss.txt", "QuorVBoy.db"}) {
            auto was = f.was.find(name), is = f.is.find(name);
            std::vector<int> entries;
            if (is == f.is.end()) {
                if (was != f.was.end())
                    trouble << name << " in " << f.where << " is gone\n";
                continue;
            }
            bool changed = was == f.was.end() || was->second != is->second;
            bool whole = Entries(name, is->second, &entries);
            if (changed && !whole)
                trouble << name << " in " << f.where << " is neither the old one nor a complete new one\n";
            if (whole && name == "VBoyHave.txt")
                haves.push_back(entries);
            if (whole && changed && name == "QuorVBoy.db")
                databases.push_back(entries);
        }
    for (const std::vector<int>& database : databases)
        if (std::find(haves.begin(), haves.end(), database) == haves.end())
            trouble << "a new database names what no have list names\n";
    if (Arrangement(now.program) != Arrangement(before.program))
        trouble << "QuorInfo.cfg changed\n";
    return trouble.str();
}

Layout MakeScenario(const test::Scratch& s)
{
    auto known = [](const char* entry, uint32_t size, uint32_t seed) {
        return test::MakeImageWithCrc(size, test::CatalogueCrcOf(entry), seed);
    };
    const std::string tetris = known("3D Tetris (U)", 16384, 11), golf = known("Golf (U)", 8192, 12),
                      pong = known("Virtual Pong (PD)", 9000, 14);
    WriteConfig(s);
    // An earlier run saw one image: its lists and database are the old ones.
    test::WriteFile(test::Join(s.collection, "Red Alarm (U).vb"), known("Red Alarm (U)", 12000, 13));
    EXPECT_EQ(test::RunQuor(s, {"list"}).status, 0);

    const std::pair<const char*, std::string> loose[] = {
        {"tetris.vb", tetris}, {"Tetris copy.vb", tetris}, {"tetris3.VB", tetris}, {"golf.VB", golf},
        {"pong.vb", pong},     {"bomber bad.vb", known("Panic Bomber (U) [b1]", 8192, 17)},
        {"unknown.vb", test::MakeImage(8192, 99)}, {"small.vb", test::MakeImage(100, 98)},
        {"readme.txt", "not an image\n"}, {"sub/inner.vb", known("Waterworld (U)", 8192, 18)}};
    for (const auto& [path, bytes] : loose)
        test::WriteFile(test::Join(s.collection, path), bytes);
    // Archives by their members (name, bytes, method); the last is cut short.
    const std::pair<const char*, std::vector<test::ZipMember>> archives[] = {
        {"jack.zip", {{"Jack Bros (J).vb", known("Jack Bros (J)", 20000, 15), test::ZipDeflated}}},
        {"pinball.zip", {{"pinball.vb", known("Galactic Pinball (JU)", 8192, 16)}, {"pinball.txt", "notes"}}},
        {"golf again.ZIP", {{"golf.vb", golf, test::ZipDeflated}}},
        {"two images.zip", {{"a.vb", tetris, test::ZipDeflated}, {"b.vb", pong}}},
        {"broken.zip", {{"x.vb", test::MakeImage(30000, 97), test::ZipDeflated}}}};
    for (const auto& [path, members] : archives) {
        test::ZipWriter zip;
        zip.members = members;
        if (std::string(path) == "broken.zip")
            zip.keep = zip.Bytes().size() / 2;
        zip.WriteTo(test::Join(s.collection, path));
    }
    return Capture(s);
}

Layout MakeLargeCollection(const test::Scratch& s, int count, uint32_t seed)
{
    std::mt19937 random(seed);
    WriteConfig(s);
    char name[32];
    for (int k = 0; k < count; k++) {
        if (k == 4) {
            EXPECT_EQ(test::RunQuor(s, {"list"}).status, 0);
        }
        // Every seventh image is unknown; every entry recurs every 37 images.
        uint32_t size = 8192 + (uint32_t)(random() % (64 * 1024)), from = seed * 1000 + (uint32_t)k;
        std::string image = k % 7 == 6 ? test::MakeImage(size, from)
                                       : test::MakeImageWithCrc(size, CrcOf(k % KnownRomCount), from);
        if (k % 4 == 3) {
            test::ZipWriter zip;
            snprintf(name, sizeof name, "member%03d.vb", k);
            zip.Add(name, image, k % 8 == 3 ? test::ZipStored : test::ZipDeflated);
            snprintf(name, sizeof name, "archive %03d.zip", k);
            zip.WriteTo(test::Join(s.collection, name));
            continue;
        }
        snprintf(name, sizeof name, k % 5 == 0 ? "Image %03d.VB" : "image%03d.vb", k);
        test::WriteFile(test::Join(s.collection, name), image);
        snprintf(name, sizeof name, "image%03d copy.vb", k);
        if (k % 23 == 0)
            test::WriteFile(test::Join(s.collection, name), image);
    }
    return Capture(s);
}

std::string StraceMissing()
{
    int status = test::SpawnProgram("/usr/bin/env", {"strace", "-f", "-qq", "-o", "/dev/null", "true"}, ".",
                                    "/dev/null", "/dev/null", "/dev/null");
    if (status < 0)
        return "strace is missing (Debian package strace)";
    return status == 0 ? "" : "strace cannot trace processes here";
}

std::vector<std::string> Strace(const std::string& output, const std::vector<std::string>& options)
{
    static const bool quiet = [] {
        const char* old = getenv("ASAN_OPTIONS");
        std::string asan = (old != nullptr && *old != '\0' ? std::string(old) + ":" : "") + "detect_leaks=0";
        return setenv("ASAN_OPTIONS", asan.c_str(), 1) == 0;
    }();
    (void)quiet;
    std::vector<std::string> prefix = {"/usr/bin/env", "strace", "-f", "-qq", "-o", output};
    prefix.insert(prefix.end(), options.begin(), options.end());
    return prefix;
}

void CountCalls(const std::string& trace, const std::string& syscall, int* before, int* total)
{
    *before = *total = 0;
    bool started = false;
    for (const std::string& line : test::Lines(trace)) {
        // Each line is the process id, blanks, then the call.
        size_t call = line.find_first_not_of(' ', line.find(' '));
        if (call == std::string::npos)
            continue;
        started = started || line.compare(call, 19, "write(2, \"QuorVBoy:") == 0;
        if (line.compare(call, syscall.size() + 1, syscall + "(") == 0)
            ++*total, *before += !started;
    }
}

}  // namespace hard
