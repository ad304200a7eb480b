// replay.cpp - runs saved fuzz inputs through a target's LLVMFuzzerTestOneInput, so that corpora run as ordinary tests
//
//   quor_replay_TARGET PATH...   every file named, and every file below every
//                                folder named, in name order
//
// Exits 0 after every input ran; a finding aborts inside the target. Exits 1
// when an input cannot be read or decoded, or when no input was found at all,
// so that a missing corpus never passes for a clean one.
#include "fuzz.h"
#include "inputs.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::string> paths(argv + 1, argv + argc);
    std::vector<fuzz::SavedInput> inputs;
    if (!fuzz::CollectInputs(paths, &inputs))
        return 1;
    if (inputs.empty()) {
        fprintf(stderr, "no saved inputs found\n");
        return 1;
    }
    for (const fuzz::SavedInput& input : inputs) {
        // The path goes to standard error first, so that a finding names its input.
        fprintf(stderr, "%s\n", input.path.c_str());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.bytes.data()), input.bytes.size());
    }
    fprintf(stderr, "replayed %zu inputs\n", inputs.size());
    return 0;
}
