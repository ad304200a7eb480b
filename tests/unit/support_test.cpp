// support_test.cpp - the test helpers themselves: synthetic images and forged CRCs
#include "support.h"

#include "identify/identify.h"

#include <gtest/gtest.h>

namespace {

TEST(ForgeCrc, ReachesEveryTargetAtAnyOffset)
{
    const uint32_t targets[] = {0x00000000, 0xFFFFFFFF, 0x36103000, 0xbb71b522, 0x80000000, 0x00000001};
    const size_t offsets[] = {0, 1, 100, 8186, 8188};
    for (size_t offset : offsets) {
        for (uint32_t target : targets) {
            std::string bytes = test::MakeImage(8192, target ^ (uint32_t)offset);
            test::ForgeCrc(bytes, target, offset);
            EXPECT_EQ(test::Crc(bytes), target) << "offset " << offset;
        }
    }
    // And a spread of pseudo-random targets.
    uint32_t x = 12345;
    for (int i = 0; i < 200; i++) {
        x = x * 1664525u + 1013904223u;
        std::string bytes = test::MakeImage(600 + i, i);
        test::ForgeCrc(bytes, x, (size_t)i);
        ASSERT_EQ(test::Crc(bytes), x) << "target " << std::hex << x;
    }
}

TEST(ForgeCrc, TouchesOnlyItsFourBytes)
{
    std::string before = test::MakeImage(9000, 7);
    std::string after = before;
    test::ForgeCrc(after, 0x12345678, 4000);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.substr(0, 4000), before.substr(0, 4000));
    EXPECT_EQ(after.substr(4004), before.substr(4004));
}

TEST(MakeImage, MarkDecidesTheFormatTest)
{
    for (uint32_t size : {8192u, 65536u, 2099200u}) {
        std::string marked = test::MakeImageWithCrc(size, test::CatalogueCrcOf("Golf (U)"), size);
        std::string plain = test::MakeImage(size, size, false);
        EXPECT_EQ(marked.size(), size);
        EXPECT_EQ(test::Crc(marked), 0x2199af41u);
        EXPECT_EQ(IsVirtualBoyImage(reinterpret_cast<const unsigned char*>(marked.data()), size), 1);
        EXPECT_EQ(IsVirtualBoyImage(reinterpret_cast<const unsigned char*>(plain.data()), size), 0);
    }
    EXPECT_NE(test::MakeImage(8192, 1), test::MakeImage(8192, 2));
    EXPECT_EQ(test::MakeImage(8192, 3), test::MakeImage(8192, 3));
}

}  // namespace
