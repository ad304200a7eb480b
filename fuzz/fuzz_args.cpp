// fuzz_args.cpp - fuzz target: argument matching over any words, with the two promises of the matching rule
//
// The input is split at NUL bytes into arguments. Matching looks only at the
// tested positions of each argument (1 to 9 and 11, and the length for
// sepX), with letters compared in upper case except the sepX character: so
// changing any other character, or the case of a letter anywhere but in the
// 4th position, must leave every option as it was.
#include "fuzz.h"

#include "run/imagebuffer.h"
#include "run/options.h"
#include "run/outputfile.h"

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t MostArguments = 64;

struct Options {
    int32_t values[23];
    char sepChar;
    int modes;
    bool operator==(const Options& o) const
    {
        return memcmp(values, o.values, sizeof values) == 0 && sepChar == o.sepChar && modes == o.modes;
    }
};

Options Parse(const std::vector<std::string>& words)
{
    std::vector<char*> argv;
    std::string program = ProgramName;
    argv.push_back(&program[0]);
    std::vector<std::string> copies(words);
    for (std::string& w : copies)
        argv.push_back(&w[0]);
    argv.push_back(nullptr);
    ResetRunOptions();
    Options o;
    o.modes = ParseArguments((int)words.size() + 1, argv.data());
    int32_t values[23] = {OptRename, OptMove,       OptList,      OptListDirs,    OptScan,   OptScanNew,
                          OptScanDirs, OptDeep,     OptDirs,      OptQuiet,       OptChanges, OptChangesReverse,
                          OptChangesAll, OptNoDb,   OptShortNames, OptSep,        OptNoSep,  OptAudit,
                          OptAudit2,   OptAudit3,   OptAudit4,    OptCrcFile,     OptBannerToStdout};
    memcpy(o.values, values, sizeof values);
    o.sepChar = SepChar;
    return o;
}

bool Tested(size_t position)
{
    return position <= 9 || position == 11;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::SilenceConsole();
    std::vector<std::string> words;
    std::string current;
    for (size_t i = 0; i < size && words.size() < MostArguments; i++) {
        if (data[i] == '\0') {
            words.push_back(current);
            current.clear();
        } else {
            current += (char)data[i];
        }
    }
    if (words.size() < MostArguments)
        words.push_back(current);

    Options o = Parse(words);
    for (int k = 0; k < 23; k++) {
        if (k == 21)
            fuzz::Check(o.values[k] >= 0 && o.values[k] <= 2, "OptCrcFile outside 0..2");
        else
            fuzz::Check(o.values[k] == 0 || o.values[k] == 1, "a flag neither 0 nor 1");
    }
    int sum = OptScan + OptRename + OptList + OptCrcFile + OptBannerToStdout + OptAudit;
    fuzz::Check(o.modes == sum, "the mode count is not the sum of the modes");

    std::vector<std::string> untested(words);
    std::vector<std::string> recased(words);
    for (size_t w = 0; w < words.size(); w++) {
        for (size_t i = 0; i < words[w].size(); i++) {
            size_t position = i + 1;
            if (!Tested(position))
                untested[w][i] = words[w][i] == 'x' ? 'y' : 'x';
            unsigned char c = (unsigned char)words[w][i];
            if (position != 4 && c < 0x80 && isalpha(c))
                recased[w][i] = (char)(isupper(c) ? tolower(c) : toupper(c));
        }
    }
    fuzz::Check(Parse(untested) == o, "a character at an untested position changed an option");
    fuzz::Check(Parse(recased) == o, "the letter case of an argument changed an option");
    return 0;
}
