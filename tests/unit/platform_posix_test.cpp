// platform_posix_test.cpp - the no-replace move on POSIX: a taken target, another name of the same file, links on the way
#ifndef _WIN32
#include "support.h"

namespace fs = std::filesystem;
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
#endif
