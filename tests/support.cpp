// support.cpp - the tests' synthetic images, forged CRCs, scratch folders and runs of the built program
#include "support.h"
#include "zipwriter.h"

#include "catalogue/catalogue.h"
#include "groupinfo/groupinfo.h"
#include "identify/identify.h"
#include "intake/intake.h"
#include "rename/rename.h"
#include "run/imagebuffer.h"
#include "run/options.h"
#include "run/outputfile.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace test {

const std::string StatsLine = "\nStats: 37 entries, 0 redumps, 0 hacks/trainers, 3 bad/overdumps\n";
const std::string ScanningLine = "Scanning " + Native("./*.vb") + "\n";

std::string MissingLine(int missing, int of, int excluded)
{
    return "You are missing " + std::to_string(missing) + " of " + std::to_string(of) +
           " known Nintendo Virtual Boy ROMS" + (excluded ? " (" + std::to_string(excluded) + " excluded)" : "") +
           "\n\n";
}

std::string HaveLine(int had)
{
    return "You have " + std::to_string(had) + " of 37 known Nintendo Virtual Boy ROMS\n\n";
}

uint32_t Crc(const std::string& bytes)
{
    return (uint32_t)crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), (uInt)bytes.size());
}

std::string MakeImage(uint32_t size, uint32_t seed, bool mark)
{
    std::string bytes(size, '\0');
    uint32_t x = seed * 2654435761u + 0x9E3779B9u;
    x = x != 0 ? x : 1;
    for (uint32_t i = 0; i < size; i++) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = (char)(x >> 24);
    }
    // The header window is length-544 .. length-513; a mark may reach 3 bytes past it.
    if (size >= 544 && mark)
        bytes[size - 544] = 'V', bytes[size - 541] = 'E';
    else if (size >= 544)
        std::fill(bytes.end() - 544, bytes.end() - 509, '\0');
    return bytes;
}

// The register before byte b was fed to the reflected CRC-32 of 0xEDB88320,
// given the register after it: the top byte of the register after a step
// tells which table entry was used, as the entries' top bytes all differ.
static uint32_t UnfeedByte(uint32_t after, uint8_t b)
{
    static uint32_t entry[256];
    static uint8_t indexOfTop[256];
    for (uint32_t n = entry[255] != 0 ? 256 : 0; n < 256; n++) {
        uint32_t c = n;
        for (int k = 0; k < 8; k++)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        entry[n] = c;
        indexOfTop[c >> 24] = (uint8_t)n;
    }
    uint32_t index = indexOfTop[after >> 24];
    return ((after ^ entry[index]) << 8) | ((index ^ b) & 0xFF);
}

void ForgeCrc(std::string& bytes, uint32_t crc, size_t offset)
{
    ASSERT_LE(offset + 4, bytes.size());
    uint32_t before = ~Crc(bytes.substr(0, offset));  // the register after the prefix
    uint32_t after = ~crc;
    for (size_t i = bytes.size(); i > offset + 4; i--)
        after = UnfeedByte(after, (uint8_t)bytes[i - 1]);
    // Feeding four bytes is XORing their little-endian word into the register
    // and feeding four zero bytes.
    for (int i = 0; i < 4; i++)
        after = UnfeedByte(after, 0);
    for (int i = 0; i < 4; i++)
        bytes[offset + i] = (char)(((after ^ before) >> (8 * i)) & 0xFF);
}

std::string MakeImageWithCrc(uint32_t size, uint32_t crc, uint32_t seed)
{
    std::string bytes = MakeImage(size, seed);
    ForgeCrc(bytes, crc, 0);
    return bytes;
}

uint32_t CatalogueCrcOf(const std::string& canonicalName)
{
    for (int i = 0; i < KnownRomCount; i++)
        if (canonicalName == KnownRomTable[i] + EntryNameOffset)
            return (uint32_t)strtoul(std::string(KnownRomTable[i], 8).c_str(), nullptr, 16);
    ADD_FAILURE() << "no catalogue entry named \"" << canonicalName << "\"";
    return 0;
}

