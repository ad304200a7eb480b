// replay.cpp - runs saved inputs through a fuzz target, so that its corpora run as ordinary tests
//
//   quor_replay_TARGET FOLDER...   every file below the folders, in name order (a missing folder is none)
//
// Exits 0 after every input ran (a finding aborts inside the target), 1 when
// an input cannot be read or there is none: a missing corpus is no clean one.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::set<fs::path> inputs;
    std::error_code ec;
    for (int i = 1; i < argc; i++)
        for (fs::recursive_directory_iterator it(argv[i], ec), end; !ec && it != end; it.increment(ec))
            if (it->is_regular_file())
                inputs.insert(it->path());
    for (const fs::path& path : inputs) {
        fprintf(stderr, "%s\n", path.string().c_str());  // first, so that a finding names its input
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        if (!(bytes << in.rdbuf()) && fs::file_size(path, ec) != 0)
            return fprintf(stderr, "cannot read it\n"), 1;
        std::string input = bytes.str();
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    }
    fprintf(stderr, "replayed %zu inputs\n", inputs.size());
    return inputs.empty() ? 1 : 0;
}
