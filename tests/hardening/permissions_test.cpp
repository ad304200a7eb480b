// permissions_test.cpp - runs where the system refuses writes: a read-only start directory and an unwritable program directory
//
// When permissions do not stop the tests' user (root), the program runs as
// "nobody" through setpriv, over a scratch folder given to that user.
#include "hardening.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

void ReadOnly(const std::string& dir)
{
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
}

class Permissions : public ::testing::Test {
protected:
    void SetUp() override
    {
        layout = hard::MakeScenario(s);
        const std::string probe = test::Join(s.root, "probe");
        test::MakeDirs(probe);
        ReadOnly(probe);
        bool unstopped = std::ofstream(test::Join(probe, "file")).is_open();
        fs::permissions(probe, fs::perms::owner_all);
        fs::remove_all(probe);
        if (!unstopped)
            return;
        if (!fs::exists("/usr/bin/setpriv"))
            GTEST_SKIP() << "every permission and no /usr/bin/setpriv to drop them: permissions cannot be tested";
        const std::string none = "/dev/null";
        ASSERT_EQ(test::SpawnProgram("/bin/chown", {"-R", "65534:65534", s.root}, s.root, none, none, none), 0);
        prefix = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    test::RunResult Run(const std::vector<std::string>& args) { return test::RunQuor(s, args, "", "", prefix); }
    std::string At(const std::string& dir, const char* name) const { return test::ReadFile(test::Join(dir, name)); }

    test::Scratch s;
    hard::Layout layout;
    std::vector<std::string> prefix;
    std::vector<int> had, listed;
};

TEST_F(Permissions, AReadOnlyStartDirectoryKeepsEveryFileAndWritesTheListsInTheFallbackFolder)
{
    const std::string home = test::Join(s.root, "home");
    ReadOnly(s.collection);
    for (const std::vector<std::string>& mode : {std::vector<std::string>{"rename", "dirs"}, {"list"}}) {
        SCOPED_TRACE(mode[0]);
        test::RunResult r = Run(mode);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(hard::Trouble(layout, s), "");
        EXPECT_TRUE(hard::Capture(s).collection == layout.collection) << "nothing can change in a read-only folder";
        for (const char* list : {"VBoyMiss.txt", "VBoyHave.txt"})
            EXPECT_NE(r.err.find("Using default log: " + test::Join(home, list)), std::string::npos) << r.err;
        EXPECT_TRUE(hard::Entries("VBoyHave.txt", At(home, "VBoyHave.txt"), &listed));
        EXPECT_TRUE(hard::Entries("QuorVBoy.db", At(s.program, "QuorVBoy.db"), &had));
    }
}

TEST_F(Permissions, AnUnwritableProgramDirectoryPutsTheDatabaseInTheStartDirectory)
{
    // No database beside the program yet, so that the next run finds the
    // one in the start directory.
    fs::remove(test::Join(s.program, "QuorVBoy.db"));
    layout.program.erase("QuorVBoy.db");
    ReadOnly(s.program);
    test::RunResult r = Run({"rename", "dirs"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(hard::Trouble(layout, s), "");
    EXPECT_FALSE(test::FileExists(test::Join(s.program, "QuorVBoy.db")));
    ASSERT_TRUE(hard::Entries("QuorVBoy.db", At(s.collection, "QuorVBoy.db"), &had));
    ASSERT_TRUE(hard::Entries("VBoyHave.txt", At(s.collection, "VBoyHave.txt"), &listed));
    EXPECT_EQ(had, listed);

    test::RunResult again = Run({"list"});
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.out.find("Found QuorVBoy.db, Ignoring VBoyHave.txt"), std::string::npos) << again.out;
}

}  // namespace
