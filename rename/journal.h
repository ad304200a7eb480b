// journal.h - the journal of moves "VBoyUndo.txt": each move written down before it is made, and read back
//
// One line a record, fields apart by one space, every name in double quotes
// with "\\", "\"", "\t", "\n", "\r" and "\xHH" (other control bytes) escaped:
//
//   run ID YYYY-MM-DD HH:MM:SS +HHMM "start" "word"...  a rename or move run begins
//   dir ID "VBoyRen/Japan"                              that run created this folder
//   move ID N "old name" "target" SIZE MODIFIED         move N is about to be tried
//   copy ID N | copied ID N                             move N copies: the target is being made, it is whole
//   copyback ID N | copiedback ID N                     the same for undo's way back
//   uncopied ID N                                       a copy was rolled back: its partial target is gone
//   moved ID N | taken ID N | failed ID N               how move N ended
//   back ID N                                           undo put move N's file back
//   undone ID YYYY-MM-DD HH:MM:SS +HHMM                 undo took the run back
//
// ID tells apart runs whose lines mix in one journal; runs count in the order
// of their first lines (the date, the time and the offset from UTC are for
// people; older journals lack the offset). Targets are relative to the start
// folder; SIZE and MODIFIED identify the file moved. A line that is not a
// whole record (cut by a crash, a NUL byte) is passed over.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// A move of a journaled run, as its line tells it.
struct JournalMove {
    std::string oldName;
    std::string target;
    uint64_t size = 0;
    int64_t modified = 0;
};

// Where a move's line is in the journal, and how far it went.
struct JournalMoveRef {
    int64_t at = 0;    // the offset of its "move" line
    int32_t number = 0;
    char outcome = 0;  // 'm' moved, or 0 when a kill cut it off (taken and failed moves are dropped)
    char copy = 0;     // a copy under way: 'c' copy, 'C' copied, 'b' copyback, 'B' copiedback
};

// A rename or move run of this collection, not undone yet, read back from
// the journal: its moves still to be taken back, by number (those put back
// only counted), the offsets of the lines of the folders it created.
struct JournalRun {
    std::string id;
    std::string when;  // YYYY-MM-DD HH:MM:SS
    std::vector<JournalMoveRef> moves;
    long backs = 0;
    std::vector<int64_t> dirs;
    bool newest = false;  // no run of this folder began after it
};

// The most runs kept: older ones are left to the undos after these.
constexpr size_t KeptRuns = 1024;

// Reads the journal open as stream from its start, keeping only the newest
// runs of the start folder start that are not undone, in journal order,
// and leaves the stream at its end for appending. Memory stays within a few
// bytes a move, whatever the journal holds. Returns 1, or -1 after "Cannot
// read %s" (path) when it could not be read to its end.
int ReadJournal(FILE* stream, const std::string& path, const std::string& start, std::vector<JournalRun>* runs);

// Reads back the move line at ref.at (or, with dir, the folder of the "dir"
// line at at) of the journal open as stream. Returns false when it is no
// longer there as read.
bool LoadJournalMove(FILE* stream, const JournalMoveRef& ref, JournalMove* move);
bool LoadJournalDir(FILE* stream, int64_t at, std::string* dir);

// Opens the journal for reading and appending if it is not open yet (with
// create 0 only when it exists). Returns false when it cannot be opened.
bool OpenJournal(bool create);

// Appends one line to the journal, opening it if need be, and hands it to
// the system at once; before a run's first line, a line end when the
// journal does not end with one. Returns false (and from then on refuses
// every line) when the journal cannot be opened or the line did not arrive.
bool AppendJournal(const std::string& line);

// A name in double quotes with its special characters escaped.
std::string QuoteName(const std::string& name);

// The local date and time as YYYY-MM-DD HH:MM:SS +HHMM (the offset from UTC).
std::string LocalDateTime();

// True when a journaled path stays inside the collection: relative, no ".."
// level, no drive; with bare, a name without any folder.
bool SafeJournalPath(const std::string& path, bool bare);

// Copies from to to, for move number of run id (back: undo's way back),
// journaled step by step; the old name goes only once the copy is whole.
// Returns 0 or the error of the step that failed, after undoing what it did.
uint32_t JournaledCopy(const std::string& id, long number, const std::string& from, const std::string& to,
                       bool back);
