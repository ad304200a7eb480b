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

// Reads back the move's line; false when it cannot be.
static bool Load(const JournalMoveRef& ref, JournalMove* move)
{
    return LoadJournalMove(UndoJournal.stream, ref, move);
}

// True when the run made the move: its outcome says so, or a kill cut the
// outcome off after the file reached its target.
static bool Made(const JournalMoveRef& ref)
{
    JournalMove move;
    if (ref.outcome != 0)
        return true;
    return Load(ref, &move) && StampIs(move.target, move) == 1 && !RegularFileAt(move.oldName);
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
    for (JournalMoveRef& ref : run->moves) {
        long number = ref.number;
        JournalMove move;
        bool cut = ref.copy == 0 && ref.outcome == 0 && run->newest;
        if ((ref.copy == 0 && !cut) || !Load(ref, &move))
            continue;
        if (ref.copy == 'c' && StampIs(move.oldName, move) == 1 &&
            (!RegularFileAt(move.target) || PlatformRemoveCopy(move.target, move.oldName, 0) == 0)) {
            AppendJournal(Line("uncopied", *run, number));
            if (AppendJournal(Line("failed", *run, number)))
                ref.number = -1;
        } else if (ref.copy == 'C' && StampIs(move.target, move) == 1 &&
                   (!RegularFileAt(move.oldName) || PlatformRemoveCopy(move.oldName, move.target, 1) == 0)) {
            ref.outcome = 'm';
            ref.copy = 0;
            AppendJournal(Line("moved", *run, number));
        } else if (ref.copy == 'b' && StampIs(move.target, move) == 1 &&
                   (!RegularFileAt(move.oldName) || PlatformRemoveCopy(move.oldName, move.target, 0) == 0)) {
            ref.copy = 0;
            AppendJournal(Line("uncopied", *run, number));
        } else if (ref.copy == 'B' && StampIs(move.oldName, move) == 1 &&
                   (!RegularFileAt(move.target) || PlatformRemoveCopy(move.target, move.oldName, 1) == 0)) {
            run->backs++;
            if (AppendJournal(Line("back", *run, number)))
                ref.number = -1;
        } else if (cut && PlatformRemoveSameFile(move.oldName, move.target, move.size, move.modified) == 0) {
            ref.outcome = 'm';
            AppendJournal(Line("moved", *run, number));
        }
    }
    run->moves.erase(std::remove_if(run->moves.begin(), run->moves.end(),
                                    [](const JournalMoveRef& ref) { return ref.number < 0; }),
                     run->moves.end());
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
        for (const JournalMoveRef& ref : run->moves)
            if (chosen == nullptr && Made(ref))
                chosen = &*run;
    if (chosen == nullptr) {
        printf("Nothing to undo\n");
        return;
    }
    int made = (int)chosen->backs;
    int back = made;
    bool retry = false;
    for (auto ref = chosen->moves.rbegin(); ref != chosen->moves.rend(); ++ref) {
        JournalMove move;
        if (!Made(*ref))
            continue;
        made++;
        // A line that cannot be read back now leaves the run to be undone again.
        int result = Load(*ref, &move) ? MoveBack(*chosen, ref->number, move) : -1;
        back += result == 1;
        retry = retry || result < 0;
    }
    // The folders it made, deepest first; one that holds anything stays.
    std::vector<std::string> dirs(chosen->dirs.size());
    for (size_t i = 0; i < dirs.size(); i++)
        LoadJournalDir(UndoJournal.stream, chosen->dirs[i], &dirs[i]);
    std::stable_sort(dirs.begin(), dirs.end(),
                     [](const std::string& a, const std::string& b) { return Depth(a) > Depth(b); });
    for (const std::string& dir : dirs)
        if (!dir.empty())
            PlatformRemoveDirectory(dir);
    // A run that left a file behind for a passing reason stays to be undone.
    if (!retry)
        AppendJournal("undone " + chosen->id + " " + LocalDateTime());
    printf("Undid %d of %d moves of the run of %s\n", back, made, chosen->when.c_str());
}
