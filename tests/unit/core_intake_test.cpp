// core_intake_test.cpp - which file names count as images, archives and executables
#include "intake/intake.h"

#include <gtest/gtest.h>

namespace {

struct ExtensionCase {
    const char* name;
    const char* list;
    bool expected;
};

TEST(HasExtension, ComparesTheNameEndWithEachExtensionInAnyCase)
{
    const ExtensionCase cases[] = {
        {"game.vb", ".vb", true},
        {"GAME.VB", ".vb", true},
        {"game.Vb", ".vb", true},
        {"game.vb", ".VB", true},
        {".vb", ".vb", true},
        {"a.zip", ".zip", true},
        {"a.ZiP", ".zip", true},
        {"setup.exe", ".exe", true},
        {"game.vbx", ".vb", false},
        {"gamevb", ".vb", false},
        {"vb", ".vb", false},  // shorter than the extension
        {"b", ".vb", false},
        {"", ".vb", false},
        {"game.vb.zip", ".vb", false},
        {"game.zip", ".vb", false},
        // Several extensions run together: any one of them.
        {"a.zip", ".vb.zip", true},
        {"a.vb", ".vb.zip", true},
        {"a.exe", ".zip.exe", true},
        {"a.txt", ".zip.exe.vb", false},
        {"a.ip", ".zip", false},
    };
    for (const ExtensionCase& c : cases)
        EXPECT_EQ(HasExtension(c.name, c.list), c.expected) << "\"" << c.name << "\" against \"" << c.list << "\"";
}

}  // namespace
