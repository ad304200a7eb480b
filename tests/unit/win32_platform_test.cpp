// win32_platform_test.cpp - what only the Windows build does: attributes, drive roots, MoveFileA's codes, names beyond ASCII
//
// Elsewhere this file compiles to nothing. Under Wine the prefix must show
// dot names as ordinary names (ShowDotFiles=Y, as tools/windows.sh sets it),
// the way Windows itself does.
#ifdef _WIN32

#include "support.h"

#include "platform/platform.h"
#include "run/run.h"

#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winioctl.h>

#include <filesystem>
#include <map>
#include <memory>
#include <random>

namespace fs = std::filesystem;

namespace {

// "Café 日本.vb", once as the system's wide name and once as the UTF-8 bytes
// the ...A calls give and take under the UTF-8 code page.
const wchar_t WideName[] = L"Caf\u00e9 \u65e5\u672c.vb";
const char Utf8Name[] = "Caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac.vb";

// Writes bytes to a file named by its wide name, bypassing every code page.
void WriteWide(const std::wstring& name, const std::string& bytes)
{
    HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    DWORD written = 0;
    BOOL ok = WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    CloseHandle(h);
    ASSERT_TRUE(ok && written == bytes.size());
}

bool WideExists(const std::wstring& name)
{
    return GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool AttributeHidden(const std::string& name)
{
    return (GetFileAttributesA(name.c_str()) & FILE_ATTRIBUTE_HIDDEN) != 0;
}

// Every entry of a listing by name.
std::map<std::string, PlatformDirEntry> List(const std::string& dir)
{
    std::map<std::string, PlatformDirEntry> entries;
    PlatformListing* listing = PlatformOpenListing(dir);
    EXPECT_NE(listing, nullptr) << dir;
    PlatformDirEntry entry;
    while (PlatformNextEntry(listing, &entry))
        entries[entry.name] = entry;
    PlatformCloseListing(listing);
    return entries;
}

std::string Image(const char* canonicalName, uint32_t seed)
{
    return test::MakeImageWithCrc(8192, test::CatalogueCrcOf(canonicalName), seed);
}

// A scratch folder whose collection is the current directory of the test.
class Win32 : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = fs::current_path();
        ASSERT_TRUE(PlatformSetCurrentDirectory(scratch.collection));
    }
    void TearDown() override { fs::current_path(saved); }

    test::Scratch scratch;
    fs::path saved;
};

TEST(Win32Manifest, MakesUtf8TheActiveCodePage)
{
    // Without the manifest the code page is the local one and names outside
    // it reach the ...A calls as question marks.
    EXPECT_EQ(GetACP(), (UINT)CP_UTF8);
}

TEST_F(Win32, ListingTakesHiddenFromTheAttributeNotFromALeadingDot)
{
    test::MakeDirs("Shown");
    test::MakeDirs("Veiled");
    test::MakeDirs(".dotted");
    test::WriteFile("plain.vb", std::string(1234, 'p'));
    test::WriteFile("covert.vb", "c");
    test::WriteFile(".dotfile.vb", "d");
    test::Hide("Veiled");
    test::Hide("covert.vb");
    ASSERT_FALSE(AttributeHidden(".dotted")) << "the system marks dot names hidden (Wine: ShowDotFiles=Y)";

    std::map<std::string, PlatformDirEntry> entries = List(".");
    ASSERT_EQ(entries.size(), 8u);
    EXPECT_TRUE(entries["."].isDirectory);
    EXPECT_TRUE(entries[".."].isDirectory);

    EXPECT_TRUE(entries["Veiled"].isDirectory);
    EXPECT_TRUE(entries["Veiled"].isHidden);
    EXPECT_TRUE(entries["covert.vb"].isHidden);
    EXPECT_FALSE(entries["covert.vb"].isDirectory);
    EXPECT_EQ(entries["covert.vb"].size, 1u);

    EXPECT_TRUE(entries[".dotted"].isDirectory);
    EXPECT_FALSE(entries[".dotted"].isHidden);
    EXPECT_FALSE(entries[".dotfile.vb"].isHidden);
    EXPECT_FALSE(entries["Shown"].isHidden);
    EXPECT_FALSE(entries["plain.vb"].isHidden);
    EXPECT_EQ(entries["plain.vb"].size, 1234u);
}

