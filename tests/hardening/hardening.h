// hardening.h - what the fault, permission and kill tests share: their collections, the check that nothing was lost, strace
#pragma once

#include "support.h"

#include <map>
#include <string>
#include <vector>

namespace hard {

// Files by path relative to their folder ("a/b.vb" -> bytes), in path order.
using Files = std::map<std::string, std::string>;

// What a scratch holds: the start directory, the program directory (but the
// program) and the fallback folder, the scratch home.
struct Layout {
    Files collection, program, home;
};
Layout Capture(const test::Scratch& scratch);
// Empties the three folders (keeping the program) and lays layout out in them.
void Restore(const test::Scratch& scratch, const Layout& layout);

// The files of a folder without the program's outputs (lists, logs, the
// database, temporary files), for comparing how two runs left it.
Files Arrangement(const Files& files);

// The catalogue entries the whole have list, missing list or database of
// that name holds, or false when bytes are not a whole one.
bool Entries(const std::string& name, const std::string& bytes, std::vector<int>* entries);

// Everything wrong with the scratch after a run that began from before: a
// file of the collection lost, doubled, changed or moved anywhere but
// VBoyRen and VBoyDupes; a list or database, in any folder, neither the old
// one nor a whole new one; a new database that names what no have list
// names; QuorInfo.cfg changed. Empty when all is well.
std::string Trouble(const Layout& before, const test::Scratch& scratch);

// The collection every hardening test starts from: loose images (one three
// times), archives (stored, deflated, one with a second copy of a loose
// image, one with two images, a damaged one), an unknown image, a file too
// short to be one, a text file, a subfolder, the sample QuorInfo.cfg, and
// the lists and database of an earlier `list` run that saw one image.
Layout MakeScenario(const test::Scratch& scratch);

// count images for the kill test: every catalogue entry several times over,
// loose and zipped, a few byte-for-byte copies, unknown images, and the lists
// of an earlier run that saw the first four.
Layout MakeLargeCollection(const test::Scratch& scratch, int count, uint32_t seed);

// Why strace cannot fail or kill calls here (missing, or tracing
// forbidden), or "" when it can.
std::string StraceMissing();

// The prefix that runs the program under strace -f, its trace written to
// output, with options; the sanitizers are told not to look for leaks,
// which cannot work under a tracer.
std::vector<std::string> Strace(const std::string& output, const std::vector<std::string>& options = {});

// The calls of syscall in a trace of one run: how many came before the
// program's banner (the loader's and the runtime's), and how many in all.
void CountCalls(const std::string& trace, const std::string& syscall, int* before, int* total);

}  // namespace hard
