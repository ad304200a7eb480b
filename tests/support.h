// support.h - what the tests share: synthetic images, forged CRCs, scratch folders and runs of the real program
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test {

// The CRC-32 of bytes, as zlib computes it.
uint32_t Crc(const std::string& bytes);

// A synthetic image of size bytes: pseudo-random content from seed with a
// Virtual Boy mark ('V', two characters, 'E') in its header window. With
// mark false the header window holds no mark at all.
std::string MakeImage(uint32_t size, uint32_t seed, bool mark = true);

// Patches the four bytes at offset (outside the header window) so that the
// CRC-32 of bytes becomes crc.
void ForgeCrc(std::string& bytes, uint32_t crc, size_t offset = 0);

// MakeImage and ForgeCrc together: an image whose CRC-32 is crc.
std::string MakeImageWithCrc(uint32_t size, uint32_t crc, uint32_t seed = 1);

// The catalogue CRC of the entry with this canonical name (fails the test
// when there is none).
uint32_t CatalogueCrcOf(const std::string& canonicalName);

// Whole-file helpers; paths are relative to the test's current directory or
// absolute.
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
bool DirExists(const std::string& path);
void MakeDirs(const std::string& path);

// Every regular file below root, as "relative/path" -> content.
std::vector<std::pair<std::string, std::string>> Snapshot(const std::string& root);

// The native separator as a string, for building expected texts.
std::string Sep();

// Joins path pieces with the native separator.
std::string Join(const std::string& a, const std::string& b);

// A fresh scratch folder for one test, with two folders inside:
//   collection/  the start directory the program runs in
//   program/     a private program directory holding a copy of QuorVBoy
// Removed again when the Scratch goes out of scope.
struct Scratch {
    Scratch();
    ~Scratch();
    std::string root;
    std::string collection;
    std::string program;
};

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the copy of QuorVBoy in scratch.program with args, from directory cwd
// (default: scratch.collection), with input on its standard input, and
// returns its exit status, standard output and standard error.
RunResult RunQuor(const Scratch& scratch, const std::vector<std::string>& args,
                  const std::string& input = "", const std::string& cwd = "");

}  // namespace test

namespace test {

// Starts exe with args in directory cwd, its standard input read from
// inPath and its standard output and error written to outPath and errPath;
// waits for it and returns its exit status (-1 when it could not start or
// did not exit normally). One implementation per system.
int SpawnProgram(const std::string& exe, const std::vector<std::string>& args,
                 const std::string& cwd, const std::string& inPath,
                 const std::string& outPath, const std::string& errPath);

}  // namespace test
