// support.h - what the unit tests share: a scratch folder for each test, files, and what went to standard output
#pragma once

#include "catalogue/catalogue.h"
#include "groupinfo/groupinfo.h"
#include "intake/intake.h"
#include "platform/platform.h"
#include "rename/rename.h"
#include "run/options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace test {
namespace fs = std::filesystem;

inline void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(fs::path(path), std::ios::binary) << bytes;
}

// With text, read as the system reads a text file (CR LF as "\n"); "" when there is none.
inline std::string ReadFile(const std::string& path, bool text = false)
{
    std::ostringstream content;
    content << std::ifstream(fs::path(path), text ? std::ios::in : std::ios::binary).rdbuf();
    return content.str();
}

template <typename F>
std::string Stdout(F body)
{
    testing::internal::CaptureStdout();
    body();
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// Each test runs in a fresh scratch folder, its current, start and program directory, with the stand-in for
// drive C: below it (on POSIX); the program's state is as at the start of a run, the catalogue prepared.
class UnitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::path path = fs::temp_directory_path() / ("quor-unit-" + std::to_string(std::random_device()()));
        ASSERT_TRUE(fs::create_directories(path / "home")) << path;
        fs::current_path(dir = fs::canonical(path).string());
#ifndef _WIN32
        setenv("HOME", (dir + "/home").c_str(), 1);
#endif
        Reset();
        StartDirectory = dir;
        ProgramDirectory = dir + PathSeparator;
        PrepareCatalogue();
    }
    void TearDown() override
    {
        Reset();
        fs::current_path(fs::temp_directory_path());
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    static void Reset() { CloseZipLog(), ResetJournal(), ResetRunOptions(), ResetCatalogue(), ResetGroupTable(); }
    std::string dir;
};

}  // namespace test
