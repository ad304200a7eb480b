// kills_test.cpp - `rename dirs` killed with SIGKILL at random moments and resumed, many times over, with nothing lost
//
// The moments are of two sorts. Where strace can trace, the entry of a
// random system call of a random kind: the Nth move, directory creation,
// open, read, write, flush to disk or list commit, with N drawn from the
// calls of that kind a run still has to make; strace delivers the SIGKILL
// there, so that the walk's moves are reached however fast they go. Every
// third kill once nothing is left to move, and every kill without strace,
// comes from timeout at a random time after the start, up to the length of
// a run with nothing left to move: the start-up and the writing of the lists.
#include "hardening.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>

namespace {

constexpr int Images = 300, Kills = 30;
constexpr uint32_t Seed = 7;
const std::vector<std::string> RenameDirs = {"rename", "dirs"};

// Loose images and archives still waiting in the start directory.
int Waiting(const test::Scratch& s)
{
    int n = 0;
    for (const auto& file : hard::Arrangement(hard::Capture(s).collection))
        n += file.first.find('/') == std::string::npos;
    return n;
}

std::vector<int> HaveEntries(const test::Scratch& s)
{
    std::vector<int> entries;
    hard::Entries("VBoyHave.txt", test::ReadFile(test::Join(s.collection, "VBoyHave.txt")), &entries);
    return entries;
}

// The kinds of call to kill at, and whether their count shrinks with the
// files left to move (the walk's calls) or stays (the lists').
const std::pair<const char*, bool> Points[] = {{"renameat2", true}, {"openat", true}, {"read", true},
                                               {"mkdir", true},     {"renameat2", true}, {"write", false},
                                               {"fsync", false},    {"rename", false}};

TEST(Kills, RenameDirsKilledAtRandomMomentsAndResumedLosesNothing)
{
    const bool strace = hard::StraceMissing().empty();
    test::Scratch reference, killed;
    const hard::Layout start = hard::MakeLargeCollection(reference, Images, Seed);
    const std::string wholePath = test::Join(reference.root, "whole.txt");
    const std::string idlePath = test::Join(reference.root, "idle.txt");
    auto traced = [&](const std::string& path) { return strace ? hard::Strace(path) : std::vector<std::string>(); };

    // The uninterrupted run, for the layout every resumed sequence must
    // reach, then one with nothing left to move; traced, to count their
    // calls of each kind, and timed untraced.
    test::RunResult whole = test::RunQuor(reference, RenameDirs, "", "", traced(wholePath));
    ASSERT_EQ(whole.status, 0) << whole.err;
    ASSERT_EQ(hard::Trouble(start, reference), "");
    const hard::Files finished = hard::Arrangement(hard::Capture(reference).collection);
    ASSERT_EQ(test::RunQuor(reference, RenameDirs, "", "", traced(idlePath)).status, 0);
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(test::RunQuor(reference, RenameDirs).status, 0);
    const double idle = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ASSERT_TRUE(hard::Arrangement(hard::Capture(reference).collection) == finished);
    const std::string wholeTrace = test::ReadFile(wholePath), idleTrace = test::ReadFile(idlePath);

    hard::Restore(killed, start);
    std::mt19937 random(Seed);
    const int initiallyWaiting = Waiting(killed), staying = Waiting(reference);
    int landed = 0, byCall = 0;
    std::string waitingAfter;
    for (int k = 0; k < Kills; k++) {
        const hard::Layout before = hard::Capture(killed);
        const int waiting = Waiting(killed);
        double u = std::uniform_real_distribution<double>(0.0, 1.0)(random);
        std::vector<std::string> prefix;
        if (strace && (k % 3 != 2 || waiting > staying)) {
            const auto& [syscall, perFile] = Points[(size_t)byCall++ % (sizeof Points / sizeof Points[0])];
            int beforeMain = 0, total = 0, idleBefore = 0, idleTotal = 0;
            hard::CountCalls(wholeTrace, syscall, &beforeMain, &total);
            hard::CountCalls(idleTrace, syscall, &idleBefore, &idleTotal);
            int calls = idleTotal - idleBefore;
            if (perFile)
                calls += (total - beforeMain - calls) * (waiting - staying) / std::max(1, initiallyWaiting - staying);
            // Small N more often than large, so that the walk takes several kills.
            int n = beforeMain + 1 + (int)((std::max(1, calls) - 1) * u * u);
            const std::string kill = std::string(syscall) + ":signal=SIGKILL:when=" + std::to_string(n);
            prefix = hard::Strace("/dev/null", {"-e", std::string("trace=") + syscall, "-e", "inject=" + kill});
        } else {
            prefix = {"/usr/bin/timeout", "-s", "KILL", std::to_string(std::max(1e-6, u * idle)) + "s"};
        }
        landed += test::RunQuor(killed, RenameDirs, "", "", prefix).status != 0;
        EXPECT_EQ(hard::Trouble(before, killed), "") << "after kill " << k + 1;
        waitingAfter += " " + std::to_string(Waiting(killed));
    }
    EXPECT_EQ(hard::Trouble(start, killed), "");

    test::RunResult resumed = test::RunQuor(killed, RenameDirs);
    EXPECT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_EQ(hard::Trouble(start, killed), "");
    EXPECT_TRUE(hard::Arrangement(hard::Capture(killed).collection) == finished)
        << "the resumed runs did not arrange the collection as one whole run does";

    // Images moved by a killed run are in VBoyRen, which rename does not
    // walk, and no list recorded them: the resumed lists can only hold less.
    std::vector<int> wholeHave = HaveEntries(reference), resumedHave = HaveEntries(killed);
    EXPECT_TRUE(std::includes(wholeHave.begin(), wholeHave.end(), resumedHave.begin(), resumedHave.end()));
    // A listd over everything brings the lists and the database back to what
    // the whole run gives.
    EXPECT_EQ(test::RunQuor(killed, {"listd"}).status, 0);
    EXPECT_EQ(test::RunQuor(reference, {"listd"}).status, 0);
    for (const char* file : {"collection/VBoyHave.txt", "collection/VBoyMiss.txt", "program/QuorVBoy.db"})
        EXPECT_EQ(test::ReadFile(test::Join(killed.root, file)), test::ReadFile(test::Join(reference.root, file)))
            << file;

    printf("%d images; %d kills (%d at a random call, %d at a random time), %d of them before their run ended.\n"
           "Files waiting in the start directory after each kill (of %d, %d of which stay):%s\n"
           "The resumed have list names %zu entries, the whole run's %zu; after listd both name %zu.\n",
           Images, Kills, byCall, Kills - byCall, landed, initiallyWaiting, staying, waitingAfter.c_str(),
           resumedHave.size(), wholeHave.size(), HaveEntries(killed).size());
}

}  // namespace