std::string KnownImage(const std::string& canonicalName, uint32_t seed)
{
    return MakeImageWithCrc(8192, CatalogueCrcOf(canonicalName), seed);
}

std::string Zipped(const std::string& image)
{
    ZipWriter zip;
    zip.Add("inside.vb", image);
    return zip.Bytes();
}

std::string HaveDatabase(const std::vector<uint32_t>& crcs, uint32_t system)
{
    std::string bytes = "QUOR";
    std::vector<uint32_t> words = {system};
    words.insert(words.end(), crcs.begin(), crcs.end());
    for (uint32_t v : words)
        bytes += {(char)(v >> 24), (char)(v >> 16), (char)(v >> 8), (char)v};
    return bytes;
}

std::string ListingLine(uint32_t crc, const std::string& name)
{
    char text[9];
    snprintf(text, sizeof text, "%08lx", (unsigned long)crc);
    return "\"" + std::string(text) + " " + name + "\",";
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string Text(const std::string& written, const std::string& what)
{
#ifdef _WIN32
    std::string text;
    size_t bare = 0;
    for (size_t i = 0; i < written.size(); i++) {
        if (written.compare(i, 2, "\r\n") == 0)
            i++;
        else
            bare += written[i] == '\n';
        text += written[i];
    }
    EXPECT_EQ(bare, 0u) << what << " has line ends without CR:\n" << written;
    return text;
#else
    (void)what;
    return written;
#endif
}

std::string ReadText(const std::string& path)
{
    return Text(ReadFile(path), path);
}

void WriteFile(const std::string& path, const std::string& bytes, bool text)
{
    fs::path p(path);
    if (p.has_parent_path())
        fs::create_directories(p.parent_path());
    std::ofstream out(p, text ? std::ios::trunc : std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    out.close();
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(fs::path(path), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool FileExists(const std::string& path)
{
    std::error_code ec;
    return fs::is_regular_file(fs::path(path), ec);
}

void MakeDirs(const std::string& path)
{
    std::error_code ec;
    fs::create_directories(fs::path(path), ec);
    ASSERT_TRUE(fs::is_directory(path, ec)) << "cannot create " << path;
}

void Hide(const std::string& path)
{
#ifdef _WIN32
    DWORD attributes = GetFileAttributesA(path.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << path;
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes | FILE_ATTRIBUTE_HIDDEN)) << path;
    ASSERT_NE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u)
        << path << ": this file system does not keep the hidden attribute";
#else
    (void)path;
#endif
}

std::vector<std::pair<std::string, std::string>> Snapshot(const std::string& root)
{
    std::vector<std::pair<std::string, std::string>> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        if (it->is_symlink(ec))
            it.disable_recursion_pending();
        else if (it->is_regular_file(ec) && it->file_size(ec) <= (64u << 20))
            files.emplace_back(fs::relative(it->path(), root).generic_string(), ReadFile(it->path().string()));
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string Sep()
{
    return std::string(1, (char)fs::path::preferred_separator);
}

std::string Native(std::string path)
{
    std::replace_if(path.begin(), path.end(), [](char c) { return c == '/' || c == '\\'; }, Sep()[0]);
    return path;
}

std::string Join(const std::string& a, const std::string& b)
{
    return a.empty() ? b : a + Sep() + b;
}

Scratch::Scratch()
{
    static std::atomic<unsigned> counter{0};
    std::random_device entropy;
    fs::path dir;
    std::error_code ec;
    do
        dir = fs::temp_directory_path() / ("quor-test-" + std::to_string(entropy()) + "-" + std::to_string(counter++));
    while (!fs::create_directory(dir, ec) && !ec);
    dir = fs::canonical(dir, ec);  // the program reports the start directory as the system resolves it
    root = dir.string();
    collection = (dir / "collection").string();
    program = (dir / "program").string();
    for (const fs::path& sub : {dir / "collection", dir / "program", dir / "home"})
        fs::create_directory(sub, ec);
    fs::copy_file(QUOR_EXE, fs::path(program) / fs::path(QUOR_EXE).filename(), ec);
    if (ec)
        ADD_FAILURE() << "cannot make the scratch folder " << dir << ": " << ec.message();
}

Scratch::~Scratch()
{
    // The owner gets every right again, so that read-only folders go too.
    std::error_code ec;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
    for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec))
        if (!it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root, ec);
}

RunResult RunQuor(const Scratch& scratch, const std::vector<std::string>& args, const std::string& input,
                  const std::string& cwd, const std::vector<std::string>& prefix)
{
    std::string in = Join(scratch.root, "stdin.txt"), out = Join(scratch.root, "stdout.txt");
    std::string err = Join(scratch.root, "stderr.txt"), exe = fs::path(QUOR_EXE).filename().string();
    WriteFile(in, input);
#ifndef _WIN32
    // The stand-in for drive C: is the scratch home, never the real one.
    std::string home = getenv("HOME") != nullptr ? getenv("HOME") : "";
    setenv("HOME", Join(scratch.root, "home").c_str(), 1);
#endif
    RunResult result;
    std::vector<std::string> command(prefix.empty() ? prefix.begin() : prefix.begin() + 1, prefix.end());
    if (!prefix.empty())
        command.push_back(Join(scratch.program, exe));
    command.insert(command.end(), args.begin(), args.end());
    result.status = SpawnProgram(prefix.empty() ? Join(scratch.program, exe) : prefix[0], command,
                                 cwd.empty() ? scratch.collection : cwd, in, out, err);
#ifndef _WIN32
    setenv("HOME", home.c_str(), 1);
#endif
    result.out = Text(ReadFile(out), "standard output");
    result.err = Text(ReadFile(err), "standard error");
    std::error_code ec;
    for (const std::string& path : {in, out, err})
        fs::remove(path, ec);
    return result;
}

std::string AfterBanner(const std::string& err)
{
    size_t first = err.find('\n'), second = err.find('\n', first + 1);
    if (second == std::string::npos || err.rfind("QuorVBoy:", 0) != 0 || err.compare(first - 5, 5, "V1.00") != 0 ||
        second == first + 1) {
        ADD_FAILURE() << "no banner in:\n" << err;
        return err;
    }
    return err.substr(second + 1);
}

// Every table, flag and open file of the program as at the start of a run.
static void ResetProgram()
{
    CloseZipLog();
    CloseScanListing();
    CloseChangesLog();
    ResetJournal();
    FreeImageBuffer();
    ResetRunOptions();
    ResetCatalogue();
    ResetGroupTable();
    ResetRename();
    ResetWalk();
    ResetOutputFileReports();
}

void UnitTest::SetUp()
{
    ResetProgram();
    for (int i = 0; i < KnownRomCount; i++)
        CatalogueCrcs[i] = (uint32_t)strtoul(std::string(KnownRomTable[i], 8).c_str(), nullptr, 16);
    savedDirectory = fs::current_path().string();
    fs::current_path(scratch.collection);
    StartDirectory = scratch.collection;
    ProgramDirectory = scratch.program + Sep();
}

void UnitTest::TearDown()
{
    ResetProgram();
    fs::current_path(savedDirectory);
    StartDirectory.clear();
    ProgramDirectory.clear();
}

std::set<std::string> RunTest::Files() const
{
    std::set<std::string> names;
    for (const auto& file : Snapshot(s.collection))
        names.insert(file.first);
    return names;
}

void RunTest::Fresh() const
{
    std::error_code ec;
    for (const std::string& dir : {s.collection, Join(s.root, "home")})
        fs::remove_all(dir, ec), fs::create_directory(dir, ec);
    fs::remove(Join(s.program, "QuorInfo.cfg"), ec);
    fs::remove(DatabasePath(), ec);
}

// The images of a folder by content, with how often each occurs.
static std::map<std::string, int> ImageCounts(const std::string& root)
{
    std::map<std::string, int> counts;
    for (const auto& file : Snapshot(root))
        if (file.second.size() >= 8192)
            counts[file.second]++;
    return counts;
}

RunResult RunTest::Run(const std::vector<std::string>& args, const std::string& input)
{
    auto before = ImageCounts(s.collection);
    RunResult r = RunQuor(s, args, input);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ImageCounts(s.collection), before) << "images lost or doubled by the run";
    return r;
}

}  // namespace test
