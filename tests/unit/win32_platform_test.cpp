// win32_platform_test.cpp - what only the Windows build does: attributes, drive roots, MoveFileA's codes, names beyond ASCII
//
// Elsewhere this file compiles to nothing. Under Wine the prefix must show
// dot names as ordinary names (ShowDotFiles=Y, as tools/windows.sh sets it),
// the way Windows itself does.
#ifdef _WIN32

#include "support.h"

#include "platform/platform.h"
#include "run/imagebuffer.h"
#include "run/options.h"
#include "run/outputfile.h"

#include <filesystem>
#include <fstream>
#include <map>

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#include <winioctl.h>

namespace fs = std::filesystem;

namespace {

// "Café 日本.vb", as the system's wide name and as the UTF-8 bytes the ...A
// calls give and take under the UTF-8 code page.
const std::wstring WideName = L"Caf\u00e9 \u65e5\u672c.vb";
const std::string Utf8Name = "Caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac.vb";

// Every entry of a listing by name.
std::map<std::string, PlatformDirEntry> List(const std::string& dir)
{
    std::map<std::string, PlatformDirEntry> entries;
    PlatformListing* listing = PlatformOpenListing(dir);
    EXPECT_NE(listing, nullptr) << dir;
    for (PlatformDirEntry entry; PlatformNextEntry(listing, &entry);)
        entries[entry.name] = entry;
    PlatformCloseListing(listing);
    return entries;
}

// The current directory of each test is its scratch collection.
using Win32 = test::UnitTest;

TEST_F(Win32, ListingTakesHiddenFromTheAttributeWhichDecidesWhatTheWalkSkipsAndClampsSizes)
{
    test::WriteFile(".dotted\\tetris.vb", test::KnownImage("3D Tetris (U)", 1));
    test::WriteFile("Veiled\\boxer.vb", test::KnownImage("Teleroboxer (JU)", 2));
    test::WriteFile("covert.vb", test::KnownImage("Mario Clash (JU)", 3));
    test::WriteFile(".dotfile.vb", std::string(1234, 'd'));
    test::Hide("Veiled");
    test::Hide("covert.vb");
    ASSERT_EQ(GetFileAttributesA(".dotted") & FILE_ATTRIBUTE_HIDDEN, 0u) << "dot names are hidden: ShowDotFiles=Y?";

    std::map<std::string, PlatformDirEntry> e = List(".");
    ASSERT_EQ(e.size(), 6u);
    EXPECT_TRUE(e["."].isDirectory && e[".."].isDirectory && e[".dotted"].isDirectory && e["Veiled"].isDirectory);
    EXPECT_TRUE(e["Veiled"].isHidden && e["covert.vb"].isHidden);
    EXPECT_FALSE(e[".dotted"].isHidden || e[".dotfile.vb"].isHidden || e["covert.vb"].isDirectory);
    EXPECT_EQ(e["covert.vb"].size, 8192u);
    EXPECT_EQ(e[".dotfile.vb"].size, 1234u);

    // The hidden file is handed on like any other; the hidden folder's image is never seen.
    test::RunResult r = test::RunQuor(scratch, {"listd"});
    EXPECT_NE(r.out.find("Scanning .\\.dotted\\*.vb"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Veiled"), std::string::npos) << r.out;
    const std::string have = test::ReadText("VBoyHave.txt");
    for (const auto& [name, seen] : {std::pair<const char*, bool>{"3D Tetris (U)", true}, {"Mario Clash (JU)", true},
                                     {"Teleroboxer (JU)", false}})
        EXPECT_EQ(have.find(name) != std::string::npos, seen) << name << " in\n" << have;

    // A file of 4 GiB or more is listed as the largest length.
    HANDLE h = CreateFileA("huge.vb", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD returned = 0;
    DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);  // where it can
    LARGE_INTEGER length = {{9000, 1}};  // 4 GiB + 9000: its low 32 bits would pass for a small image
    bool sized = SetFilePointerEx(h, length, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    if (!sized)
        GTEST_SKIP() << "no room for a file of 4 GiB here";
    EXPECT_EQ(List(".")["huge.vb"].size, 0xFFFFFFFFu);
}

TEST_F(Win32, DirectoryIdsAndPathsAreTheSystemsOwnAndADriveRootTakesNoSecondBackslash)
{
    test::MakeDirs("A\\B");
    PlatformDirId a, again, b;
    auto id = [](const char* dir, PlatformDirId* out) {
        PlatformListing* listing = PlatformOpenListing(dir);
        int ok = PlatformListingId(listing, out);
        PlatformCloseListing(listing);
        return ok;
    };
    ASSERT_TRUE(id("A", &a) == 1 && id("A\\B\\..", &again) == 1 && id("A\\B", &b) == 1);
    EXPECT_TRUE(a.volume == again.volume && a.file == again.file && a.volume == b.volume);
    EXPECT_NE(a.file, b.file);
    EXPECT_EQ(id("missing", &b), 0);

    const std::string program = PlatformProgramPath();
    EXPECT_TRUE(program.find(":\\") == 1 && fs::path(program).extension() == ".exe" && fs::exists(program)) << program;
    ASSERT_TRUE(PlatformSetCurrentDirectory("A\\B"));
    EXPECT_FALSE(PlatformSetCurrentDirectory("no such folder"));
    EXPECT_EQ(PlatformGetCurrentDirectory(), scratch.collection + "\\A\\B");
    EXPECT_EQ(PlatformFallbackDirectory(), "C:\\");

    // A drive root takes no second backslash: the scratch folder's, with a name of our own there.
    const std::string root = fs::path(scratch.root).root_path().string();
    ASSERT_EQ(root.size(), 3u) << root;
    const std::string name = "QuorVBoy-root-test-" + std::to_string(GetCurrentProcessId()) + ".txt";
    if (!std::ofstream(root + name))
        GTEST_SKIP() << root << " cannot be written here";
    ASSERT_TRUE(PlatformSetCurrentDirectory(root));
    EXPECT_EQ(PlatformGetCurrentDirectory(), root);
    EXPECT_EQ(List(root).count(name), 1u);
    EXPECT_EQ(List(root.substr(0, 2)).count(name), 1u);  // "C:" alone: the current folder of C:

    StartDirectory = PlatformGetCurrentDirectory();
    ReplacementFile file;
    EXPECT_EQ(OpenReplacementFile(name.c_str(), "w", &file), 1);
    EXPECT_EQ(file.targetPath, root + name);
    AbandonReplacementFile(&file);
    EXPECT_EQ(PlatformRemoveFile(root + name), 0u);
}

TEST_F(Win32, MoveNeverReplacesAndTellsTakenFromOtherFailures)
{
    test::WriteFile("a.vb", "one");
    test::WriteFile("b.vb", "two");
    test::MakeDirs("Folder");
    EXPECT_EQ(PlatformMoveFile("a.vb", "b.vb"), ErrorAlreadyExists);
    EXPECT_EQ(test::ReadFile("a.vb") + test::ReadFile("b.vb"), "onetwo");
    uint32_t ontoFolder = PlatformMoveFile("a.vb", "Folder");
    EXPECT_TRUE(ontoFolder == ErrorAlreadyExists || ontoFolder == ErrorAccessDenied) << ontoFolder;
    // Failures that are not a taken target must never look like one.
    for (uint32_t code : {PlatformMoveFile("none.vb", "c.vb"), PlatformMoveFile("a.vb", "No Folder\\a.vb"),
                          PlatformRemoveFile("none.vb")})
        EXPECT_TRUE(code != 0 && code != ErrorAlreadyExists && code != ErrorAccessDenied) << code;
    EXPECT_EQ(PlatformCreateDirectory("Folder"), ErrorAlreadyExists);
    EXPECT_EQ(PlatformCreateDirectory("b.vb"), ErrorAlreadyExists);
    EXPECT_EQ(PlatformMoveFile("a.vb", "Folder\\a.vb"), 0u);
    // Replacing is the one move that may take a target's place.
    EXPECT_EQ(PlatformReplaceFile("Folder\\a.vb", "b.vb"), 0u);
    EXPECT_EQ(test::ReadFile("b.vb"), "one");
    EXPECT_FALSE(test::FileExists("Folder\\a.vb"));

    // The program reports a taken target by its Windows path and files the image as a duplicate.
    const std::string image = test::KnownImage("3D Tetris (U)", 4);
    test::WriteFile("tetris.vb", image);
    test::WriteFile("VBoyRen\\3D Tetris (U).vb", "earlier");
    test::RunResult r = test::RunQuor(scratch, {"rename"});
    EXPECT_NE(r.out.find("File VBoyRen\\3D Tetris (U).vb already exists (Original: tetris.vb)"), std::string::npos)
        << r.out;
    EXPECT_EQ(test::ReadFile("VBoyRen\\3D Tetris (U).vb"), "earlier");
    EXPECT_EQ(test::ReadFile("VBoyDupes\\3D Tetris (U).vb"), image);
    EXPECT_FALSE(test::FileExists("tetris.vb"));
}

TEST_F(Win32, NameBeyondAsciiIsListedMovedIdentifiedAndRenamedUnderTheUtf8CodePage)
{
    // Without the manifest names outside the local code page reach the ...A calls as question marks.
    EXPECT_EQ(GetACP(), (UINT)CP_UTF8);
    const std::string image = test::KnownImage("3D Tetris (U)", 5);
    std::ofstream(fs::path(WideName), std::ios::binary) << image;
    EXPECT_EQ(List(".")[Utf8Name].size, 8192u) << "the listing lost the name";
    EXPECT_EQ(PlatformMoveFile(Utf8Name, "Moved " + Utf8Name), 0u);
    EXPECT_FALSE(fs::exists(fs::path(WideName)));
    ASSERT_TRUE(fs::exists(fs::path(L"Moved " + WideName)));

    test::RunResult r = test::RunQuor(scratch, {"rename"});
    EXPECT_FALSE(fs::exists(fs::path(L"Moved " + WideName))) << r.out;
    EXPECT_EQ(test::ReadFile("VBoyRen\\3D Tetris (U).vb"), image) << r.out;
    // move keeps the name: the program forms a path out of it and it still works.
    std::ofstream(fs::path(WideName), std::ios::binary) << test::KnownImage("Mario Clash (JU)", 6);
    r = test::RunQuor(scratch, {"move"});
    EXPECT_FALSE(fs::exists(fs::path(WideName))) << r.out;
    EXPECT_TRUE(fs::exists(fs::path(L"VBoyRen\\" + WideName))) << r.out;
}

}  // namespace

#endif  // _WIN32
