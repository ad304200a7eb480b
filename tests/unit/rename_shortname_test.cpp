// rename_shortname_test.cpp - the short-name rule of renamed images at its 60-character edge
#include "rename/rename.h"
#include "run/imagebuffer.h"
#include "run/options.h"
#include "run/outputfile.h"

#include <gtest/gtest.h>

TEST(NewImageName, ShortensOnlyPastSixtyCharacters)
{
    ResetRunOptions();
    OptShortNames = 1;
    std::string sixty(60, 'a');
    EXPECT_EQ(NewImageName(sixty.c_str()), sixty);

    // Spaces go first; a name that then fits keeps everything else.
    std::string spaced = std::string(30, 'b') + " " + std::string(30, 'c');
    EXPECT_EQ(NewImageName(spaced.c_str()), std::string(30, 'b') + std::string(30, 'c'));

    // Still too long: head of 21, "...", tail of 36.
    std::string longName;
    for (int i = 0; i < 70; i++)
        longName += (char)('A' + i % 26);
    std::string shortened = NewImageName(longName.c_str());
    EXPECT_EQ(shortened, longName.substr(0, 21) + "..." + longName.substr(70 - 36));
    EXPECT_EQ(shortened.size(), 60u);

    // The separator rule applies after shortening, and OptNoSep is left as it was.
    OptSep = 1;
    SepChar = '_';
    std::string words = std::string(40, 'x') + " " + std::string(20, 'y');
    EXPECT_EQ(NewImageName(words.c_str()), std::string(40, 'x') + std::string(20, 'y'));
    EXPECT_EQ(OptNoSep, 0);
    OptShortNames = 0;
    EXPECT_EQ(NewImageName("3D Tetris (U)"), "3D_Tetris_(U)");
    ResetRunOptions();
}
