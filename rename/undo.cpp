// undo.cpp - taking back the last rename or move run, and finishing a move a killed run left half done
#include "platform/platform.h"
#include "rename/journal.h"
#include "rename/rename.h"
#include "run/options.h"

#include <algorithm>

// 1 when the regular file at path has the size and time journaled, 0 when
// it has not or nothing is there, -1 when the system cannot tell.
static int StampIs(const std::string& path, const JournalMove& move)
{
    uint64_t size = 0;
    int64_t modified = 0;
    int found = PlatformFileStamp(path, &size, &modified);
    return found <= 0 ? found : (size == move.size && modified == move.modified ? 1 : 0);
}

static bool RegularFileAt(const std::string& path)
{
    uint64_t size = 0;
    int64_t modified = 0;
    return PlatformFileStamp(path, &size, &modified) != 0;
}

// True when the run made the move: its outcome says so, or a kill cut the
// outcome off after the file reached its target.
static bool Made(const JournalMove& move)
{
    if (!move.outcome.empty())
        return move.outcome == "moved";
    return StampIs(move.target, move) == 1 && !RegularFileAt(move.oldName);
}

void RecoverInterruptedMoves()
{
    std::vector<JournalRun> runs;
    if (ReadJournal(&runs) <= 0)
        return;
    const JournalRun* last = nullptr;
    for (const JournalRun& run : runs)
        if (run.start == StartDirectory)
            last = &run;
    // Only when no other run is at work here: its move between link and
    // unlink is no interrupted one.
    if (last == nullptr || !OpenJournal())
        return;
    if (PlatformLockStream(UndoJournal.stream, 1, 0)) {
        for (const auto& [number, move] : last->moves) {
            if (!move.outcome.empty() || !PlatformSameFile(move.oldName, move.target))
                continue;
            if (PlatformRemoveFile(move.oldName) == 0)
                AppendJournal("moved " + last->id + " " + std::to_string(number));
        }
    }
    PlatformLockStream(UndoJournal.stream, 0, 1);
}

// Puts one file of the run back, or says why not. Returns 1 when it is back
// at its old name, 0 when it stays for good (moved away or replaced since,
// its old name taken), -1 when it stays for now (the next undo tries again).
static int MoveBack(const JournalRun& run, long number, const JournalMove& move)
{
    const std::string back = "back " + run.id + " " + std::to_string(number);
    int atTarget = StampIs(move.target, move);
    int result = -1;
    const char* reason = "it cannot be moved back";
    if (atTarget == 1) {
        // A move back that a kill cut between its link and its unlink has
        // only its second half to go.
        uint32_t error = PlatformSameFile(move.target, move.oldName) ? PlatformRemoveFile(move.target)
                                                                     : PlatformMoveFile(move.target, move.oldName);
        if (error == 0) {
            if (!OptQuiet)
                printf("Moved %s back to %s\n", move.target.c_str(), move.oldName.c_str());
            AppendJournal(back);
            return 1;
        }
        if (error == ErrorAlreadyExists) {
            result = 0;
            reason = "its old name is taken";
        }
    } else if (atTarget == 0) {
        int atOld = StampIs(move.oldName, move);
        // An undo killed before its line may have put it back already.
        if (atOld == 1 && !RegularFileAt(move.target)) {
            AppendJournal(back);
            return 1;
        }
        if (atOld >= 0) {
            result = 0;
            reason = RegularFileAt(move.target) ? "another file is there now" : "it is no longer there";
        }
    }
    fflush(stdout);
    fprintf(stderr, "Cannot undo %s: %s\n", move.target.c_str(), reason);
    return result;
}

// The number of levels in a path.
static size_t Depth(const std::string& path)
{
    return (size_t)std::count_if(path.begin(), path.end(), [](char c) { return c == '/' || c == '\\'; });
}

void RunUndo()
{
    RecoverInterruptedMoves();
    std::vector<JournalRun> runs;
    if (ReadJournal(&runs) < 0)
        return;
    const JournalRun* chosen = nullptr;
    for (auto run = runs.rbegin(); run != runs.rend() && chosen == nullptr; ++run) {
        if (run->start != StartDirectory || run->undone)
            continue;
        for (const auto& entry : run->moves)
            if (!entry.second.back && Made(entry.second))
                chosen = &*run;
    }
    if (chosen == nullptr) {
        printf("Nothing to undo\n");
        return;
    }
    int made = 0;
    int back = 0;
    bool retry = false;
    for (auto entry = chosen->moves.rbegin(); entry != chosen->moves.rend(); ++entry) {
        const JournalMove& move = entry->second;
        if (!move.back && !Made(move))
            continue;
        made++;
        int result = move.back ? 1 : MoveBack(*chosen, entry->first, move);
        back += result == 1;
        retry = retry || result < 0;
    }
    // The folders it made, deepest first; one that holds anything stays.
    std::vector<std::string> dirs = chosen->dirs;
    std::stable_sort(dirs.begin(), dirs.end(),
                     [](const std::string& a, const std::string& b) { return Depth(a) > Depth(b); });
    for (const std::string& dir : dirs)
        PlatformRemoveDirectory(dir);
    // A run that left a file behind for a passing reason stays to be undone.
    if (!retry)
        AppendJournal("undone " + chosen->id + " " + LocalDateTime());
    printf("Undid %d of %d moves of the run of %s\n", back, made, chosen->when.c_str());
}
