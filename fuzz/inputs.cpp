// inputs.cpp - collecting saved fuzz inputs and decoding their .hex and .b64 forms
#include "inputs.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace fuzz {

static bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The content without "#" comments and without blanks and line ends.
static std::string Significant(const std::string& content)
{
    std::string out;
    bool comment = false;
    for (char c : content) {
        if (c == '\n') {
            comment = false;
            continue;
        }
        if (comment || c == '#') {
            comment = true;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r')
            continue;
        out += c;
    }
    return out;
}

static int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

static int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

bool DecodeInput(const std::string& path, const std::string& content, std::string* bytes)
{
    bytes->clear();
    if (EndsWith(path, ".hex")) {
        std::string digits = Significant(content);
        if (digits.size() % 2 != 0)
            return false;
        for (size_t i = 0; i < digits.size(); i += 2) {
            int hi = HexValue(digits[i]);
            int lo = HexValue(digits[i + 1]);
            if (hi < 0 || lo < 0)
                return false;
            *bytes += (char)(hi * 16 + lo);
        }
        return true;
    }
    if (EndsWith(path, ".b64")) {
        std::string text = Significant(content);
        while (!text.empty() && text.back() == '=')
            text.pop_back();
        uint32_t bits = 0;
        int count = 0;
        for (char c : text) {
            int v = Base64Value(c);
            if (v < 0)
                return false;
            bits = (bits << 6) | (uint32_t)v;
            count += 6;
            if (count >= 8) {
                count -= 8;
                *bytes += (char)((bits >> count) & 0xFF);
            }
        }
        return count < 6;
    }
    *bytes = content;
    return true;
}

static bool ReadWhole(const fs::path& path, std::string* content)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream out;
    out << in.rdbuf();
    *content = out.str();
    return !in.bad();
}

static bool AddFile(const fs::path& path, std::vector<SavedInput>* inputs)
{
    std::string content;
    if (!ReadWhole(path, &content)) {
        fprintf(stderr, "cannot read %s\n", path.string().c_str());
        return false;
    }
    SavedInput input;
    input.path = path.string();
    if (!DecodeInput(input.path, content, &input.bytes)) {
        fprintf(stderr, "malformed saved input %s\n", input.path.c_str());
        return false;
    }
    inputs->push_back(input);
    return true;
}

bool CollectInputs(const std::vector<std::string>& paths, std::vector<SavedInput>* inputs)
{
    for (const std::string& p : paths) {
        std::error_code ec;
        fs::path path(p);
        if (fs::is_regular_file(path, ec)) {
            if (!AddFile(path, inputs))
                return false;
            continue;
        }
        if (!fs::is_directory(path, ec))
            continue;
        std::vector<fs::path> files;
        for (fs::recursive_directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
            if (it->is_regular_file(ec))
                files.push_back(it->path());
        std::sort(files.begin(), files.end());
        for (const fs::path& f : files)
            if (!AddFile(f, inputs))
                return false;
    }
    return true;
}

}  // namespace fuzz
