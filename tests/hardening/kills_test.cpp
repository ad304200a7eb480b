// kills_test.cpp - `rename dirs` killed with SIGKILL at random moments and resumed, many times over, with nothing lost
//
// The moments are of two sorts. Where strace is at hand, the entry of a
// random system call of a random kind: the Nth move, directory creation,
// open, read, write, flush to disk or list commit, with N drawn from the
// calls of that kind a run still has to make; strace delivers the SIGKILL
// there, so that the walk's moves are reached however fast they go. Every
// third kill once nothing is left to move, and every kill where strace is
// missing, comes at a random time after the start, up to the length of a
// run with nothing left to move: the start-up and the writing of the lists.
#include "hardening.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <random>

namespace {

constexpr int Images = 300;
constexpr int Kills = 30;
constexpr uint32_t Seed = 7;

std::vector<std::string> RenameDirs(const test::Scratch& s)
{
    return {hard::Program(s), "rename", "dirs"};
}

// Loose images and archives still waiting in the start directory.
int Waiting(const hard::Files& collection)
{
    int n = 0;
    for (const auto& [path, bytes] : collection)
        if (path.find('/') == std::string::npos && !hard::IsOutputName(path))
            n++;
    return n;
}

std::vector<int> HaveEntries(const hard::Files& collection)
{
    std::vector<int> entries;
    auto it = collection.find("VBoyHave.txt");
    if (it != collection.end())
        hard::ParseHaveList(it->second, &entries);
    return entries;
}

long MicrosSince(std::chrono::steady_clock::time_point t0)
{
    return (long)std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0).count();
}

// A kind of call to kill at, and whether its count shrinks with the files
// left to move (the walk's calls) or stays (the lists').
struct KillPoint {
    const char* syscall;
    bool perFile;
};

const KillPoint Points[] = {{"renameat2", true}, {"openat", true}, {"read", true}, {"mkdir", true},
                            {"renameat2", true}, {"write", false}, {"fsync", false}, {"rename", false}};

