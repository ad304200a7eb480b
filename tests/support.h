// support.h - what the tests share: synthetic images, forged CRCs, scratch folders, runs of the real program
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace test {

// The CRC-32 of bytes, as zlib computes it.
uint32_t Crc(const std::string& bytes);

// size pseudo-random bytes from seed with a Virtual Boy mark ('V', two
// characters, 'E') in the header window; with mark false the window is zeroed.
std::string MakeImage(uint32_t size, uint32_t seed, bool mark = true);

// Patches the four bytes at offset (outside the header window) so that the
// CRC-32 of bytes becomes crc; and an image so made.
void ForgeCrc(std::string& bytes, uint32_t crc, size_t offset = 0);
std::string MakeImageWithCrc(uint32_t size, uint32_t crc, uint32_t seed = 1);

// The catalogue CRC of the entry with this canonical name (fails the test
// when there is none), and an 8,192-byte image with that CRC.
uint32_t CatalogueCrcOf(const std::string& canonicalName);
std::string KnownImage(const std::string& canonicalName, uint32_t seed = 1);

// An archive holding image as its one stored member "inside.vb".
std::string Zipped(const std::string& image);

// The bytes of a have database: "QUOR", the system number, the CRCs, big-endian.
std::string HaveDatabase(const std::vector<uint32_t>& crcs, uint32_t system = 19);

// One line of the scan listing, without its line end.
std::string ListingLine(uint32_t crc, const std::string& name);

// The lines of text, without their "\n" ends.
std::vector<std::string> Lines(const std::string& text);

// What the program wrote to a standard stream or a text file, with "\n" line
// ends: on Windows each "\r\n" becomes "\n", and a "\n" without its CR fails
// the test, named by what. ReadText reads the text file at path so.
std::string Text(const std::string& written, const std::string& what);
std::string ReadText(const std::string& path);

// The console's lines: statistics, the walk's first, the two summaries.
extern const std::string StatsLine, ScanningLine;
std::string MissingLine(int missing, int of = 37, int excluded = 0);
std::string HaveLine(int had);

// Writes bytes to path as they are, or as a text file with the system's line ends.
void WriteFile(const std::string& path, const std::string& bytes, bool text = false);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
void MakeDirs(const std::string& path);
// Hides a file or folder from the walk: on Windows by its hidden attribute,
// elsewhere by nothing, as a name that begins with "." is hidden there.
void Hide(const std::string& path);

// Every regular file below root up to 64 MiB (no test makes larger ones but
// sparse), as "relative/path" -> content, sorted.
std::vector<std::pair<std::string, std::string>> Snapshot(const std::string& root);

// The native separator; a path with every "/" and "\" made native; a join.
std::string Sep();
std::string Native(std::string path);
std::string Join(const std::string& a, const std::string& b);

// What standard output captured while body ran.
template <typename F>
std::string Stdout(F body)
{
    testing::internal::CaptureStdout();
    body();
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// A fresh scratch folder, removed at scope end, holding collection/ (where
// the program runs), program/ (a copy of QuorVBoy) and home/ (drive C:).
struct Scratch {
    Scratch();
    ~Scratch();
    std::string root, collection, program;
};

struct RunResult {
    int status = -1;
    std::string out, err;
};

// Runs the scratch copy of QuorVBoy with args in cwd (default: the
// collection) with input on standard input; with a prefix, runs the command
// prefix followed by the program's path and args (a tracer, a timer, a
// change of user).
RunResult RunQuor(const Scratch& scratch, const std::vector<std::string>& args, const std::string& input = "",
                  const std::string& cwd = "", const std::vector<std::string>& prefix = {});

// Starts exe with args in cwd, standard streams from and to the three files;
// returns its exit status, or -1 when it could not start or did not exit.
int SpawnProgram(const std::string& exe, const std::vector<std::string>& args, const std::string& cwd,
                 const std::string& inPath, const std::string& outPath, const std::string& errPath);

// The text without its two banner lines, which are checked.
std::string AfterBanner(const std::string& text);

// The program's state as at the start of a run, the catalogue's CRCs filled
// and nothing had; the current and start directory is the scratch collection.
class UnitTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    Scratch scratch;

private:
    std::string savedDirectory;
};

// End-to-end runs; paths relative to the collection are written with "/".
class RunTest : public ::testing::Test {
protected:
    std::string At(const std::string& relative) const { return Join(s.collection, Native(relative)); }
    void Put(const std::string& relative, const std::string& bytes) const { WriteFile(At(relative), bytes); }
    void Config(const std::string& text) const { WriteFile(Join(s.program, "QuorInfo.cfg"), text); }
    std::string DatabasePath() const { return Join(s.program, "QuorVBoy.db"); }
    std::string NoGroupFile() const { return "Cannot open " + Join(s.program, "QuorInfo.cfg") + " Using Defaults\n"; }
    // What a walking run without a group information file prints first.
    std::string Prelude() const { return NoGroupFile() + StatsLine + ScanningLine; }
    std::set<std::string> Files() const;  // below the collection
    // Empties the collection and home, removes the group and database files.
    void Fresh() const;
    // Runs the program, expects status 0, and checks that every image (file
    // of 8,192 bytes or more) is still in the collection exactly as often.
    RunResult Run(const std::vector<std::string>& args, const std::string& input = "");
    Scratch s;
};

}  // namespace test
