// journal.h - the journal of moves "VBoyUndo.txt": each move written down before it is made, and read back
//
// One line a record, fields apart by one space, every name in double quotes
// with "\\", "\"", "\t", "\n", "\r" and "\xHH" (other control bytes) escaped:
//
//   run ID YYYY-MM-DD HH:MM:SS "start folder" "word"...   a rename or move run begins
//   dir ID "VBoyRen/Japan"                                that run created this folder
//   move ID N "old name" "target" SIZE MODIFIED           move N is about to be tried
//   moved ID N | taken ID N | failed ID N                 how move N ended
//   back ID N                                             undo put move N's file back
//   undone ID YYYY-MM-DD HH:MM:SS                         undo took the run back
//
// ID tells apart runs whose lines mix in one journal; targets are relative to
// the start folder; SIZE and MODIFIED identify the file moved.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A move of a journaled run, as far as the journal tells it.
struct JournalMove {
    std::string oldName;
    std::string target;
    uint64_t size = 0;
    int64_t modified = 0;
    std::string outcome;  // "moved", "taken", "failed", or empty when cut off
    bool back = false;
};

// A rename or move run read back from the journal.
struct JournalRun {
    std::string id;
    std::string when;  // YYYY-MM-DD HH:MM:SS
    std::string start;
    std::map<long, JournalMove> moves;
    std::vector<std::string> dirs;
    bool undone = false;
};

// Reads every run of the journal, oldest first; lines that are not whole
// records are passed over. Returns 1; 0 when there is no journal; -1 after
// "Cannot read %s" when it could not be read to its end.
int ReadJournal(std::vector<JournalRun>* runs);

// Opens the journal for appending if it is not open yet, holding a shared
// lock on it for the rest of the run: while any run holds one, no other run
// takes that run's moves for interrupted ones. Returns false when it cannot
// be opened.
bool OpenJournal();

// Appends one line to the journal, opening it if need be, and hands it to
// the system at once. Returns false (and from then on refuses every line)
// when the journal cannot be opened or the line did not arrive.
bool AppendJournal(const std::string& line);

// A name in double quotes with its special characters escaped.
std::string QuoteName(const std::string& name);

// The local date and time as YYYY-MM-DD HH:MM:SS.
std::string LocalDateTime();

// True when a journaled path stays inside the collection: relative, no ".."
// level, no drive; with bare, a name without any folder.
bool SafeJournalPath(const std::string& path, bool bare);
