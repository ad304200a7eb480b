// rename.h - moving known images under their catalogue names, the changes log, and the group folders
#pragma once

#include "run/imagebuffer.h"
#include "run/outputfile.h"

#include <cstdint>
#include <cstdio>
#include <string>

constexpr const char* OutputDirName = "VBoyRen";
constexpr const char* DupesDirName = "VBoyDupes";
constexpr size_t ShortNameLimit = 60;
constexpr size_t ShortNameHead = 21;
constexpr size_t ShortNameTail = 36;

// Set on the first known image of a run, when "VBoyRen" is prepared.
extern int32_t OutputDirPrepared;

// The changes log "VBoyLog.txt", opened when its first line is due.
extern AppendFile ChangesLog;

// Clears OutputDirPrepared and forgets NextTempName's result (tests).
void ResetRename();

// Puts an image identified as a catalogue entry (a loose file, or the whole
// archive it came from) under the entry's name by mode, logs it and counts
// it. An image of no entry is left untouched.
void RenameImage(const ImageInHand& image);

// Removes every space (OptNoSep) or replaces it by SepChar, in place;
// returns text.
std::string& ApplySeparator(std::string& text);

// The name a renamed image gets from its canonical name: shortened to 60
// characters under OptShortNames, then with the separator rule under OptSep.
std::string NewImageName(const char* canonical);

// The next numbered alternative of path (its last two characters stepped as
// a counter), or nullptr after printing "Out of temp filenames!". Passing
// the previous result continues the sequence.
const char* NextTempName(const char* path);

// The extension of a name: from its last "." to the end, unless that dot is
// its first character; empty when it has none.
std::string NameExtension(const std::string& name);

// The name without its extension.
std::string NameWithoutExtension(const std::string& name);

// Logs one rename or move on the console and in "VBoyLog.txt", as the
// changes options ask.
void LogChange(const char* oldName, const char* canonicalName);

// Closes the changes log if it is open.
void CloseChangesLog();

// Creates "VBoyRen" and every group folder, with their "Creating" lines.
// Returns true on success.
bool CreateGroupDirs();

// A move refused because the journal could not take its line.
constexpr uint32_t ErrorNotJournaled = 0xFFFFFFFEu;
// A move not tried because the file's size and time could not be read.
constexpr uint32_t ErrorCannotStamp = 0xFFFFFFFDu;

// The journal of moves "VBoyUndo.txt", opened at the first move or folder
// created.
extern AppendFile UndoJournal;

// Moves oldName to target as PlatformMoveFile does, with a journal line
// before (the file's name, target, size and time) and one after (how it
// ended). A move whose line the journal cannot take is not made: the result
// is then ErrorNotJournaled.
uint32_t JournaledMove(const char* oldName, const std::string& target);

// Writes down that this run created the folder dir.
void JournalDirectory(const std::string& dir);

// Puts the journal on the medium and closes it.
void CloseJournal();

// Forgets this run's journal state (tests).
void ResetJournal();

// Opens the journal when there is one and, only while no other run holds
// it, settles what a kill left of this collection's journaled moves: a move
// cut between its link and its unlink is finished when both names are one
// file of the size and time journaled, a copy is finished when whole and
// rolled back when not. It then holds the journal shared for the run.
void RecoverInterruptedMoves();

// Takes back the newest journaled run of this collection that is not undone
// yet and moved something: each file back to its old name, newest first, and
// the folders it created in VBoyRen or VBoyDupes, when empty; or says there
// is nothing to undo. The journal is held alone all along: while another run
// holds it, nothing is done.
void RunUndo();

// Creates one output folder (dir relative to the current directory); a real
// folder already there is no failure. Anything else there, a link among
// them, fails with "Error creating dir: '%s'". Returns true on success.
bool CreateOutputDir(const std::string& dir);
