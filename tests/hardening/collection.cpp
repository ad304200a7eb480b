// collection.cpp - the hardening tests' collections, and the check that every file survived and every list is whole
#include "hardening.h"

#include "support.h"
#include "zipwriter.h"

#include "catalogue/catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>

#ifndef QUOR_SOURCE_DIR
#define QUOR_SOURCE_DIR "."
#endif

namespace fs = std::filesystem;

namespace hard {

namespace {

const char* const HaveList = "VBoyHave.txt";
const char* const MissList = "VBoyMiss.txt";
const char* const Database = "QuorVBoy.db";

std::string ExeName()
{
    return fs::path(QUOR_EXE).filename().string();
}

bool StartsWith(const std::string& text, const std::string& head)
{
    return text.compare(0, head.size(), head) == 0;
}

// Removes everything inside dir but the names in keep.
void Empty(const std::string& dir, const std::vector<std::string>& keep)
{
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
        if (std::find(keep.begin(), keep.end(), e.path().filename().string()) != keep.end())
            continue;
        fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(e.path(), ec);
    }
}

void Lay(const std::string& dir, const Files& files)
{
    for (const auto& [path, bytes] : files)
        test::WriteFile(test::Join(dir, path), bytes);
}

std::vector<std::string> Lines(const std::string& text, bool* complete)
{
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    *complete = line.empty();
    return lines;
}

int EntryIndex(const std::string& name)
{
    for (int i = 0; i < KnownRomCount; i++)
        if (name == KnownRomTable[i] + EntryNameOffset)
            return i;
    return -1;
}

// The names after the two header lines, in catalogue order, or false.
bool ParseNames(const std::vector<std::string>& lines, std::vector<int>* entries)
{
    entries->clear();
    if (lines.size() < 2 || !lines[1].empty())
        return false;
    int last = -1;
    for (size_t k = 2; k < lines.size(); k++) {
        int i = EntryIndex(lines[k]);
        if (i <= last)
            return false;
        entries->push_back(i);
        last = i;
    }
    return true;
}

bool ParseMissList(const std::string& text)
{
    bool complete = false;
    std::vector<std::string> lines = Lines(text, &complete);
    std::vector<int> entries;
    if (!complete || !ParseNames(lines, &entries))
        return false;
    int missing = -1, known = -1, excluded = 0;
    char rest[64] = "";
    if (sscanf(lines[0].c_str(), " You are missing %d of %d known Nintendo Virtual Boy ROMS%63[^\n]", &missing,
               &known, rest) < 2)
        return false;
    std::string suffix = rest;
    if (!suffix.empty() && sscanf(rest, " (%d excluded)", &excluded) != 1)
        return false;
    std::string expected = " You are missing " + std::to_string(missing) + " of " + std::to_string(known) +
                           " known Nintendo Virtual Boy ROMS" +
                           (excluded ? " (" + std::to_string(excluded) + " excluded)" : std::string());
    return lines[0] == expected && missing == (int)entries.size() && known + excluded == KnownRomCount;
}

uint32_t CrcOfEntry(int i)
{
    return (uint32_t)strtoul(std::string(KnownRomTable[i], 8).c_str(), nullptr, 16);
}

// One list or database: old bytes (absent when hadOld is false), the bytes
// now (absent when hasNow is false), and whether the new content is whole.
std::string JudgeRewritten(const std::string& where, bool hadOld, const std::string& old, bool hasNow,
                           const std::string& now, bool (*whole)(const std::string&))
{
    if (!hasNow)
        return hadOld ? where + " is gone\n" : "";
    if (hadOld && now == old)
        return "";
    if (!whole(now))
        return where + " is neither the old one nor a complete new one\n";
    return "";
}

bool WholeHaveList(const std::string& text)
{
    std::vector<int> entries;
    return ParseHaveList(text, &entries);
}

bool WholeDatabase(const std::string& bytes)
{
    std::vector<int> entries;
    return ParseDatabase(bytes, &entries);
}

bool Find(const Files& files, const std::string& name, std::string* bytes)
{
    auto it = files.find(name);
    if (it == files.end())
        return false;
    *bytes = it->second;
    return true;
}

}  // namespace

