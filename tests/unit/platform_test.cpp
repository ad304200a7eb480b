// platform_test.cpp - MoveFileA's codes: the move that never replaces, a taken target told from other failures
#include "support.h"

namespace fs = std::filesystem;

#ifdef _WIN32  // under Wine (tools/windows.sh); on POSIX the command-line cases show the same contracts
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
