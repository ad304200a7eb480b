// inputs.h - saved fuzz inputs: collecting them from files and folders, and decoding the text forms kept in the repository
//
// A saved input is a file. Its name decides its form:
//   *.hex  hexadecimal digits; blanks and line ends are ignored, and a "#"
//          starts a comment that runs to the end of its line
//   *.b64  base64 (RFC 4648, "=" padding optional); blanks and line ends are
//          ignored, "#" comments as for .hex
//   other  the bytes of the file as they are
// Binary findings are kept in the text forms, since archives and images are
// never committed as binary files.
#pragma once

#include <string>
#include <vector>

namespace fuzz {

struct SavedInput {
    std::string path;
    std::string bytes;
};

// Every saved input named by paths: a file is one input, a folder gives
// every regular file below it, in name order. Paths that do not exist are
// skipped. Returns false after printing why when a file cannot be read or
// decoded.
bool CollectInputs(const std::vector<std::string>& paths, std::vector<SavedInput>* inputs);

// Decodes the content of a saved input by its file name (see above).
// Returns false when a .hex or .b64 text is malformed.
bool DecodeInput(const std::string& path, const std::string& content, std::string* bytes);

}  // namespace fuzz