bool IsOutputName(const std::string& relative)
{
    if (relative.find('/') != std::string::npos)
        return false;
    static const char* const names[] = {"VBoyHave.txt", "VBoyMiss.txt", "VBoyDupes.txt", "VBoyLog.txt",
                                        "Quor_ZIP.txt", "VAvuDevo.zid", "QuorVBoy.db"};
    for (const char* n : names)
        if (relative == n)
            return true;
    return relative.size() > 4 && relative.compare(relative.size() - 4, 4, ".tmp") == 0;
}

Files Read(const std::string& root)
{
    Files files;
    for (auto& [path, bytes] : test::Snapshot(root))
        files[path] = std::move(bytes);
    return files;
}

void Restore(const test::Scratch& scratch, const Layout& layout)
{
    std::error_code ec;
    fs::permissions(scratch.collection, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::permissions(scratch.program, fs::perms::owner_all, fs::perm_options::add, ec);
    Empty(scratch.collection, {});
    Empty(scratch.program, {ExeName()});
    Empty(test::Join(scratch.root, "home"), {});
    Lay(scratch.collection, layout.collection);
    Lay(scratch.program, layout.program);
}

Layout Capture(const test::Scratch& scratch)
{
    Layout layout;
    layout.collection = Read(scratch.collection);
    layout.program = Read(scratch.program);
    layout.program.erase(ExeName());
    return layout;
}

Files Arrangement(const Files& collection)
{
    Files kept;
    for (const auto& [path, bytes] : collection)
        if (!IsOutputName(path))
            kept[path] = bytes;
    return kept;
}

bool ParseHaveList(const std::string& text, std::vector<int>* entries)
{
    bool complete = false;
    std::vector<std::string> lines = Lines(text, &complete);
    if (!complete || !ParseNames(lines, entries) || entries->empty())
        return false;
    return lines[0] == " You have " + std::to_string(entries->size()) + " of 37 known Nintendo Virtual Boy ROMS";
}

bool ParseDatabase(const std::string& bytes, std::vector<int>* entries)
{
    entries->clear();
    if (bytes.size() < 12 || bytes.size() % 4 != 0 || bytes.compare(0, 8, std::string("QUOR\0\0\0\x13", 8)) != 0)
        return false;
    int last = -1;
    for (size_t at = 8; at < bytes.size(); at += 4) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
        uint32_t crc = ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
        int found = -1;
        for (int i = last + 1; i < KnownRomCount && found < 0; i++)
            if (CrcOfEntry(i) == crc)
                found = i;
        if (found < 0)
            return false;
        entries->push_back(found);
        last = found;
    }
    return true;
}

