// platform_test.cpp - the move that never replaces: a taken target, another name of one file, links on the way,
// MoveFileA's codes
#include "support.h"

namespace fs = std::filesystem;

#ifndef _WIN32
using PlatformMove = test::UnitTest;

TEST_F(PlatformMove, NeverReplacesAndNeverPassesThroughALinkedFolder)
{
    test::WriteFile("a.vb", "first");
    test::WriteFile("b.vb", "second");
    EXPECT_EQ(PlatformMoveFile("a.vb", "b.vb"), ErrorAlreadyExists);
    EXPECT_EQ(test::ReadFile("a.vb") + test::ReadFile("b.vb"), "firstsecond");
    // Another name of the same file is a taken target too: neither name goes.
    fs::remove("b.vb");
    fs::create_hard_link("a.vb", "b.vb");
    EXPECT_EQ(PlatformMoveFile("a.vb", "b.vb"), ErrorAlreadyExists);
    EXPECT_EQ(PlatformMoveFile("b.vb", "b.vb"), ErrorAlreadyExists);
    EXPECT_EQ(test::ReadFile("a.vb") + test::ReadFile("b.vb"), "firstfirst");
    // A link among the folders of either path is refused, and not as a taken target.
    fs::create_directories("real/deeper");
    fs::create_directory_symlink("real", "via");
    test::WriteFile("real/c.vb", "third");
    for (auto [from, to] : {std::pair{"a.vb", "via/a.vb"}, {"a.vb", "via/deeper/a.vb"}, {"via/c.vb", "c.vb"}}) {
        uint32_t code = PlatformMoveFile(from, to);
        EXPECT_TRUE(code != 0 && code != ErrorAlreadyExists && code != ErrorAccessDenied) << to << ": " << code;
    }
    EXPECT_FALSE(fs::exists("real/a.vb") || fs::exists("real/deeper/a.vb") || fs::exists("c.vb"));
    EXPECT_EQ(PlatformMoveFile("a.vb", "real/deeper/a.vb"), 0u);
    EXPECT_FALSE(fs::exists("a.vb"));
    EXPECT_EQ(test::ReadFile("real/deeper/a.vb"), "first");
}
#else  // Under Wine (tools/windows.sh) too.
#include <windows.h>

using Win32 = test::UnitTest;

TEST_F(Win32, MoveNeverReplacesAndTellsTakenFromOtherFailures)
{
    test::WriteFile("a.vb", "one");
    test::WriteFile("b.vb", "two");
    fs::create_directories("Folder");
    EXPECT_EQ(PlatformMoveFile("a.vb", "b.vb"), ErrorAlreadyExists);
    EXPECT_EQ(test::ReadFile("a.vb") + test::ReadFile("b.vb"), "onetwo");
    uint32_t ontoFolder = PlatformMoveFile("a.vb", "Folder");
    EXPECT_TRUE(ontoFolder == ErrorAlreadyExists || ontoFolder == ErrorAccessDenied) << ontoFolder;
    for (uint32_t code : {PlatformMoveFile("none.vb", "c.vb"), PlatformMoveFile("a.vb", "No Folder\\a.vb"),
                          PlatformRemoveFile("none.vb"), PlatformCreateDirectory("b.vb")})
        EXPECT_TRUE(code != 0 && code != ErrorAlreadyExists && code != ErrorAccessDenied) << code;
    EXPECT_EQ(PlatformCreateDirectory("Folder"), ErrorAlreadyExists);
    EXPECT_EQ(PlatformMoveFile("a.vb", "Folder\\a.vb"), 0u);
    EXPECT_EQ(PlatformReplaceFile("Folder\\a.vb", "b.vb"), 0u) << "replacing may take a target's place";
    EXPECT_EQ(test::ReadFile("b.vb"), "one");
}
#endif
