// undo.cpp - taking back the last rename or move run, and finishing a move a killed run left half done
#include "platform/platform.h"
#include "rename/journal.h"
#include "rename/rename.h"
#include "run/options.h"
#include "run/outputfile.h"

#include <algorithm>
#include <iterator>

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
        return true;
    return StampIs(move.target, move) == 1 && !RegularFileAt(move.oldName);
}

// A line about move number of run.
static std::string Line(const char* kind, const JournalRun& run, long number)
{
    return std::string(kind) + " " + run.id + " " + std::to_string(number);
}

// Finishes or rolls back what a kill left of the run's moves: a copy cut off
// is removed when it is a copy of a file still there, a whole one takes the
// place of the old name; a move of the newest run cut between its link and
// its unlink is finished when both names are one file of the size and time
// journaled.
static void SettleMoves(JournalRun* run)
{
    for (auto entry = run->moves.begin(); entry != run->moves.end();) {
        long number = entry->first;
        JournalMove& move = entry->second;
        bool gone = false;
        if (move.copy == 'c' && StampIs(move.oldName, move) == 1 &&
            (!RegularFileAt(move.target) || PlatformRemoveCopy(move.target, move.oldName, 0) == 0)) {
            AppendJournal(Line("uncopied", *run, number));
            gone = AppendJournal(Line("failed", *run, number));
        } else if (move.copy == 'C' && StampIs(move.target, move) == 1 &&
                   (!RegularFileAt(move.oldName) || PlatformRemoveCopy(move.oldName, move.target, 1) == 0)) {
            move.outcome = "moved";
            move.copy = 0;
            AppendJournal(Line("moved", *run, number));
        } else if (move.copy == 'b' && StampIs(move.target, move) == 1 &&
                   (!RegularFileAt(move.oldName) || PlatformRemoveCopy(move.oldName, move.target, 0) == 0)) {
            move.copy = 0;
            AppendJournal(Line("uncopied", *run, number));
        } else if (move.copy == 'B' && StampIs(move.oldName, move) == 1 &&
                   (!RegularFileAt(move.target) || PlatformRemoveCopy(move.target, move.oldName, 1) == 0)) {
            run->backs++;
            gone = AppendJournal(Line("back", *run, number));
        } else if (run->newest && move.copy == 0 && move.outcome.empty() &&
                   PlatformRemoveSameFile(move.oldName, move.target, move.size, move.modified) == 0) {
            move.outcome = "moved";
            AppendJournal(Line("moved", *run, number));
        }
        entry = gone ? run->moves.erase(entry) : std::next(entry);
    }
}

// True when a journal is anywhere the program would look for it.
static bool JournalThere()
{
    uint64_t size = 0;
    int64_t modified = 0;
    for (const std::string& path : OutputFilePlaces(UndoJournalName))
        if (PlatformFileStamp(path, &size, &modified) == 1)
            return true;
    return false;
}

void RecoverInterruptedMoves()
{
    if (!JournalThere() || !OpenJournal(true))
        return;
    // Only when no other run is at work here: its move between link and
    // unlink, or its copy, is no interrupted one.
    std::vector<JournalRun> runs;
    if (PlatformLockStream(UndoJournal.stream, 1, 0) &&
        ReadJournal(UndoJournal.stream, UndoJournal.path, StartDirectory, &runs) > 0)
        for (JournalRun& run : runs)
            SettleMoves(&run);
    PlatformLockStream(UndoJournal.stream, 0, 1);
}

// Puts one file of the run back, or says why not. Returns 1 when it is back
// at its old name, 0 when it stays for good (moved away or replaced since,
// its old name taken), -1 when it stays for now (the next undo tries again).
static int MoveBack(const JournalRun& run, long number, const JournalMove& move)
{
    const std::string back = Line("back", run, number);
    int atTarget = StampIs(move.target, move);
    int result = -1;
    const char* reason = "it cannot be moved back";
    if (atTarget == 1) {
        uint32_t error = PlatformMoveFile(move.target, move.oldName);
        // A move back that a kill cut between its link and its unlink has
        // only its second half to go.
        if (error == ErrorAlreadyExists &&
            PlatformRemoveSameFile(move.target, move.oldName, move.size, move.modified) == 0)
            error = 0;
        if (error == ErrorNoLinks)
            error = JournaledCopy(run.id, number, move.target, move.oldName, true);
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
    if (!JournalThere()) {
        printf("Nothing to undo\n");
        return;
    }
    if (!OpenJournal(false)) {
        fprintf(stderr, "Cannot write %s\n", OutputFilePlaces(UndoJournalName)[0].c_str());
        return;
    }
    // The journal held alone for the whole undo, or nothing is done.
    if (!PlatformLockStream(UndoJournal.stream, 1, 0)) {
        fflush(stdout);
        fprintf(stderr, "Another run is using %s; nothing was undone\n", UndoJournal.path.c_str());
        return;
    }
    std::vector<JournalRun> runs;
    if (ReadJournal(UndoJournal.stream, UndoJournal.path, StartDirectory, &runs) < 0)
        return;
    for (JournalRun& run : runs)
        SettleMoves(&run);
    const JournalRun* chosen = nullptr;
    for (auto run = runs.rbegin(); run != runs.rend() && chosen == nullptr; ++run)
        for (const auto& entry : run->moves)
            if (Made(entry.second))
                chosen = &*run;
    if (chosen == nullptr) {
        printf("Nothing to undo\n");
        return;
    }
    int made = (int)chosen->backs;
    int back = made;
    bool retry = false;
    for (auto entry = chosen->moves.rbegin(); entry != chosen->moves.rend(); ++entry) {
        const JournalMove& move = entry->second;
        if (!Made(move))
            continue;
        made++;
        int result = MoveBack(*chosen, entry->first, move);
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
