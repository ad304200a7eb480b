// faults_test.cpp - system calls made to fail under `rename dirs` and `list`, one call at a time, with nothing lost and no list half-written
//
// strace fails the Nth call of one kind (counted from the program's first
// call after start-up, N up to the last call of that kind in the scenario),
// with an error a real system gives. After every run the program must have
// ended with status 0, every file of the collection must still be there
// once per copy (in its old place, in VBoyRen or in VBoyDupes), and each
// list and the database must be the old one or a complete new one.
#include "hardening.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>

namespace {

std::string strace;

// Calls made, calls failed, faults injected and faults survived, by mode
// and kind, for the closing summary.
struct Tally {
    int calls = 0;
    int failed = 0;
    int injected = 0;
    int survived = 0;
};
std::map<std::string, Tally> tally;

// One kind of call to fail: the system call, the errors it is failed with
// in turn, and strace options that hold for every run of the kind (the
// no-replace move refused, so that the link-and-unlink road is taken).
struct Kind {
    std::string syscall;
    std::vector<std::string> errors;
    std::vector<std::string> always;
    std::string title;
};

const std::vector<std::string> RefuseNoReplace = {"-e", "inject=renameat2:error=EINVAL"};

const std::vector<Kind> Kinds = {
    {"openat", {"EACCES", "ENOSPC", "EIO"}, {}, "openat"},
    {"read", {"EIO"}, {}, "read"},
    {"write", {"ENOSPC", "EIO"}, {}, "write"},
    {"close", {"EIO"}, {}, "close"},
    {"fsync", {"EIO", "ENOSPC"}, {}, "fsync"},
    {"mkdir", {"ENOSPC", "EACCES", "EIO"}, {}, "mkdir"},
    {"renameat2", {"EXDEV", "EACCES", "EIO", "ENOSPC"}, {}, "renameat2"},
    {"rename", {"EIO", "ENOSPC", "EACCES", "EXDEV"}, {}, "rename"},
    {"link", {"EXDEV", "ENOSPC", "EIO", "EACCES"}, RefuseNoReplace, "link (no-replace refused)"},
    {"unlink", {"EIO", "EACCES"}, RefuseNoReplace, "unlink (no-replace refused)"},
    {"unlink", {"EIO", "EACCES"}, {}, "unlink"},
    {"chdir", {"EACCES", "EIO"}, {}, "chdir"},
    {"getdents64", {"EIO"}, {}, "getdents64"},
};

// Every call of the first FirstCalls is failed; past them, about
// SparseCalls more spread evenly up to the last.
constexpr int FirstCalls = 40;
constexpr int SparseCalls = 12;

std::vector<int> CallsToFail(int first, int last)
{
    std::set<int> calls;
    for (int n = first; n <= last && n < first + FirstCalls; n++)
        calls.insert(n);
    int rest = last - (first + FirstCalls) + 1;
    if (rest > 0) {
        int step = rest / SparseCalls + 1;
        for (int n = first + FirstCalls; n <= last; n += step)
            calls.insert(n);
        calls.insert(last);
    }
    return std::vector<int>(calls.begin(), calls.end());
}

std::vector<std::string> StraceArgs(const std::vector<std::string>& extra, const std::vector<std::string>& mode,
                                    const test::Scratch& scratch, const std::string& output)
{
    std::vector<std::string> argv = {strace, "-f", "-qq", "-o", output};
    argv.insert(argv.end(), extra.begin(), extra.end());
    argv.push_back(hard::Program(scratch));
    argv.insert(argv.end(), mode.begin(), mode.end());
    return argv;
}

class Faults : public ::testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite()
    {
        scratch = std::make_unique<test::Scratch>();
        layout = hard::MakeScenario(*scratch);
    }
    static void TearDownTestSuite() { scratch.reset(); }

    std::vector<std::string> Mode() const
    {
        std::vector<std::string> mode;
        std::istringstream words(GetParam());
        for (std::string w; words >> w;)
            mode.push_back(w);
        return mode;
    }

    static std::unique_ptr<test::Scratch> scratch;
    static hard::Layout layout;
};

std::unique_ptr<test::Scratch> Faults::scratch;
hard::Layout Faults::layout;

