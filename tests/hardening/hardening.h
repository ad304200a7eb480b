// hardening.h - what the fault, permission and kill tests share: their collections, the check that nothing was lost, and process control
#pragma once

#include "support.h"

#include <map>
#include <string>
#include <vector>

namespace hard {

// Files by path relative to their folder ("a/b.vb" -> bytes), in path order.
using Files = std::map<std::string, std::string>;

// A collection as it stands before a run: the files of the start directory
// (images, archives, other files and the lists of an earlier run) and the
// files of the program directory (QuorInfo.cfg, QuorVBoy.db), besides the
// program itself.
struct Layout {
    Files collection;
    Files program;
};

// The program's own files in the start directory: lists, logs, the
// database when it lands there, and the temporary files of their rewriting.
bool IsOutputName(const std::string& relative);

// Every regular file below root, as Files.
Files Read(const std::string& root);

// Empties the scratch's collection, program and home folders (keeping the
// program file) and lays layout out in them.
void Restore(const test::Scratch& scratch, const Layout& layout);

// The layout a scratch holds now.
Layout Capture(const test::Scratch& scratch);

// Everything wrong with the scratch after a run that began from before:
// an image or other file of the collection lost, duplicated, changed or
// moved anywhere but VBoyRen and VBoyDupes; a have list, missing list or
// database that is neither the old one nor a complete new one, wherever it
// was written (start directory, program directory, home); a database that
// got ahead of its have list. Empty when all is well.
std::string Trouble(const Layout& before, const test::Scratch& scratch);

// The files of a collection without the program's outputs (lists, logs,
// temporary files), for comparing how two runs left it.
Files Arrangement(const Files& collection);

// The catalogue entries a complete have list names, or false when text is
// not one.
bool ParseHaveList(const std::string& text, std::vector<int>* entries);

// The catalogue entries a complete database holds, or false.
bool ParseDatabase(const std::string& bytes, std::vector<int>* entries);

// Builds the collection every hardening test starts from, in scratch:
// loose images (one of them three times), archives (stored, deflated, one
// holding a second copy of a loose image, one holding two images, a damaged
// one), an unknown image, a file too short to be an image, a text file, a
// subfolder, the sample QuorInfo.cfg in the program folder, and the have
// list, missing list and database of an earlier `list` run that saw one of
// the images. Returns the layout it made.
Layout MakeScenario(const test::Scratch& scratch);

// A collection of count images for the kill test: every catalogue entry
// several times over, loose and zipped (stored and deflated), with unknown
// images among them, and the lists of an earlier run that saw a few.
Layout MakeLargeCollection(const test::Scratch& scratch, int count, uint32_t seed);

// The calls of syscall in a trace that strace -f -o wrote of one run: how
// many came before the program's banner (the loader's and the runtime's)
// and how many in all.
void CountCalls(const std::string& trace, const std::string& syscall, int* before, int* total);

// Process control ----------------------------------------------------------

struct Outcome {
    int status = -1;    // exit status, or -1
    int signal = 0;     // the signal that ended it, or 0
    std::string out;
    std::string err;
};

// Runs argv (argv[0] a path) in cwd (default: the scratch's collection)
// with HOME set to the scratch's home and the sanitizers told not to look
// for leaks (which cannot work under a tracer); waits for it.
Outcome Run(const test::Scratch& scratch, const std::vector<std::string>& argv, const std::string& cwd = "");

// The program file inside the scratch's program folder.
std::string Program(const test::Scratch& scratch);

// Starts argv as Run does without waiting; returns its process id or -1.
int Start(const test::Scratch& scratch, const std::vector<std::string>& argv, const std::string& cwd = "");

// Kills a started process with SIGKILL (nothing when it has ended) and
// reaps it. Returns true when the signal ended it, false when it had
// exited by itself first.
bool KillAndReap(int pid);

// Waits for a started process and reports how it ended.
Outcome Reap(int pid);

// Sleeps for the given microseconds.
void Pause(long microseconds);

// The user and group id of "nobody", or false when there is none.
bool NobodyIds(unsigned* uid, unsigned* gid);

// True when the tests run as root.
bool IsRoot();

// Gives every file and folder below root (root included) to uid and gid.
void ChownTree(const std::string& root, unsigned uid, unsigned gid);

// The full path of an executable found on PATH, or "".
std::string FindOnPath(const std::string& name);

}  // namespace hard
