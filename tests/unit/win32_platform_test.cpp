// win32_platform_test.cpp - what only the Windows build does: MoveFileA's codes, names beyond ASCII
//
// Elsewhere this file compiles to nothing; tools/windows.sh runs it under Wine.
#ifdef _WIN32
#include "support.h"

#include <windows.h>

namespace {

namespace fs = std::filesystem;
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

TEST_F(Win32, NamesBeyondAsciiAreListedAndMovedUnderTheUtf8CodePage)
{
    // "Café 日本.vb" as the system's wide name and as the UTF-8 bytes of the ...A calls.
    const std::wstring wide = L"Caf\u00e9 \u65e5\u672c.vb";
    const std::string utf8 = "Caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac.vb";
    EXPECT_EQ(GetACP(), (UINT)CP_UTF8) << "without the manifest such names reach the ...A calls as question marks";
    std::ofstream(fs::path(wide), std::ios::binary) << "image";
    PlatformListing* listing = PlatformOpenListing(".");
    int64_t size = -1;
    for (PlatformDirEntry e; PlatformNextEntry(listing, &e);)
        size = e.name == utf8 ? e.size : size;
    PlatformCloseListing(listing);
    EXPECT_EQ(size, 5) << "the listing lost the name";
    EXPECT_EQ(PlatformMoveFile(utf8, "Moved " + utf8), 0u);
    EXPECT_TRUE(!fs::exists(fs::path(wide)) && fs::exists(fs::path(L"Moved " + wide)));
}

}  // namespace
#endif  // _WIN32