TEST_P(Faults, EveryCallOfEveryKindFailsWithoutLoss)
{
    const std::vector<std::string> mode = Mode();
    const std::string tracePath = test::Join(scratch->root, "trace.txt");
    for (const Kind& kind : Kinds) {
        hard::Restore(*scratch, layout);
        // A call is failed only when strace traces it.
        std::string traced = kind.syscall + (kind.always.empty() ? "" : ",renameat2");
        std::vector<std::string> extra = {"-e", "trace=" + traced + ",write"};
        extra.insert(extra.end(), kind.always.begin(), kind.always.end());
        hard::Outcome plain = hard::Run(*scratch, StraceArgs(extra, mode, *scratch, tracePath));
        ASSERT_EQ(plain.status, 0) << kind.title << ": the run without a fault failed\n" << plain.err;
        ASSERT_EQ(hard::Trouble(layout, *scratch), "") << kind.title << ": the run without a fault";
        int before = 0, total = 0;
        hard::CountCalls(test::ReadFile(tracePath), kind.syscall, &before, &total);

        Tally& counts = tally[GetParam() + ": " + kind.title];
        std::vector<int> calls = CallsToFail(before + 1, total);
        counts.calls = total - before;
        counts.failed = (int)calls.size();
        for (int n : calls) {
            for (const std::string& error : kind.errors) {
                hard::Restore(*scratch, layout);
                std::vector<std::string> inject = {"-e", "trace=" + traced, "-e",
                                                   "inject=" + kind.syscall + ":error=" + error + ":when=" +
                                                       std::to_string(n)};
                inject.insert(inject.end(), kind.always.begin(), kind.always.end());
                hard::Outcome o = hard::Run(*scratch, StraceArgs(inject, mode, *scratch, "/dev/null"));
                std::string trouble = hard::Trouble(layout, *scratch);
                std::string what = GetParam() + ": " + kind.title + " call " + std::to_string(n - before) + " of " +
                                   std::to_string(total - before) + " failed with " + error;
                counts.injected++;
                if (o.status == 0 && o.signal == 0 && trouble.empty())
                    counts.survived++;
                EXPECT_EQ(o.status, 0) << what << "\n" << o.err;
                EXPECT_EQ(o.signal, 0) << what;
                EXPECT_EQ(trouble, "") << what;
            }
        }
    }
}

// The no-replace move refused on every call: every move takes the
// link-and-unlink road, and the result is the same.
TEST_P(Faults, MovesWithoutTheNoReplaceFlagLoseNothing)
{
    hard::Restore(*scratch, layout);
    hard::Outcome o = hard::Run(*scratch, StraceArgs(RefuseNoReplace, Mode(), *scratch, "/dev/null"));
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(hard::Trouble(layout, *scratch), "");
}

// The check itself: a lost image, an extra copy, a file gone astray and a
// have list cut short are all seen.
TEST_P(Faults, TheCheckSeesEveryKindOfDamage)
{
    hard::Restore(*scratch, layout);
    hard::Outcome o = hard::Run(*scratch, {hard::Program(*scratch), "list"});
    ASSERT_EQ(o.status, 0);
    ASSERT_EQ(hard::Trouble(layout, *scratch), "");
    const std::string c = scratch->collection;
    std::string have = test::ReadFile(test::Join(c, "VBoyHave.txt"));
    test::WriteFile(test::Join(c, "VBoyHave.txt"), have.substr(0, have.size() - 3));
    std::filesystem::remove(test::Join(c, "golf.VB"));
    test::WriteFile(test::Join(c, "VBoyDupes/x.vb"), test::ReadFile(test::Join(c, "pong.vb")));
    std::filesystem::rename(test::Join(c, "readme.txt"), test::Join(c, "sub/readme.txt"));
    std::string trouble = hard::Trouble(layout, *scratch);
    EXPECT_NE(trouble.find("lost 1 copy of golf.VB"), std::string::npos) << trouble;
    EXPECT_NE(trouble.find("1 copy too many of pong.vb"), std::string::npos) << trouble;
    EXPECT_NE(trouble.find("readme.txt turned up as sub/readme.txt"), std::string::npos) << trouble;
    EXPECT_NE(trouble.find("VBoyHave.txt is neither the old one nor a complete new one"), std::string::npos)
        << trouble;
}

INSTANTIATE_TEST_SUITE_P(Modes, Faults, ::testing::Values("rename dirs", "list"),
                         [](const ::testing::TestParamInfo<std::string>& param) {
                             return param.param == "list" ? std::string("List") : std::string("RenameDirs");
                         });

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    strace = hard::FindOnPath("strace");
    if (strace.empty()) {
        printf("strace is missing: the injected-fault tests are skipped (Debian package strace)\n");
        return 77;
    }
    // Tracing may be forbidden where the tests run (a container without
    // ptrace): then there is nothing to inject with either.
    if (system((strace + " -f -qq -o /dev/null true >/dev/null 2>&1").c_str()) != 0) {
        printf("strace cannot trace processes here: the injected-fault tests are skipped\n");
        return 77;
    }
    int result = RUN_ALL_TESTS();
    int injected = 0, survived = 0;
    printf("\nBy mode and kind: calls after start-up, calls failed, faults injected, faults survived\n");
    for (const auto& [kind, counts] : tally) {
        printf("  %-44s %5d %5d %5d %5d\n", kind.c_str(), counts.calls, counts.failed, counts.injected,
               counts.survived);
        injected += counts.injected;
        survived += counts.survived;
    }
    printf("In all: %d faults injected, %d survived\n", injected, survived);
    return result;
}
