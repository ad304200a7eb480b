// faults_test.cpp - system calls made to fail under `rename dirs` and `list`, one call at a time, with nothing lost and no list half-written
//
// strace fails the Nth call of one kind (counted from the program's first
// call after start-up, N up to the last call of that kind in the scenario),
// with an error a real system gives. After every run the program must have
// ended with status 0 and hard::Trouble must find nothing wrong.
#include "hardening.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

namespace {

// One kind of call to fail, the errors it fails with in turn, and whether
// the no-replace move is refused on every call of the run, so that moves
// take the link-and-unlink road (the kind's run without a fault is then
// the run with that move refused throughout).
struct Kind {
    std::string syscall;
    std::vector<std::string> errors;
    bool refuseNoReplace;
};

const Kind Kinds[] = {
    {"openat", {"EACCES", "ENOSPC", "EIO"}, false},           {"read", {"EIO"}, false},
    {"write", {"ENOSPC", "EIO"}, false},                      {"close", {"EIO"}, false},
    {"fsync", {"EIO", "ENOSPC"}, false},                      {"mkdir", {"ENOSPC", "EACCES", "EIO"}, false},
    {"renameat2", {"EXDEV", "EACCES", "EIO", "ENOSPC"}, false}, {"rename", {"EIO", "ENOSPC", "EACCES", "EXDEV"}, false},
    {"link", {"EXDEV", "ENOSPC", "EIO", "EACCES"}, true},     {"unlink", {"EIO", "EACCES"}, true},
    {"unlink", {"EIO", "EACCES"}, false},                     {"chdir", {"EACCES", "EIO"}, false},
    {"getdents64", {"EIO"}, false},
};

// Calls after start-up, calls failed and faults injected, by mode and kind.
std::map<std::string, std::vector<int>> tally;

// Every one of the first 40 calls; past them, about 12 more spread evenly up to the last.
std::vector<int> CallsToFail(int first, int last)
{
    std::set<int> calls;
    for (int n = first; n <= last && n < first + 40; n++)
        calls.insert(n);
    for (int n = first + 40; n <= last; n += (last - first - 39) / 12 + 1)
        calls.insert(n);
    if (last >= first)
        calls.insert(last);
    return std::vector<int>(calls.begin(), calls.end());
}

TEST(Faults, EveryCallOfEveryKindFailsWithoutLoss)
{
    test::Scratch s;
    const hard::Layout layout = hard::MakeScenario(s);
    const std::string tracePath = test::Join(s.root, "trace.txt");
    for (const std::vector<std::string>& mode : {std::vector<std::string>{"rename", "dirs"}, {"list"}})
        for (const Kind& kind : Kinds) {
            const bool refuse = kind.refuseNoReplace;
            const std::string title = (mode.size() > 1 ? "rename dirs: " : "list: ") + kind.syscall +
                                      (refuse ? " (no-replace refused)" : "");
            // A call is failed only when strace traces it.
            std::vector<std::string> options = {"-e", "trace=" + kind.syscall + (refuse ? ",renameat2" : "")};
            if (refuse)
                options.insert(options.end(), {"-e", "inject=renameat2:error=EINVAL"});
            hard::Restore(s, layout);
            std::vector<std::string> counting = options;
            counting[1] += ",write";  // for the banner
            test::RunResult plain = test::RunQuor(s, mode, "", "", hard::Strace(tracePath, counting));
            ASSERT_EQ(plain.status, 0) << title << ": the run without a fault failed\n" << plain.err;
            ASSERT_EQ(hard::Trouble(layout, s), "") << title << ": the run without a fault";
            int before = 0, total = 0;
            hard::CountCalls(test::ReadFile(tracePath), kind.syscall, &before, &total);

            std::vector<int> calls = CallsToFail(before + 1, total);
            tally[title] = {total - before, (int)calls.size(), (int)(calls.size() * kind.errors.size())};
            for (int n : calls)
                for (const std::string& error : kind.errors) {
                    hard::Restore(s, layout);
                    std::vector<std::string> inject = options;
                    inject.insert(inject.end(), {"-e", "inject=" + kind.syscall + ":error=" + error + ":when=" +
                                                           std::to_string(n)});
                    test::RunResult r = test::RunQuor(s, mode, "", "", hard::Strace("/dev/null", inject));
                    SCOPED_TRACE(title + " call " + std::to_string(n - before) + " of " +
                                 std::to_string(total - before) + " failed with " + error);
                    EXPECT_EQ(r.status, 0) << r.err;
                    EXPECT_EQ(hard::Trouble(layout, s), "");
                }
        }
}

// The check itself: a lost image, an extra copy, a file gone astray, a have
// list cut short and a database ahead of its have list are all seen.
TEST(Faults, TheCheckSeesEveryKindOfDamage)
{
    test::Scratch s;
    const hard::Layout layout = hard::MakeScenario(s);
    ASSERT_EQ(test::RunQuor(s, {"list"}).status, 0);
    ASSERT_EQ(hard::Trouble(layout, s), "");
    const std::string c = s.collection, have = test::ReadFile(test::Join(c, "VBoyHave.txt"));
    test::WriteFile(test::Join(c, "VBoyHave.txt"), have.substr(0, have.size() - 3));
    std::filesystem::remove(test::Join(c, "golf.VB"));
    test::WriteFile(test::Join(c, "VBoyDupes/x.vb"), test::ReadFile(test::Join(c, "pong.vb")));
    std::filesystem::rename(test::Join(c, "readme.txt"), test::Join(c, "sub/readme.txt"));
    test::WriteFile(test::Join(s.program, "QuorVBoy.db"), test::HaveDatabase({test::CatalogueCrcOf("Golf (U)")}));
    const std::string trouble = hard::Trouble(layout, s);
    for (const char* seen : {"lost 1 copy of golf.VB", "1 copy too many of pong.vb",
                             "readme.txt turned up as sub/readme.txt",
                             "VBoyHave.txt in the start directory is neither the old one nor a complete new one",
                             "a new database names what no have list names"})
        EXPECT_NE(trouble.find(seen), std::string::npos) << seen << " in:\n" << trouble;
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    const std::string missing = hard::StraceMissing();
    if (!missing.empty()) {
        printf("%s: the injected-fault tests are skipped\n", missing.c_str());
        return 77;
    }
    int result = RUN_ALL_TESTS(), injected = 0;
    printf("\nBy mode and kind: calls after start-up, calls failed, faults injected\n");
    for (const auto& [kind, counts] : tally) {
        printf("  %-44s %5d %5d %5d\n", kind.c_str(), counts[0], counts[1], counts[2]);
        injected += counts[2];
    }
    printf("In all: %d faults injected%s\n", injected, result == 0 ? ", every one survived" : "");
    return result;
}