TEST_F(Win32, WalkSkipsHiddenFoldersAndEntersDotFolders)
{
    test::WriteFile(".dotted\\tetris.vb", Image("3D Tetris (U)", 1));
    test::WriteFile("Veiled\\boxer.vb", Image("Teleroboxer (JU)", 2));
    test::WriteFile("covert.vb", Image("Mario Clash (JU)", 3));
    test::Hide("Veiled");
    test::Hide("covert.vb");

    test::RunResult r = test::RunQuor(scratch, {"listd"});
    EXPECT_NE(r.out.find("Scanning .\\.dotted\\*.vb"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Veiled"), std::string::npos) << r.out;

    // The hidden file was handed on like any other; the hidden folder's image was never seen.
    std::string have = test::ReadText("VBoyHave.txt");
    EXPECT_NE(have.find("3D Tetris (U)"), std::string::npos) << have;
    EXPECT_NE(have.find("Mario Clash (JU)"), std::string::npos) << have;
    EXPECT_EQ(have.find("Teleroboxer (JU)"), std::string::npos) << have;
}

TEST_F(Win32, FileOfFourGigabytesIsListedAsTheLargestLength)
{
    HANDLE h = CreateFileA("huge.vb", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD returned = 0;
    DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);  // where it can
    LARGE_INTEGER length;
    length.QuadPart = 0x100000000LL + 9000;  // its low 32 bits would pass for a small image
    bool sized = SetFilePointerEx(h, length, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    if (!sized)
        GTEST_SKIP() << "no room for a file of 4 GiB here";
    EXPECT_EQ(List(".")["huge.vb"].size, 0xFFFFFFFFu);
}

TEST_F(Win32, DirectoryIdentityIsTheSameByEveryPath)
{
    test::MakeDirs("A\\B");
    PlatformDirId a, again, b;
    ASSERT_EQ(PlatformGetDirId("A", &a), 1);
    ASSERT_EQ(PlatformGetDirId("A\\B\\..", &again), 1);
    ASSERT_EQ(PlatformGetDirId("A\\B", &b), 1);
    EXPECT_EQ(a.volume, again.volume);
    EXPECT_EQ(a.file, again.file);
    EXPECT_EQ(a.volume, b.volume);
    EXPECT_NE(a.file, b.file);
    EXPECT_EQ(PlatformGetDirId("missing", &b), 0);
}

TEST_F(Win32, ProgramPathAndCurrentDirectoryAreFullPaths)
{
    std::string program = PlatformProgramPath();
    ASSERT_GE(program.size(), 3u);
    EXPECT_EQ(program.substr(1, 2), ":\\") << program;
    EXPECT_NE(GetFileAttributesA(program.c_str()), INVALID_FILE_ATTRIBUTES) << program;
    EXPECT_EQ(program.substr(program.size() - 4), ".exe");

    test::MakeDirs("Sub Folder");
    ASSERT_TRUE(PlatformSetCurrentDirectory("Sub Folder"));
    EXPECT_EQ(PlatformGetCurrentDirectory(), scratch.collection + "\\Sub Folder");
    EXPECT_FALSE(PlatformSetCurrentDirectory("no such folder"));
    EXPECT_EQ(PlatformGetCurrentDirectory(), scratch.collection + "\\Sub Folder");
    EXPECT_EQ(PlatformFallbackDirectory(), "C:\\");
}

TEST_F(Win32, DriveRootTakesNoSecondBackslash)
{
    // The root of the drive the scratch folder lives on, with a name of our own there.
    std::string root = fs::path(scratch.root).root_path().string();
    ASSERT_EQ(root.size(), 3u) << root;
    std::mt19937 random(std::random_device{}());
    std::string name = "QuorVBoy-root-test-" + std::to_string(random()) + ".txt";
    std::string inRoot = root + name;
    FILE* probe = fopen(inRoot.c_str(), "w");
    if (probe == nullptr)
        GTEST_SKIP() << root << " cannot be written here";
    fclose(probe);

    // The system gives a drive root with its backslash.
    ASSERT_TRUE(PlatformSetCurrentDirectory(root));
    EXPECT_EQ(PlatformGetCurrentDirectory(), root);
    EXPECT_EQ(List(root).count(name), 1u);
    EXPECT_EQ(List(root.substr(0, 2)).count(name), 1u);  // "C:" alone: the current folder of C:

    StartDirectory = PlatformGetCurrentDirectory();
    ReplacementFile file;
    int opened = OpenReplacementFile(name.c_str(), "w", &file);
    StartDirectory.clear();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(file.targetPath, inRoot);
    AbandonReplacementFile(&file);
    EXPECT_EQ(PlatformRemoveFile(inRoot), 0u);
}

TEST_F(Win32, MoveNeverReplacesAndTellsTakenFromOtherFailures)
{
    test::WriteFile("a.vb", "one");
    test::WriteFile("b.vb", "two");
    test::MakeDirs("Folder");

    EXPECT_EQ(PlatformMoveFile("a.vb", "b.vb"), ErrorAlreadyExists);
    EXPECT_EQ(test::ReadFile("a.vb"), "one");
    EXPECT_EQ(test::ReadFile("b.vb"), "two");
    uint32_t ontoFolder = PlatformMoveFile("a.vb", "Folder");
    EXPECT_TRUE(ontoFolder == ErrorAlreadyExists || ontoFolder == ErrorAccessDenied) << ontoFolder;

    // Failures that are not a taken target must never look like one.
    for (uint32_t code : {PlatformMoveFile("none.vb", "c.vb"), PlatformMoveFile("a.vb", "No Folder\\a.vb"),
                          PlatformRemoveFile("none.vb")}) {
        EXPECT_NE(code, 0u);
        EXPECT_NE(code, ErrorAlreadyExists);
        EXPECT_NE(code, ErrorAccessDenied);
    }

    EXPECT_EQ(PlatformCreateDirectory("Folder"), ErrorAlreadyExists);
    EXPECT_EQ(PlatformCreateDirectory("b.vb"), ErrorAlreadyExists);
    EXPECT_EQ(PlatformMoveFile("a.vb", "Folder\\a.vb"), 0u);
    EXPECT_EQ(test::ReadFile("Folder\\a.vb"), "one");

    // Replacing is the one move that may take a target's place.
    EXPECT_EQ(PlatformReplaceFile("Folder\\a.vb", "b.vb"), 0u);
    EXPECT_EQ(test::ReadFile("b.vb"), "one");
    EXPECT_FALSE(test::FileExists("Folder\\a.vb"));
}

TEST_F(Win32, RenameOfATakenTargetPrintsTheWindowsPathAndGoesToTheDuplicates)
{
    std::string image = Image("3D Tetris (U)", 4);
    test::WriteFile("tetris.vb", image);
    test::WriteFile("VBoyRen\\3D Tetris (U).vb", "earlier");

    test::RunResult r = test::RunQuor(scratch, {"rename"});
    EXPECT_NE(r.out.find("File VBoyRen\\3D Tetris (U).vb already exists (Original: tetris.vb)"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(test::ReadFile("VBoyRen\\3D Tetris (U).vb"), "earlier");
    EXPECT_EQ(test::ReadFile("VBoyDupes\\3D Tetris (U).vb"), image);
    EXPECT_FALSE(test::FileExists("tetris.vb"));
}

TEST_F(Win32, NameBeyondAsciiIsListedAndMoved)
{
    WriteWide(WideName, "abc");
    std::map<std::string, PlatformDirEntry> entries = List(".");
    ASSERT_EQ(entries.count(Utf8Name), 1u) << "the listing lost the name";
    EXPECT_EQ(entries[Utf8Name].size, 3u);

    std::string moved = std::string("Moved ") + Utf8Name;
    EXPECT_EQ(PlatformMoveFile(Utf8Name, moved), 0u);
    EXPECT_FALSE(WideExists(WideName));
    EXPECT_TRUE(WideExists(std::wstring(L"Moved ") + WideName));
}

TEST_F(Win32, ProgramIdentifiesAndRenamesANameBeyondAscii)
{
    std::string image = Image("3D Tetris (U)", 5);
    WriteWide(WideName, image);
    test::RunResult r = test::RunQuor(scratch, {"rename"});
    EXPECT_FALSE(WideExists(WideName)) << r.out;
    EXPECT_EQ(test::ReadFile("VBoyRen\\3D Tetris (U).vb"), image) << r.out;

    // move keeps the name: the program forms a path out of it and it still works.
    WriteWide(WideName, Image("Mario Clash (JU)", 6));
    r = test::RunQuor(scratch, {"move"});
    EXPECT_FALSE(WideExists(WideName)) << r.out;
    EXPECT_TRUE(WideExists(std::wstring(L"VBoyRen\\") + WideName)) << r.out;
}

}  // namespace

#endif  // _WIN32
