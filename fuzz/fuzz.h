// fuzz.h - what the fuzz targets share: the libFuzzer entry point, silenced output, inputs as streams, and checks that abort
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Every target defines this entry point; libFuzzer calls it, and so does the
// replay driver for every saved input. It returns 0 and aborts on a broken
// promise of the code under test.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fuzz {

// Sends the program's console lines to the null device, once per process:
// a fuzz run calls the readers millions of times.
void SilenceConsole();

// The input as an open stream positioned at its start, for readers that take
// a FILE*; binary selects "rb" over "r". Never nullptr (aborts instead).
FILE* OpenBytes(const uint8_t* data, size_t size, bool binary);

// Aborts with a message on standard error when ok is false, so that libFuzzer
// and the replay driver both see a finding.
void Check(bool ok, const char* what);

}  // namespace fuzz
