// support.cpp - the tests' synthetic images, forged CRCs, scratch folders and runs of the built program
#include "support.h"

#include "catalogue/catalogue.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace test {

uint32_t Crc(const std::string& bytes)
{
    return (uint32_t)crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), (uInt)bytes.size());
}

std::string MakeImage(uint32_t size, uint32_t seed, bool mark)
{
    std::string bytes(size, '\0');
    uint32_t x = seed * 2654435761u + 0x9E3779B9u;
    if (x == 0)
        x = 1;
    for (uint32_t i = 0; i < size; i++) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = (char)(x >> 24);
    }
    if (size < 544)
        return bytes;
    // The header window is length-544 .. length-513; a mark may reach 3 bytes past it.
    size_t window = size - 544;
    if (mark) {
        bytes[window] = 'V';
        bytes[window + 3] = 'E';
    } else {
        std::fill(bytes.begin() + window, bytes.begin() + window + 35, '\0');
    }
    return bytes;
}

// The reflected CRC-32 table of 0xEDB88320, and for each top byte of its
// entries the index of the entry (the top bytes are all different).
struct CrcTables {
    uint32_t entry[256];
    uint8_t indexOfTop[256];
    CrcTables()
    {
        for (uint32_t n = 0; n < 256; n++) {
            uint32_t c = n;
            for (int k = 0; k < 8; k++)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entry[n] = c;
            indexOfTop[c >> 24] = (uint8_t)n;
        }
    }
};

// The register before one byte b was fed, given the register after it.
static uint32_t UnfeedByte(uint32_t after, uint8_t b)
{
    static const CrcTables tables;
    // The register after a step has the top byte of the table entry used.
    uint32_t index = tables.indexOfTop[after >> 24];
    uint32_t shifted = after ^ tables.entry[index];  // the old register shifted right by 8
    return (shifted << 8) | ((index ^ b) & 0xFF);
}

void ForgeCrc(std::string& bytes, uint32_t crc, size_t offset)
{
    ASSERT_LE(offset + 4, bytes.size());
    // The register after the prefix (zlib's value is its complement).
    uint32_t before = ~Crc(bytes.substr(0, offset));
    // Walk the wanted final register back over the suffix.
    uint32_t after = ~crc;
    for (size_t i = bytes.size(); i > offset + 4; i--)
        after = UnfeedByte(after, (uint8_t)bytes[i - 1]);
    // Feeding four bytes is XORing their little-endian word into the register
    // and feeding four zero bytes.
    for (int i = 0; i < 4; i++)
        after = UnfeedByte(after, 0);
    uint32_t word = after ^ before;
    for (int i = 0; i < 4; i++)
        bytes[offset + i] = (char)((word >> (8 * i)) & 0xFF);
}

std::string MakeImageWithCrc(uint32_t size, uint32_t crc, uint32_t seed)
{
    std::string bytes = MakeImage(size, seed);
    ForgeCrc(bytes, crc, 0);
    return bytes;
}

uint32_t CatalogueCrcOf(const std::string& canonicalName)
{
    for (int i = 0; i < KnownRomCount; i++) {
        const char* entry = KnownRomTable[i];
        if (canonicalName == entry + EntryNameOffset)
            return (uint32_t)strtoul(std::string(entry, 8).c_str(), nullptr, 16);
    }
    ADD_FAILURE() << "no catalogue entry named \"" << canonicalName << "\"";
    return 0;
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    fs::path p(path);
    if (p.has_parent_path())
        fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
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

bool DirExists(const std::string& path)
{
    std::error_code ec;
    return fs::is_directory(fs::path(path), ec);
}

void MakeDirs(const std::string& path)
{
    std::error_code ec;
    fs::create_directories(fs::path(path), ec);
    ASSERT_TRUE(DirExists(path)) << "cannot create " << path;
}

std::vector<std::pair<std::string, std::string>> Snapshot(const std::string& root)
{
    std::vector<std::pair<std::string, std::string>> files;
    std::error_code ec;
    fs::path base(root);
    for (fs::recursive_directory_iterator it(base, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        if (it->is_symlink(ec)) {
            if (it->is_directory(ec))
                it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file(ec))
            files.emplace_back(fs::relative(it->path(), base).generic_string(), ReadFile(it->path().string()));
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string Sep()
{
    return std::string(1, (char)fs::path::preferred_separator);
}

std::string Join(const std::string& a, const std::string& b)
{
    if (a.empty())
        return b;
    return a + Sep() + b;
}

// Gives the owner every right on everything below root, so that a test that
// made folders read-only can still be cleaned up.
static void UnlockTree(const fs::path& root)
{
    std::error_code ec;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
    for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        if (it->is_symlink(ec))
            continue;
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
}

Scratch::Scratch()
{
    static std::atomic<unsigned> counter{0};
    std::random_device entropy;
    fs::path base = fs::temp_directory_path();
    fs::path dir;
    for (;;) {
        std::ostringstream name;
        name << "quor-test-" << std::hex << entropy() << "-" << counter++;
        dir = base / name.str();
        std::error_code ec;
        if (fs::create_directory(dir, ec))
            break;
        if (ec) {
            ADD_FAILURE() << "cannot create a scratch folder in " << base << ": " << ec.message();
            return;
        }
    }
    // The program reports the start directory as the system resolves it.
    dir = fs::canonical(dir);
    root = dir.string();
    collection = (dir / "collection").string();
    program = (dir / "program").string();
    fs::create_directory(collection);
    fs::create_directory(program);
    fs::create_directory(dir / "home");
    fs::path exe(QUOR_EXE);
    std::error_code ec;
    fs::copy_file(exe, fs::path(program) / exe.filename(), ec);
    if (ec)
        ADD_FAILURE() << "cannot copy " << exe << " into the scratch folder: " << ec.message();
}

Scratch::~Scratch()
{
    if (root.empty())
        return;
    std::error_code ec;
    UnlockTree(root);
    fs::remove_all(root, ec);
}

// Sets an environment variable for the programs started from here on, and
// puts the old value back when it goes out of scope.
namespace {
struct ScopedEnv {
    ScopedEnv(const char* variable, const std::string& value) : name(variable)
    {
        const char* old = getenv(variable);
        hadOld = old != nullptr;
        if (hadOld)
            oldValue = old;
        Set(value.c_str());
    }
    ~ScopedEnv() { Set(hadOld ? oldValue.c_str() : nullptr); }
    void Set(const char* value)
    {
#ifdef _WIN32
        _putenv_s(name, value != nullptr ? value : "");
#else
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
#endif
    }
    const char* name;
    bool hadOld = false;
    std::string oldValue;
};
}  // namespace

RunResult RunQuor(const Scratch& scratch, const std::vector<std::string>& args,
                  const std::string& input, const std::string& cwd)
{
    RunResult result;
    fs::path root(scratch.root);
    std::string inPath = (root / "stdin.txt").string();
    std::string outPath = (root / "stdout.txt").string();
    std::string errPath = (root / "stderr.txt").string();
    WriteFile(inPath, input);
    std::string exe = (fs::path(scratch.program) / fs::path(QUOR_EXE).filename()).string();
    {
        // The stand-in for drive C: is the scratch folder's home, never the
        // real one.
        ScopedEnv home("HOME", (root / "home").string());
        result.status = SpawnProgram(exe, args, cwd.empty() ? scratch.collection : cwd, inPath, outPath, errPath);
    }
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    std::error_code ec;
    fs::remove(inPath, ec);
    fs::remove(outPath, ec);
    fs::remove(errPath, ec);
    return result;
}

}  // namespace test