TEST(Kills, RenameDirsKilledAtRandomMomentsAndResumedLosesNothing)
{
    const std::string strace = hard::FindOnPath("strace");
    test::Scratch reference;
    const hard::Layout start = hard::MakeLargeCollection(reference, Images, Seed);
    const std::string tracePath = test::Join(reference.root, "trace.txt");

    // The uninterrupted run (traced, to count its calls of each kind), for
    // the layout every resumed sequence must reach; then a run with nothing
    // left to move.
    std::vector<std::string> whole = RenameDirs(reference);
    if (!strace.empty())
        whole.insert(whole.begin(), {strace, "-f", "-qq", "-o", tracePath});
    hard::Outcome first = hard::Run(reference, whole);
    ASSERT_EQ(first.status, 0) << first.err;
    ASSERT_EQ(hard::Trouble(start, reference), "");
    const hard::Files finished = hard::Read(reference.collection);
    const std::string wholeTrace = test::ReadFile(tracePath);
    if (!strace.empty())
        whole[4] = test::Join(reference.root, "idle-trace.txt");
    ASSERT_EQ(hard::Run(reference, whole).status, 0);
    std::chrono::steady_clock::time_point t0 = std::chrono::steady_clock::now();
    hard::Outcome idle = hard::Run(reference, RenameDirs(reference));
    long idleMicros = MicrosSince(t0);
    ASSERT_EQ(idle.status, 0);
    ASSERT_TRUE(hard::Arrangement(hard::Read(reference.collection)) == hard::Arrangement(finished));
    const std::string idleTrace = test::ReadFile(test::Join(reference.root, "idle-trace.txt"));

    test::Scratch killed;
    hard::Restore(killed, start);
    std::mt19937 random(Seed);
    const int initiallyWaiting = Waiting(start.collection);
    const int staying = Waiting(finished);
    int landed = 0, byTime = 0, byCall = 0;
    std::vector<int> waitingAfter;
    for (int k = 0; k < Kills; k++) {
        hard::Layout before = hard::Capture(killed);
        int waiting = Waiting(before.collection);
        int pid = -1;
        if (!strace.empty() && (k % 3 != 2 || waiting > staying)) {
            const KillPoint& point = Points[(size_t)byCall % (sizeof Points / sizeof Points[0])];
            int beforeMain = 0, total = 0, idleBefore = 0, idleTotal = 0;
            hard::CountCalls(wholeTrace, point.syscall, &beforeMain, &total);
            hard::CountCalls(idleTrace, point.syscall, &idleBefore, &idleTotal);
            int calls = idleTotal - idleBefore;
            if (point.perFile)
                calls += (total - beforeMain - calls) * (waiting - staying) / std::max(1, initiallyWaiting - staying);
            // Small N more often than large, so that the walk takes several kills.
            double u = std::uniform_real_distribution<double>(0.0, 1.0)(random);
            int n = beforeMain + 1 + (int)((std::max(1, calls) - 1) * u * u);
            std::vector<std::string> argv = {strace, "-f", "-qq", "-o", "/dev/null", "-e",
                                             std::string("trace=") + point.syscall, "-e",
                                             std::string("inject=") + point.syscall + ":signal=SIGKILL:when=" +
                                                 std::to_string(n)};
            std::vector<std::string> run = RenameDirs(killed);
            argv.insert(argv.end(), run.begin(), run.end());
            pid = hard::Start(killed, argv);
            ASSERT_GT(pid, 0);
            hard::Outcome o = hard::Reap(pid);
            byCall++;
            if (o.signal == SIGKILL || o.status == 128 + SIGKILL)
                landed++;
        } else {
            long moment = std::uniform_int_distribution<long>(0, idleMicros)(random);
            pid = hard::Start(killed, RenameDirs(killed));
            ASSERT_GT(pid, 0);
            hard::Pause(moment);
            byTime++;
            if (hard::KillAndReap(pid))
                landed++;
        }
        EXPECT_EQ(hard::Trouble(before, killed), "") << "after kill " << k + 1;
        waitingAfter.push_back(Waiting(hard::Read(killed.collection)));
    }
    EXPECT_EQ(hard::Trouble(start, killed), "");

    hard::Outcome resumed = hard::Run(killed, RenameDirs(killed));
    EXPECT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_EQ(hard::Trouble(start, killed), "");
    const hard::Files afterResume = hard::Read(killed.collection);
    EXPECT_TRUE(hard::Arrangement(afterResume) == hard::Arrangement(finished))
        << "the resumed runs did not arrange the collection as one whole run does";

    // Images moved by a killed run are in VBoyRen, which rename does not
    // walk, and no list recorded them: the resumed lists can only hold less.
    std::vector<int> wholeHave = HaveEntries(finished), resumedHave = HaveEntries(afterResume);
    EXPECT_TRUE(std::includes(wholeHave.begin(), wholeHave.end(), resumedHave.begin(), resumedHave.end()));
    // A listd over everything brings the lists and the database back to what
    // the whole run gives.
    hard::Outcome relist = hard::Run(killed, {hard::Program(killed), "listd"});
    hard::Outcome wholeRelist = hard::Run(reference, {hard::Program(reference), "listd"});
    EXPECT_EQ(relist.status, 0);
    EXPECT_EQ(wholeRelist.status, 0);
    for (const char* list : {"VBoyHave.txt", "VBoyMiss.txt"})
        EXPECT_EQ(test::ReadFile(test::Join(killed.collection, list)), test::ReadFile(test::Join(reference.collection, list)))
            << list;
    EXPECT_EQ(test::ReadFile(test::Join(killed.program, "QuorVBoy.db")),
              test::ReadFile(test::Join(reference.program, "QuorVBoy.db")));

    printf("%d images; %d kills (%d at a random call, %d at a random time), %d of them before their run ended%s.\n"
           "Files waiting in the start directory after each kill (of %d, %d of which stay):",
           Images, Kills, byCall, byTime, landed, strace.empty() ? " (no strace: by time only)" : "",
           initiallyWaiting, staying);
    for (int w : waitingAfter)
        printf(" %d", w);
    printf("\nThe resumed have list names %zu entries, the whole run's %zu; after listd both name %zu.\n",
           resumedHave.size(), wholeHave.size(), HaveEntries(hard::Read(killed.collection)).size());
}

}  // namespace
