// targets.cpp - the readers' fuzz targets, one for each build: QUOR_FUZZ_zip, _groupinfo, _have, _dat_xml, _dat_cmp
// libFuzzer (QUOR_LIBFUZZER) calls LLVMFuzzerTestOneInput for every input it makes, main below for every saved one.
// The input is written to a file and read by the program's own reader; a broken promise aborts.
#include "catalogue/catalogue.h"
#include "catalogue/dat.h"
#include "groupinfo/groupinfo.h"
#include "identify/identify.h"
#include "intake/intake.h"
#include "platform/platform.h"
#include "run/imagebuffer.h"
#include "run/options.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <set>

namespace fs = std::filesystem;
static const char* const NullDevice = PathSeparator == '/' ? "/dev/null" : "NUL";

static void Check(bool ok, const char* what)
{
    if (!ok)
        fprintf(stderr, "fuzz check failed: %s\n", what), abort();
}

// Writes the input to name in this process's scratch folder (in memory where there is one), the start and
// program directory; the console goes to the null device. The file's path.
static std::string Put(const char* name, const uint8_t* data, size_t size)
{
    static std::string dir;
    if (dir.empty()) {
        std::error_code ec;
        fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
        dir = (base / ("quor-fuzz-" + std::to_string(std::random_device()()))).string();
        Check(fs::create_directory(dir, ec), "cannot make the scratch folder");
        atexit([] { std::error_code e; fs::remove_all(dir, e); });
        StartDirectory = dir;
        ProgramDirectory = dir + PathSeparator;
        Check(fflush(stdout) == 0 && freopen(NullDevice, "w", stdout) != nullptr, "no null device");
    }
    std::string path = dir + PathSeparator + name;
    FILE* f = fopen(path.c_str(), "wb");
    Check(f != nullptr && fwrite(data, 1, size, f) == size && fclose(f) == 0, "cannot write the input");
    return path;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
#if defined(QUOR_FUZZ_zip)
    // Every entry walked, every member an image could be read into a buffer of exactly its size; then intake
    // takes the file as a run with no mode does.
    std::string path = Put("x.zip", data, size);
    if (ZipLog.stream == nullptr)
        Check((ZipLog.stream = fopen(NullDevice, "w")) && AllocateImageBuffer(), "no log or image buffer");
    if (ZipArchive* archive = ZipOpen(path.c_str())) {
        while (ZipEntry* entry = ZipNextEntry(archive)) {
            Check(entry->name.size() <= entry->nameLength, "a name longer than its length field");
            if (entry->uncompressedSize <= MaxImageSize) {
                std::unique_ptr<unsigned char[]> buffer(new unsigned char[entry->uncompressedSize]);
                int result = ZipReadEntry(archive, entry, buffer.get());
                Check(result <= 0 && result >= -3, "ZipReadEntry gave a result outside 0, -1, -2, -3");
            }
        }
        ZipClose(archive);
    }
    IntakeFile(path.c_str(), (uint32_t)size);
    Check(ImageBuffer != nullptr || AllocateImageBuffer(), "no image buffer");
#elif defined(QUOR_FUZZ_groupinfo)
    // Every field terminated within its bounds, and no directory leads out of VBoyRen.
    FILE* stream = fopen(Put("QuorInfo.cfg", data, size).c_str(), "r");
    ResetGroupTable();
    ReadGroupInfo(stream);
    fclose(stream);
    for (const GroupSlot& slot : GroupTable) {
        Check(memchr(slot.pattern, 0, sizeof slot.pattern) && memchr(slot.directory, 0, sizeof slot.directory) &&
                  memchr(slot.extension, 0, 6) && (slot.listMissing & ~1) == 0, "a field out of its bounds");
        std::string dir = std::string(1, PathSeparator) + slot.directory;  // either separator counts
        std::replace(dir.begin(), dir.end(), PathSeparator == '/' ? '\\' : '/', PathSeparator);
        Check(dir.size() <= 2 || (dir[1] != PathSeparator && !(isalpha((unsigned char)dir[1]) && dir[2] == ':')),
              "an absolute directory");
        Check(dir.find(std::string(1, PathSeparator) + ".." + PathSeparator) == std::string::npos, "a way out");
        Check(dir.size() == 1 || dir.back() == PathSeparator, "a directory without its end");
    }
    GroupTableLoaded = 1;
    if (CatalogueSize() == 0)
        PrepareCatalogue();
    for (int i = 0; i < CatalogueSize(); i++)
        Check(FindGroup(i) >= -1 && FindGroup(i) < GroupSlotCount, "FindGroup outside the table");
#elif defined(QUOR_FUZZ_have)
    // The bytes as a have database, then as a have list: every entry had once at most, nothing from a
    // database that was refused, and after the list a line naming the last entry still recognised.
    std::string path = Put(HaveDatabaseName, data, size);
    if (CatalogueSize() == 0)
        PrepareCatalogue();
    ForgetCopies();
    FILE* stream = fopen(path.c_str(), "rb");
    int loaded = ReadHaveDatabase(stream);
    fclose(stream);
    for (int i = 0; i < CatalogueSize(); i++)
        Check(CopyCounts[i] == 0 || (CopyCounts[i] == 1 && loaded == 1), "a count the database does not give");
    ForgetCopies();
    std::string list = std::string((const char*)data, size) + "\n" + EntryName(CatalogueSize() - 1) + "\n";
    stream = fopen(Put(HaveListName, (const uint8_t*)list.data(), list.size()).c_str(), "r");
    ReadHaveList(stream);
    fclose(stream);
    for (int i = 0; i < CatalogueSize(); i++)
        Check(CopyCounts[i] == 1 || (CopyCounts[i] == 0 && i < CatalogueSize() - 1), "a count the list does not give");
#elif defined(QUOR_FUZZ_dat_xml) || defined(QUOR_FUZZ_dat_cmp)
    // Each target keeps to its format (XML begins with "<"). A DAT read gives usable, distinct names, each
    // within the names text, and hashes of a known kind; a refused one gives a reason and nothing else.
    size_t first = 0;
    while (first < size && strchr(" \t\r\n", data[first]) && data[first] != 0)
        first++;
    bool xmlTarget = strcmp(QUOR_FUZZ_TARGET, "dat_xml") == 0;
    if ((first < size && data[first] == '<') != xmlTarget)
        return 0;
    std::string path = Put("x.dat", data, size);
    DatHeader header;
    DatEntries entries;
    std::string names, reason;
    if (ReadDat(path, &header, &entries, &names, &reason)) {
        Check(reason.empty() && names.size() < size && (names.empty() || names.back() == 0),
              "a DAT read with a reason, or with names the file cannot hold");
        std::set<std::string> seen;
        for (const DatEntry& e : entries) {
            Check(e.name < names.size() && IsUsableName(DatName(names, e)), "an unusable name taken");
            std::string folded = DatName(names, e);
            std::transform(folded.begin(), folded.end(), folded.begin(), [](char c) { return (char)tolower(c); });
            Check(seen.insert(folded).second, "a name taken twice");
            Check(e.hashKind >= DatNoHash && e.hashKind <= DatSha256 &&
                      DatHashText(e).size() == (e.hashKind < 0 ? 0u : e.hashKind == DatMd5 ? 32u : e.hashKind == DatSha1 ? 40u : 64u),
                  "a hash of no kind");
        }
    } else {
        Check(!reason.empty() && entries.empty() && names.empty() && header.name.empty(), "a refusal with output");
    }
#endif
    return 0;
}

#ifndef QUOR_LIBFUZZER
// quor_replay_TARGET FOLDER...: every file below the folders (a missing one has none), in name order. Exits 0
// after every input ran, 1 when an input cannot be read or there is none: a missing corpus is no clean one.
int main(int argc, char** argv)
{
    std::set<fs::path> inputs;
    std::error_code ec;
    for (int i = 1; i < argc; i++)
        for (fs::recursive_directory_iterator it(argv[i], ec), end; !ec && it != end; it.increment(ec))
            if (it->is_regular_file())
                inputs.insert(it->path());
    for (const fs::path& path : inputs) {
        fprintf(stderr, "%s\n", path.string().c_str());  // first, so that a finding names its input
        std::ifstream in(path, std::ios::binary);
        std::string input{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (!in.is_open() || in.bad())
            return fprintf(stderr, "cannot read it\n"), 1;
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    }
    fprintf(stderr, "replayed %zu inputs\n", inputs.size());
    return inputs.empty() ? 1 : 0;
}
#endif
