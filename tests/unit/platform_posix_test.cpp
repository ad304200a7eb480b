// platform_posix_test.cpp - the no-replace move on POSIX, including another name of the same file
#ifndef _WIN32
#include "platform/platform.h"
#include "support.h"

#include <filesystem>
#include <gtest/gtest.h>

TEST(PlatformMoveFile, NeverReplacesAndFinishesAnInterruptedMove)
{
    test::Scratch scratch;
    std::string a = test::Join(scratch.collection, "a.vb");
    std::string b = test::Join(scratch.collection, "b.vb");
    test::WriteFile(a, "first");
    test::WriteFile(b, "second");
    EXPECT_EQ(PlatformMoveFile(a, b), ErrorAlreadyExists);
    EXPECT_EQ(test::ReadFile(a), "first");
    EXPECT_EQ(test::ReadFile(b), "second");

    // Another name of the same file is a taken target too: nothing is unlinked.
    std::filesystem::remove(b);
    std::filesystem::create_hard_link(a, b);
    EXPECT_EQ(PlatformMoveFile(a, b), ErrorAlreadyExists);
    EXPECT_TRUE(test::FileExists(a));
    EXPECT_EQ(test::ReadFile(b), "first");
    EXPECT_EQ(PlatformMoveFile(b, b), ErrorAlreadyExists);
}
#endif