std::string Trouble(const Layout& before, const test::Scratch& scratch)
{
    std::ostringstream trouble;
    Files collection = Read(scratch.collection);
    Files program = Read(scratch.program);
    Files home = Read(test::Join(scratch.root, "home"));

    // Every file of the collection, by content: as many copies as before,
    // each in its old place or in VBoyRen or VBoyDupes.
    std::map<std::string, int> copies;
    std::map<std::string, std::string> nameOf;
    for (const auto& [path, bytes] : Arrangement(before.collection)) {
        copies[bytes]++;
        nameOf[bytes] = path;
    }
    for (const auto& [path, bytes] : Arrangement(collection)) {
        auto old = before.collection.find(path);
        bool stayed = old != before.collection.end() && old->second == bytes;
        bool moved = StartsWith(path, "VBoyRen/") || StartsWith(path, "VBoyDupes/");
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

    // The lists and the database: old or complete, wherever they went.
    std::string old, now;
    bool hadOld = Find(before.collection, HaveList, &old), hasNow = Find(collection, HaveList, &now);
    trouble << JudgeRewritten("VBoyHave.txt", hadOld, old, hasNow, now, WholeHaveList);
    hadOld = Find(before.collection, MissList, &old), hasNow = Find(collection, MissList, &now);
    trouble << JudgeRewritten("VBoyMiss.txt", hadOld, old, hasNow, now, ParseMissList);
    hadOld = Find(before.program, Database, &old), hasNow = Find(program, Database, &now);
    trouble << JudgeRewritten("the database beside the program", hadOld, old, hasNow, now, WholeDatabase);
    hadOld = Find(before.collection, Database, &old), hasNow = Find(collection, Database, &now);
    trouble << JudgeRewritten("the database in the start directory", hadOld, old, hasNow, now, WholeDatabase);
    hasNow = Find(home, HaveList, &now);
    trouble << JudgeRewritten("VBoyHave.txt in the fallback folder", false, "", hasNow, now, WholeHaveList);
    hasNow = Find(home, MissList, &now);
    trouble << JudgeRewritten("VBoyMiss.txt in the fallback folder", false, "", hasNow, now, ParseMissList);
    hasNow = Find(home, Database, &now);
    trouble << JudgeRewritten("the database in the fallback folder", false, "", hasNow, now, WholeDatabase);

    // A database is written only after its have list: a changed database
    // names what some have list names.
    std::vector<std::vector<int>> haveSets;
    for (const Files* files : {&collection, &home}) {
        std::vector<int> entries;
        if (Find(*files, HaveList, &now) && ParseHaveList(now, &entries))
            haveSets.push_back(entries);
    }
    const std::pair<const Files*, const Files*> places[] = {{&before.program, &program},
                                                            {&before.collection, &collection}};
    for (const auto& [was, is] : places) {
        std::vector<int> entries;
        bool changed = Find(*is, Database, &now) && !(Find(*was, Database, &old) && old == now);
        if (changed && ParseDatabase(now, &entries) &&
            std::find(haveSets.begin(), haveSets.end(), entries) == haveSets.end())
            trouble << "a new database names what no have list names\n";
    }

    std::string config;
    if (Find(before.program, "QuorInfo.cfg", &old) && !(Find(program, "QuorInfo.cfg", &config) && config == old))
        trouble << "QuorInfo.cfg changed\n";
    return trouble.str();
}

void CountCalls(const std::string& trace, const std::string& syscall, int* before, int* total)
{
    *before = 0;
    *total = 0;
    bool started = false;
    std::istringstream lines(trace);
    std::string line;
    while (std::getline(lines, line)) {
        // Each line is the process id, blanks, then the call.
        size_t space = line.find(' ');
        size_t name = space == std::string::npos ? std::string::npos : line.find_first_not_of(' ', space);
        if (name == std::string::npos)
            continue;
        if (line.compare(name, 19, "write(2, \"QuorVBoy:") == 0)
            started = true;
        if (line.compare(name, syscall.size() + 1, syscall + "(") != 0)
            continue;
        (*total)++;
        if (!started)
            (*before)++;
    }
}

Layout MakeScenario(const test::Scratch& scratch)
{
    const std::string tetris = test::MakeImageWithCrc(16384, test::CatalogueCrcOf("3D Tetris (U)"), 11);
    const std::string golf = test::MakeImageWithCrc(8192, test::CatalogueCrcOf("Golf (U)"), 12);
    const std::string alarm = test::MakeImageWithCrc(12000, test::CatalogueCrcOf("Red Alarm (U)"), 13);
    const std::string pong = test::MakeImageWithCrc(9000, test::CatalogueCrcOf("Virtual Pong (PD)"), 14);
    const std::string jack = test::MakeImageWithCrc(20000, test::CatalogueCrcOf("Jack Bros (J)"), 15);
    const std::string pinball = test::MakeImageWithCrc(8192, test::CatalogueCrcOf("Galactic Pinball (JU)"), 16);
    const std::string bad = test::MakeImageWithCrc(8192, test::CatalogueCrcOf("Panic Bomber (U) [b1]"), 17);

    std::string config = test::ReadFile(std::string(QUOR_SOURCE_DIR) + "/config/QuorInfo.cfg");
    if (config.empty())
        config = "[VBoy]\n[b:Variants\\Bad Dumps;;N\n(PD):Public Domain\\Games\n(JU):Japan-USA\n(J):Japan\n(U):USA\n";
    test::WriteFile(test::Join(scratch.program, "QuorInfo.cfg"), config);

    // An earlier run saw one image: its lists and database are the old ones.
    test::WriteFile(test::Join(scratch.collection, "Red Alarm (U).vb"), alarm);
    test::RunResult early = test::RunQuor(scratch, {"list"});
    EXPECT_EQ(early.status, 0);

    const std::string c = scratch.collection;
    test::WriteFile(test::Join(c, "tetris.vb"), tetris);
    test::WriteFile(test::Join(c, "Tetris copy.vb"), tetris);
    test::WriteFile(test::Join(c, "tetris3.VB"), tetris);
    test::WriteFile(test::Join(c, "golf.VB"), golf);
    test::WriteFile(test::Join(c, "pong.vb"), pong);
    test::WriteFile(test::Join(c, "bomber bad.vb"), bad);
    test::WriteFile(test::Join(c, "unknown.vb"), test::MakeImage(8192, 99));
    test::WriteFile(test::Join(c, "small.vb"), test::MakeImage(100, 98));
    test::WriteFile(test::Join(c, "readme.txt"), "not an image\n");
    test::WriteFile(test::Join(c, "sub/inner.vb"), test::MakeImageWithCrc(8192, test::CatalogueCrcOf("Waterworld (U)"), 18));
    {
        test::ZipWriter zip;
        zip.Add("Jack Bros (J).vb", jack, test::ZipDeflated);
        zip.WriteTo(test::Join(c, "jack.zip"));
    }
    {
        test::ZipWriter zip;
        zip.Add("pinball.vb", pinball, test::ZipStored);
        zip.Add("pinball.txt", "notes", test::ZipStored);
        zip.WriteTo(test::Join(c, "pinball.zip"));
    }
    {
        test::ZipWriter zip;
        zip.Add("golf.vb", golf, test::ZipDeflated);
        zip.WriteTo(test::Join(c, "golf again.ZIP"));
    }
    {
        test::ZipWriter zip;
        zip.Add("a.vb", tetris, test::ZipDeflated);
        zip.Add("b.vb", pong, test::ZipStored);
        zip.WriteTo(test::Join(c, "two images.zip"));
    }
    {
        test::ZipWriter zip;
        zip.Add("x.vb", test::MakeImage(30000, 97), test::ZipDeflated);
        zip.keep = zip.Bytes().size() / 2;
        zip.WriteTo(test::Join(c, "broken.zip"));
    }
    return Capture(scratch);
}

Layout MakeLargeCollection(const test::Scratch& scratch, int count, uint32_t seed)
{
    std::mt19937 random(seed);
    std::string config = test::ReadFile(std::string(QUOR_SOURCE_DIR) + "/config/QuorInfo.cfg");
    if (!config.empty())
        test::WriteFile(test::Join(scratch.program, "QuorInfo.cfg"), config);

    auto image = [&](int k) {
        uint32_t size = 8192 + (uint32_t)(random() % (64 * 1024));
        if (k % 7 == 6)
            return test::MakeImage(size, seed * 1000 + (uint32_t)k);  // unknown to the catalogue
        int entry = k % KnownRomCount;
        return test::MakeImageWithCrc(size, CrcOfEntry(entry), seed * 1000 + (uint32_t)k);
    };
    const std::string c = scratch.collection;
    const int early = 4;
    std::vector<std::string> images;
    for (int k = 0; k < count; k++)
        images.push_back(image(k));
    // Copies of the same entry: every entry recurs every 37 images, and a
    // few images are there twice, byte for byte.
    for (int k = 0; k < count; k++) {
        char name[32];
        if (k % 4 == 3) {
            test::ZipWriter zip;
            snprintf(name, sizeof name, "member%03d.vb", k);
            zip.Add(name, images[(size_t)k], k % 8 == 3 ? test::ZipStored : test::ZipDeflated);
            snprintf(name, sizeof name, "archive %03d.zip", k);
            zip.WriteTo(test::Join(c, name));
        } else {
            snprintf(name, sizeof name, k % 5 == 0 ? "Image %03d.VB" : "image%03d.vb", k);
            test::WriteFile(test::Join(c, name), images[(size_t)k]);
            if (k % 23 == 0) {
                snprintf(name, sizeof name, "image%03d copy.vb", k);
                test::WriteFile(test::Join(c, name), images[(size_t)k]);
            }
        }
        if (k == early - 1) {
            test::RunResult first = test::RunQuor(scratch, {"list"});
            EXPECT_EQ(first.status, 0);
        }
    }
    return Capture(scratch);
}

}  // namespace hard
