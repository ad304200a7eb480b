// undo.cpp - taking back the last rename or move run, and finishing a move a killed run left half done
#include "platform/platform.h"
#include "rename/journal.h"
#include "rename/rename.h"
#include "run/options.h"

#include <algorithm>

// True when the regular file at path has the size and time journaled.
static bool StampIs(const std::string& path, const JournalMove& move)
{
    uint64_t size = 0;
    int64_t modified = 0;
    return PlatformFileStamp(path, &size, &modified) && size == move.size && modified == move.modified;
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
    return StampIs(move.target, move) && !RegularFileAt(move.oldName);
}

void RecoverInterruptedMoves()
{
    std::vector<JournalRun> runs;
    if (!ReadJournal(&runs))
        return;
    const JournalRun* last = nullptr;
    for (const JournalRun& run : runs)
        if (run.start == StartDirectory)
            last = &run;
    if (last == nullptr)
        return;
    for (const auto& [number, move] : last->moves) {
        if (!move.outcome.empty() || !PlatformSameFile(move.oldName, move.target))
            continue;
        if (PlatformRemoveFile(move.oldName) == 0)
            AppendJournal("moved " + last->id + " " + std::to_string(number));
    }
}

// Puts one file of the run back, or says why not. Returns true when the
// file is back at its old name.
static bool MoveBack(const JournalRun& run, long number, const JournalMove& move)
{
    const char* reason = nullptr;
    if (!StampIs(move.target, move)) {
        // An undo killed before its line may have put it back already.
        if (!RegularFileAt(move.target) && StampIs(move.oldName, move)) {
            AppendJournal("back " + run.id + " " + std::to_string(number));
            return true;
        }
        reason = RegularFileAt(move.target) ? "another file is there now" : "it is no longer there";
    } else {
        uint32_t error = PlatformMoveFile(move.target, move.oldName);
        if (error == 0) {
            if (!OptQuiet)
                printf("Moved %s back to %s\n", move.target.c_str(), move.oldName.c_str());
            AppendJournal("back " + run.id + " " + std::to_string(number));
            return true;
        }
        reason = error == ErrorAlreadyExists || error == ErrorAccessDenied ? "its old name is taken"
                                                                          : "it cannot be moved back";
    }
    fflush(stdout);
    fprintf(stderr, "Cannot undo %s: %s\n", move.target.c_str(), reason);
    return false;
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
    ReadJournal(&runs);
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
    for (auto entry = chosen->moves.rbegin(); entry != chosen->moves.rend(); ++entry) {
        const JournalMove& move = entry->second;
        if (!move.back && !Made(move))
            continue;
        made++;
        if (move.back || MoveBack(*chosen, entry->first, move))
            back++;
    }
    // The folders it made, deepest first; one that holds anything stays.
    std::vector<std::string> dirs = chosen->dirs;
    std::stable_sort(dirs.begin(), dirs.end(),
                     [](const std::string& a, const std::string& b) { return Depth(a) > Depth(b); });
    for (const std::string& dir : dirs)
        PlatformRemoveDirectory(dir);
    AppendJournal("undone " + chosen->id + " " + LocalDateTime());
    printf("Undid %d of %d moves of the run of %s\n", back, made, chosen->when.c_str());
}
