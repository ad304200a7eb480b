// permissions_test.cpp - runs where the system refuses writes: a read-only start directory and an unwritable program directory
//
// When the tests run as root, whom permissions do not stop, the program runs
// as "nobody" through setpriv, over a scratch folder given to that user.
#include "hardening.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

class Permissions : public ::testing::Test {
protected:
    void SetUp() override
    {
        layout = hard::MakeScenario(scratch);
        if (!hard::IsRoot())
            return;
        std::string setpriv = hard::FindOnPath("setpriv");
        unsigned uid = 0, gid = 0;
        if (setpriv.empty() || !hard::NobodyIds(&uid, &gid))
            GTEST_SKIP() << "running as root without setpriv or a user nobody: permissions cannot be tested";
        hard::ChownTree(scratch.root, uid, gid);
        prefix = {setpriv, "--reuid=" + std::to_string(uid), "--regid=" + std::to_string(gid), "--clear-groups"};
    }

    hard::Outcome RunQuor(const std::vector<std::string>& mode)
    {
        std::vector<std::string> argv = prefix;
        argv.push_back(hard::Program(scratch));
        argv.insert(argv.end(), mode.begin(), mode.end());
        return hard::Run(scratch, argv);
    }

    static void ReadOnly(const std::string& dir)
    {
        fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    }

    std::string Home() const { return test::Join(scratch.root, "home"); }

    test::Scratch scratch;
    hard::Layout layout;
    std::vector<std::string> prefix;
};

TEST_F(Permissions, AReadOnlyStartDirectoryKeepsEveryFileAndWritesTheListsInTheFallbackFolder)
{
    ReadOnly(scratch.collection);
    for (const std::vector<std::string>& mode : {std::vector<std::string>{"rename", "dirs"}, {"list"}}) {
        hard::Outcome o = RunQuor(mode);
        EXPECT_EQ(o.status, 0) << mode[0];
        EXPECT_EQ(hard::Trouble(layout, scratch), "") << mode[0];
        EXPECT_TRUE(hard::Arrangement(hard::Read(scratch.collection)) == hard::Arrangement(layout.collection))
            << mode[0] << ": nothing can move out of a read-only folder";
        EXPECT_EQ(test::ReadFile(test::Join(scratch.collection, "VBoyHave.txt")), layout.collection["VBoyHave.txt"]);
        EXPECT_NE(o.err.find("Using default log: " + test::Join(Home(), "VBoyMiss.txt")), std::string::npos)
            << o.err;
        EXPECT_NE(o.err.find("Using default log: " + test::Join(Home(), "VBoyHave.txt")), std::string::npos)
            << o.err;
        std::vector<int> had;
        EXPECT_TRUE(hard::ParseHaveList(test::ReadFile(test::Join(Home(), "VBoyHave.txt")), &had));
        EXPECT_TRUE(hard::ParseDatabase(test::ReadFile(test::Join(scratch.program, "QuorVBoy.db")), &had));
    }
}

TEST_F(Permissions, AnUnwritableProgramDirectoryPutsTheDatabaseInTheStartDirectory)
{
    // No database beside the program yet, so that the next run finds the
    // one in the start directory.
    fs::remove(test::Join(scratch.program, "QuorVBoy.db"));
    layout.program.erase("QuorVBoy.db");
    ReadOnly(scratch.program);
    hard::Outcome o = RunQuor({"rename", "dirs"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(hard::Trouble(layout, scratch), "");
    EXPECT_FALSE(test::FileExists(test::Join(scratch.program, "QuorVBoy.db")));
    std::vector<int> had;
    ASSERT_TRUE(hard::ParseDatabase(test::ReadFile(test::Join(scratch.collection, "QuorVBoy.db")), &had));
    std::vector<int> listed;
    ASSERT_TRUE(hard::ParseHaveList(test::ReadFile(test::Join(scratch.collection, "VBoyHave.txt")), &listed));
    EXPECT_EQ(had, listed);

    hard::Outcome again = RunQuor({"list"});
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.out.find("Found QuorVBoy.db, Ignoring VBoyHave.txt"), std::string::npos) << again.out;
}

}  // namespace
