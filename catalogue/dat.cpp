// dat.cpp - reads a DAT file, Logiqx XML (through pugixml) or clrmamepro text, piece by piece
//
// The file is read in blocks of 64 KiB and never held whole. XML: a small
// scanner follows the markup only far enough to find where each child of
// <datafile> ends, and pugixml parses those children a batch at a time, so
// that a DAT of any length needs memory for one batch. The prolog goes to
// pugixml too, after the scanner has refused a DOCTYPE with declarations;
// pugixml itself never loads a DTD or expands an entity. clrmamepro: a
// tokenizer and a reader of nested "key value" blocks, without recursion.
#include "catalogue/dat.h"

#include "platform/platform.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr size_t BlockSize = 64 * 1024;
// The most text one piece of XML (a child of <datafile>, a comment) or one
// clrmamepro token may hold.
constexpr size_t MaxPiece = 1024 * 1024;
// XML children are handed to pugixml once this much is gathered.
constexpr size_t BatchSize = 64 * 1024;
// The most ".vb" roms a DAT may list.
constexpr size_t MaxRoms = 1000000;

// The DAT being read: its text a block at a time, and what it has given so far.
struct Dat {
    FILE* file = nullptr;
    std::string text;         // the part of the file read and not yet dropped
    bool atEnd = false;       // the file has no more to give
    bool failed = false;      // a read error
    long line = 1;            // the line of the scanner's position
    std::string reason;       // why the DAT is refused, empty while it is not
    DatHeader* header = nullptr;
    DatEntries* entries = nullptr;
    std::string* names = nullptr;
    size_t roms = 0;          // ".vb" roms seen
};

// Appends the next block of the file to dat.text. Returns the bytes added.
size_t Fill(Dat& dat)
{
    if (dat.atEnd)
        return 0;
    size_t old = dat.text.size();
    dat.text.resize(old + BlockSize);
    size_t n = fread(&dat.text[old], 1, BlockSize, dat.file);
    dat.text.resize(old + n);
    if (n < BlockSize) {
        dat.atEnd = true;
        dat.failed = ferror(dat.file) != 0;
    }
    return n;
}

// Refuses the DAT for what (at line, when it is above 0), unless it is
// refused already. Returns 0.
int Fail(Dat& dat, long line, const char* what)
{
    if (dat.reason.empty())
        dat.reason = line > 0 ? "line " + std::to_string(line) + ": " + what : what;
    return 0;
}

// c in lower case, by the ASCII rules.
inline char Fold(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c + 'a' - 'A') : c;
}

// a and b are the same text but for ASCII case.
bool SameText(const char* a, const char* b)
{
    for (; *a != '\0' && Fold(*a) == Fold(*b); a++, b++) {
    }
    return Fold(*a) == Fold(*b);
}

// The value of a hex digit in either case, or -1.
int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Fold(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// White space between clrmamepro tokens.
inline bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// One rom as the DAT gives it, its fields as text.
struct Rom {
    std::string name, size, crc, md5, sha1, sha256, status;
};

// Checks a hash field: exactly digits hex digits (either case); stores its
// bytes in the entry when it is stronger than what the entry holds.
int TakeHash(Dat& dat, long line, const std::string& text, size_t digits, int8_t kind, const char* what,
             DatEntry* entry)
{
    if (text.empty())
        return 1;
    if (text.size() != digits)
        return Fail(dat, line, (std::string("malformed ") + what).c_str());
    unsigned char bytes[32];
    for (size_t i = 0; i < digits; i += 2) {
        int high = HexValue(text[i]), low = HexValue(text[i + 1]);
        if (high < 0 || low < 0)
            return Fail(dat, line, (std::string("malformed ") + what).c_str());
        bytes[i / 2] = (unsigned char)(high << 4 | low);
    }
    if (kind > entry->hashKind) {
        entry->hashKind = kind;
        memcpy(entry->hash, bytes, digits / 2);
    }
    return 1;
}

// Takes one rom: an entry when its name ends in ".vb". Returns 0 when a
// field is malformed (the DAT is refused).
int AddRom(Dat& dat, long line, const Rom& rom)
{
    size_t n = rom.name.size();
    if (n < 3 || !SameText(rom.name.c_str() + n - 3, ".vb"))
        return 1;
    DatEntry entry;
    if (!rom.size.empty()) {
        uint64_t size = 0;
        for (char c : rom.size) {
            if (c < '0' || c > '9')
                return Fail(dat, line, "malformed size");
            size = size * 10 + (uint64_t)(c - '0');
            if (size > DatSizeTooLarge)
                size = DatSizeTooLarge;
        }
        entry.size = (uint32_t)size;
        entry.hasSize = true;
    }
    if (!rom.crc.empty()) {
        if (rom.crc.size() > 8)
            return Fail(dat, line, "malformed crc");
        for (char c : rom.crc) {
            if (HexValue(c) < 0)
                return Fail(dat, line, "malformed crc");
            entry.crc = entry.crc << 4 | (uint32_t)HexValue(c);
        }
        entry.hasCrc = true;
    }
    if (!TakeHash(dat, line, rom.md5, 32, DatMd5, "md5", &entry) ||
        !TakeHash(dat, line, rom.sha1, 40, DatSha1, "sha1", &entry) ||
        !TakeHash(dat, line, rom.sha256, 64, DatSha256, "sha256", &entry))
        return 0;
    entry.nodump = SameText(rom.status.c_str(), "nodump");
    entry.baddump = SameText(rom.status.c_str(), "baddump");
    if (++dat.roms > MaxRoms)
        return Fail(dat, line, "more than 1000000 roms");
    entry.name = (uint32_t)dat.names->size();
    dat.names->append(rom.name, 0, n - 3);
    dat.names->push_back('\0');
    dat.entries->push_back(entry);
    return 1;
}

// ---- Logiqx XML ----

// Takes the header and the roms of a batch of <datafile>'s children, parsed
// from dat.text; line is the line the batch begins on.
int TakeChildren(Dat& dat, const pugi::xml_document& doc, long line)
{
    ptrdiff_t counted = 0;  // dat.text up to here is counted into line
    for (pugi::xml_node node : doc.children()) {
        const char* name = node.name();
        if (strcmp(name, "header") == 0) {
            dat.header->name = node.child_value("name");
            if (dat.header->name.empty())
                dat.header->name = node.child_value("description");
            dat.header->version = node.child_value("version");
        } else if (strcmp(name, "game") == 0 || strcmp(name, "machine") == 0) {
            for (pugi::xml_node r : node.children("rom")) {
                ptrdiff_t at = r.offset_debug();
                if (at > counted && (size_t)at <= dat.text.size()) {
                    line += (long)std::count(dat.text.begin() + counted, dat.text.begin() + at, '\n');
                    counted = at;
                }
                Rom rom{r.attribute("name").value(), r.attribute("size").value(), r.attribute("crc").value(),
                        r.attribute("md5").value(),  r.attribute("sha1").value(), r.attribute("sha256").value(),
                        r.attribute("status").value()};
                if (!AddRom(dat, line, rom))
                    return 0;
            }
        }
    }
    return 1;
}

// Parses text[0, length) with pugixml; line is the line it begins on.
// Returns 1, or 0 with the reason and the line of the fault.
int ParseXml(Dat& dat, size_t length, long line, unsigned options, pugi::xml_document& doc)
{
    pugi::xml_parse_result result = doc.load_buffer(dat.text.data(), length, options, pugi::encoding_utf8);
    if (result)
        return 1;
    if (result.status == pugi::status_out_of_memory)
        return Fail(dat, 0, "out of memory");
    size_t at = std::min((size_t)result.offset, length);
    std::string what = result.description();  // "Start-end tags mismatch"
    what[0] = (char)tolower((unsigned char)what[0]);
    return Fail(dat, line + (long)std::count(dat.text.begin(), dat.text.begin() + (long)at, '\n'), what.c_str());
}

// Where the piece of markup at text[p] (a '<') ends: the index after it,
// or 0 when the text read so far does not hold its end. Sets *kind to the
// piece's first bytes' meaning: 'c' comment, 'd' CDATA, 'p' processing
// instruction, '!' declaration, '/' end tag, 'e' empty-element tag, 's'
// start tag; a '[' in a declaration makes it 'D'.
size_t MarkupEnd(const std::string& text, size_t p, char* kind)
{
    auto after = [&](const char* mark, size_t from) -> size_t {
        size_t at = text.find(mark, from);
        return at == std::string::npos ? 0 : at + strlen(mark);
    };
    size_t n = text.size();
    if (n - p < 9 && text.compare(p, n - p, "<![CDATA[", n - p) == 0)
        return 0;  // too short to tell
    if (text.compare(p, 4, "<!--") == 0)
        return *kind = 'c', after("-->", p + 4);
    if (text.compare(p, 9, "<![CDATA[") == 0)
        return *kind = 'd', after("]]>", p + 9);
    if (text.compare(p, 2, "<?") == 0)
        return *kind = 'p', after("?>", p + 2);
    if (text.compare(p, 2, "</") == 0)
        return *kind = '/', after(">", p + 2);
    *kind = text.compare(p, 2, "<!") == 0 ? '!' : 's';
    char quote = 0;
    for (size_t i = p + 1; i < n; i++) {
        char c = text[i];
        if (quote != 0) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[' && *kind == '!') {
            *kind = 'D';
        } else if (c == '>') {
            if (*kind == 's' && text[i - 1] == '/')
                *kind = 'e';
            return i + 1;
        }
    }
    return 0;
}

// The element name of a start or end tag at text[p].
std::string TagName(const std::string& text, size_t p)
{
    size_t from = p + (text[p + 1] == '/' ? 2 : 1), to = from;
    while (to < text.size() && !strchr(" \t\r\n/>", text[to]))
        to++;
    return text.substr(from, to - from);
}

// Reads a Logiqx XML DAT whose first block is in dat.text. Returns 1, or 0
// with the reason.
int ReadXml(Dat& dat)
{
    size_t p = 0;           // the scanner's position in dat.text
    int depth = 0;          // elements open at p
    bool rootSeen = false;  // <datafile> began
    long batchLine = 1;     // the line dat.text begins on
    long openLine = 0;      // where the innermost child of <datafile> began
    pugi::xml_document doc;
    const unsigned options = pugi::parse_default | pugi::parse_fragment;
    for (;;) {
        if (p >= dat.text.size() || dat.text[p] != '<') {
            // Text up to the next markup; only white space outside <datafile>.
            size_t end = dat.text.find('<', p);
            size_t stop = end == std::string::npos ? dat.text.size() : end;
            for (size_t i = p; i < stop; i++) {
                char c = dat.text[i];
                if (c == '\0')
                    return Fail(dat, dat.line, "a NUL byte");
                if (c == '\n')
                    dat.line++;
                else if (depth == 0 && !strchr(" \t\r", c))
                    return Fail(dat, dat.line, rootSeen ? "text after </datafile>" : "text before <datafile>");
            }
            p = stop;
            if (end != std::string::npos)
                continue;
        } else {
            char kind = 0;
            size_t end = MarkupEnd(dat.text, p, &kind);
            if (end != 0) {
                const char* nul = (const char*)memchr(dat.text.data() + p, '\0', end - p);
                if (nul != nullptr)
                    return Fail(dat, dat.line + (long)std::count(dat.text.begin() + (long)p,
                                                                 dat.text.begin() + (nul - dat.text.data()), '\n'),
                                "a NUL byte");
                long line = dat.line;
                dat.line += (long)std::count(dat.text.begin() + (long)p, dat.text.begin() + (long)end, '\n');
                if (depth == 0 && (kind == 'D' || kind == '!')) {
                    if (rootSeen || kind == 'D' || dat.text.compare(p, 9, "<!DOCTYPE") != 0)
                        return Fail(dat, line, kind == 'D' ? "a DTD with declarations" : "a misplaced declaration");
                } else if (depth > 0 && (kind == '!' || kind == 'D')) {
                    return Fail(dat, line, "a misplaced declaration");
                } else if (depth == 0 && kind == 'd') {
                    return Fail(dat, line, "text outside <datafile>");
                } else if (depth == 0 && (kind == 's' || kind == 'e' || kind == '/')) {
                    if (rootSeen || kind == '/')
                        return Fail(dat, line, "text after </datafile>");
                    if (TagName(dat.text, p) != "datafile")
                        return dat.reason = "neither Logiqx XML nor clrmamepro", 0;
                    // The prolog and the root's start tag, made an empty element, checked by pugixml.
                    std::string root = dat.text.substr(0, end);
                    if (kind == 's')
                        root.insert(root.size() - 1, "/");
                    root.swap(dat.text);
                    int ok = ParseXml(dat, dat.text.size(), batchLine, pugi::parse_default, doc);
                    root.swap(dat.text);
                    if (!ok)
                        return 0;
                    rootSeen = true;
                    depth = kind == 's' ? 1 : 0;
                    dat.text.erase(0, end);
                    p = 0;
                    batchLine = dat.line;
                    continue;
                } else if (kind == 's') {
                    if (depth++ == 1)
                        openLine = line;
                } else if (kind == '/') {
                    if (--depth == 0) {
                        if (TagName(dat.text, p) != "datafile")
                            return Fail(dat, line, "mismatched end tag");
                        // The last children, then only what may follow the root.
                        if (!ParseXml(dat, p, batchLine, options, doc) || !TakeChildren(dat, doc, batchLine))
                            return 0;
                        dat.text.erase(0, end);
                        p = 0;
                        batchLine = dat.line;
                        continue;
                    }
                }
                p = end;
                if (depth == 1 && p >= BatchSize) {
                    if (!ParseXml(dat, p, batchLine, options, doc) || !TakeChildren(dat, doc, batchLine))
                        return 0;
                    dat.text.erase(0, p);
                    p = 0;
                    batchLine = dat.line;
                }
                continue;
            }
        }
        // More text is needed to go on: first drop what is done with.
        if (rootSeen && depth <= 1 && p > 0) {
            if (depth == 1 && (!ParseXml(dat, p, batchLine, options, doc) || !TakeChildren(dat, doc, batchLine)))
                return 0;
            dat.text.erase(0, p);
            p = 0;
            batchLine = dat.line;
        }
        if (dat.text.size() > MaxPiece + BlockSize)
            return Fail(dat, depth > 1 ? openLine : dat.line, "an element over 1 MiB");
        if (Fill(dat) == 0) {
            if (dat.failed)
                return Fail(dat, 0, "cannot read");
            if (p < dat.text.size())
                return Fail(dat, dat.line, "the file ends inside markup");
            if (!rootSeen)
                return dat.reason = "neither Logiqx XML nor clrmamepro", 0;
            if (depth > 0)
                return Fail(dat, depth > 1 ? openLine : dat.line, depth > 1 ? "unclosed element" : "no </datafile>");
            return 1;
        }
    }
}

// ---- clrmamepro text ----

// One token: '(' or ')' alone, or a word (a quoted text without its quotes,
// or a bare one); kind 0 at the end of the file.
struct Token {
    char kind = 0;  // '(', ')', 'w' a word, 0 the end
    std::string text;
    long line = 0;
};

struct Tokenizer {
    Dat& dat;
    size_t p = 0;
};

// Reads the next token. Returns 0 with a reason on a fault.
int NextToken(Tokenizer& tk, Token* token)
{
    Dat& dat = tk.dat;
    for (;;) {
        // White space.
        while (tk.p < dat.text.size() && IsSpace(dat.text[tk.p])) {
            if (dat.text[tk.p] == '\n')
                dat.line++;
            tk.p++;
        }
        if (tk.p >= dat.text.size()) {
            dat.text.clear();
            tk.p = 0;
            if (Fill(dat) == 0) {
                if (dat.failed)
                    return Fail(dat, 0, "cannot read");
                token->kind = 0;
                token->line = dat.line;
                return 1;
            }
            continue;
        }
        token->line = dat.line;
        char c = dat.text[tk.p];
        if (c == '\0')
            return Fail(dat, dat.line, "a NUL byte");
        if (c == '(' || c == ')') {
            token->kind = c;
            tk.p++;
            return 1;
        }
        // A word: to its closing quote, or to white space or a parenthesis.
        bool quoted = c == '"';
        size_t end = tk.p + (quoted ? 1 : 0);
        for (;;) {
            while (end < dat.text.size()) {
                char d = dat.text[end];
                if (d == '\0')
                    return Fail(dat, dat.line, "a NUL byte");
                if (quoted ? (d == '"' || d == '\n') : (IsSpace(d) || d == '(' || d == ')' || d == '"'))
                    break;
                end++;
            }
            if (end < dat.text.size() || dat.atEnd)
                break;
            if (end - tk.p > MaxPiece)
                return Fail(dat, dat.line, "a word over 1 MiB");
            dat.text.erase(0, tk.p);
            end -= tk.p;
            tk.p = 0;
            Fill(dat);
        }
        if (quoted && (end >= dat.text.size() || dat.text[end] != '"'))
            return Fail(dat, dat.line, "unclosed quote");
        token->kind = 'w';
        token->text.assign(dat.text, tk.p + (quoted ? 1 : 0), end - tk.p - (quoted ? 1 : 0));
        tk.p = end + (quoted ? 1 : 0);
        return 1;
    }
}

// Passes over the rest of a block whose "(" was read, nested blocks and all.
int SkipBlock(Tokenizer& tk, long line)
{
    Token t;
    for (long depth = 1; depth > 0;) {
        if (!NextToken(tk, &t))
            return 0;
        if (t.kind == 0)
            return Fail(tk.dat, line, "unclosed block");
        depth += t.kind == '(' ? 1 : t.kind == ')' ? -1 : 0;
    }
    return 1;
}

// Reads the "key value" pairs of a block whose "(" was read, up to its ")".
// level 0: the header, 1: a game, 2: a rom. Nested blocks other than a
// game's roms are passed over.
int ReadBlock(Tokenizer& tk, long line, int level)
{
    Dat& dat = tk.dat;
    Rom rom;
    Token key, value;
    for (;;) {
        if (!NextToken(tk, &key))
            return 0;
        if (key.kind == 0)
            return Fail(dat, line, "unclosed block");
        if (key.kind == ')')
            break;
        if (key.kind == '(') {
            if (!SkipBlock(tk, key.line))
                return 0;
            continue;
        }
        if (!NextToken(tk, &value))
            return 0;
        if (value.kind == 0)
            return Fail(dat, line, "unclosed block");
        if (value.kind == ')')
            break;
        if (value.kind == '(') {
            int ok = level == 1 && SameText(key.text.c_str(), "rom") ? ReadBlock(tk, value.line, 2)
                                                                       : SkipBlock(tk, value.line);
            if (!ok)
                return 0;
            continue;
        }
        const char* k = key.text.c_str();
        if (level == 0) {
            if (SameText(k, "name"))
                dat.header->name = value.text;
            else if (SameText(k, "description") && dat.header->name.empty())
                dat.header->name = value.text;
            else if (SameText(k, "version"))
                dat.header->version = value.text;
        } else if (level == 2) {
            std::string* field = SameText(k, "name")     ? &rom.name
                                 : SameText(k, "size")   ? &rom.size
                                 : SameText(k, "crc")    ? &rom.crc
                                 : SameText(k, "md5")    ? &rom.md5
                                 : SameText(k, "sha1")   ? &rom.sha1
                                 : SameText(k, "sha256") ? &rom.sha256
                                 : SameText(k, "status") || SameText(k, "flags") ? &rom.status
                                                                                 : nullptr;
            if (field != nullptr)
                *field = value.text;
        }
    }
    return level == 2 ? AddRom(dat, line, rom) : 1;
}

// Reads a clrmamepro DAT whose first block is in dat.text, from start on.
// Returns 1, or 0 with the reason.
int ReadClrmamepro(Dat& dat, size_t start)
{
    Tokenizer tk{dat, start};
    Token word, open;
    for (bool first = true;; first = false) {
        if (!NextToken(tk, &word))
            return 0;
        if (word.kind == 0)
            return first ? (dat.reason = "neither Logiqx XML nor clrmamepro", 0) : 1;
        if (!NextToken(tk, &open))
            return 0;
        if (word.kind != 'w' || open.kind != '(') {
            if (first)
                return dat.reason = "neither Logiqx XML nor clrmamepro", 0;
            return Fail(dat, word.line, "expected a name and \"(\"");
        }
        const char* w = word.text.c_str();
        int ok = SameText(w, "clrmamepro") ? ReadBlock(tk, open.line, 0)
                 : SameText(w, "game") || SameText(w, "machine") || SameText(w, "resource")
                     ? ReadBlock(tk, open.line, 1)
                     : SkipBlock(tk, open.line);
        if (!ok)
            return 0;
    }
}

// Folds ASCII case, for names that must differ on Windows too.
bool FoldedLess(const char* a, const char* b)
{
    for (; *a != '\0' && Fold(*a) == Fold(*b); a++, b++) {
    }
    return (unsigned char)Fold(*a) < (unsigned char)Fold(*b);
}

// Drops the entries whose names cannot be used or repeat an earlier one's,
// saying so for each in the DAT's order, and packs the names.
void KeepUsableNames(Dat& dat, const std::string& path)
{
    DatEntries& entries = *dat.entries;
    std::string& names = *dat.names;
    std::vector<uint32_t> order;
    order.reserve(entries.size());
    for (uint32_t i = 0; i < entries.size(); i++)
        if (IsUsableName(DatName(names, entries[i])))
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        return FoldedLess(DatName(names, entries[a]), DatName(names, entries[b]));
    });
    std::vector<bool> keep(entries.size(), false);
    for (size_t k = 0; k < order.size(); k++)
        keep[order[k]] = k == 0 || FoldedLess(DatName(names, entries[order[k - 1]]), DatName(names, entries[order[k]]));
    std::vector<uint32_t>().swap(order);
    size_t kept = 0, nameEnd = 0;
    for (size_t i = 0; i < entries.size(); i++) {
        const char* name = DatName(names, entries[i]);
        size_t length = strlen(name);
        if (!keep[i]) {
            fprintf(stderr, "Cannot use the name \"%s\" from %s\n", name, path.c_str());
            continue;
        }
        memmove(&names[nameEnd], name, length + 1);
        entries[kept] = entries[i];
        entries[kept].name = (uint32_t)nameEnd;
        nameEnd += length + 1;
        kept++;
    }
    entries.resize(kept);
    names.resize(nameEnd);
}

// Reads the DAT at path in the format its first bytes tell, then keeps the
// entries whose names can be used. Returns 1, or 0 with the reason.
// How many ".vb" (any case) the file holds from where it stands: no fewer
// than the roms it names with that extension. The file is left at its start.
size_t CountImageNames(FILE* file)
{
    size_t count = 0;
    char block[BlockSize + 2] = {0, 0};
    size_t got;
    while ((got = fread(block + 2, 1, BlockSize, file)) > 0) {
        for (size_t i = 0; i < got; i++)
            count += block[i] == '.' && Fold(block[i + 1]) == 'v' && Fold(block[i + 2]) == 'b';
        block[0] = block[got];
        block[1] = block[got + 1];
    }
    clearerr(file);
    PlatformSeek(file, 0, SEEK_SET);
    return count;
}

int Read(Dat& dat, const std::string& path)
{
    dat.file = PlatformOpenFile(path, "rb", 1);
    if (dat.file == nullptr)
        return Fail(dat, 0, "cannot open");
    // Room for every entry at once: grown by doubling, a long DAT's entries
    // would need room for a copy of them, and keep up to half again unused.
    dat.entries->reserve(std::min(CountImageNames(dat.file), MaxRoms));
    while (dat.text.size() < 3 && Fill(dat) > 0) {
    }
    size_t start = dat.text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    size_t first = start;
    for (;;) {
        while (first < dat.text.size() && strchr(" \t\r\n", dat.text[first]) && dat.text[first] != '\0')
            first++;
        if (first < dat.text.size() || Fill(dat) == 0)
            break;
    }
    int ok;
    if (first < dat.text.size() && dat.text[first] == '<') {
        dat.text.erase(0, start);
        ok = ReadXml(dat);
    } else {
        ok = ReadClrmamepro(dat, start);
    }
    if (!dat.reason.empty())
        ok = 0;  // refused once, refused for good
    if (ok && dat.failed)
        ok = Fail(dat, 0, "cannot read");
    if (ok && dat.roms == 0)
        ok = Fail(dat, 0, "no .vb rom");
    fclose(dat.file);
    dat.file = nullptr;
    std::string().swap(dat.text);
    if (ok)
        KeepUsableNames(dat, path);
    return ok;
}

}  // namespace

int ReadDat(const std::string& path, DatHeader* header, DatEntries* entries, std::string* names,
            std::string* reason)
{
    *header = DatHeader();
    entries->clear();
    names->clear();
    reason->clear();
    Dat dat;
    dat.header = header;
    dat.entries = entries;
    dat.names = names;
    int ok = 0;
    try {
        ok = Read(dat, path);
    } catch (const std::bad_alloc&) {
        if (dat.file != nullptr)
            fclose(dat.file);
        dat.reason = "out of memory";
    }
    if (!ok) {
        *header = DatHeader();
        DatEntries().swap(*entries);
        std::string().swap(*names);
        *reason = dat.reason;
        return 0;
    }
    return 1;
}

std::string DatHashText(const DatEntry& entry)
{
    static const char hex[] = "0123456789abcdef";
    static const size_t lengths[] = {16, 20, 32};
    std::string text;
    if (entry.hashKind < 0)
        return text;
    for (size_t i = 0; i < lengths[entry.hashKind]; i++) {
        text += hex[entry.hash[i] >> 4];
        text += hex[entry.hash[i] & 0xF];
    }
    return text;
}

int IsUsableName(const std::string& name)
{
    if (name.empty() || name == "." || name == ".." || name.size() > DatMaxNameLength)
        return 0;
    for (unsigned char c : name)
        if (c < 32 || c == 127 || strchr("/\\<>:\"|?*", c))
            return 0;
    // The part before the first dot, spaces at its end dropped, is no device name.
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    for (char& c : base)
        c = (char)toupper((unsigned char)c);
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* d : devices)
        if (base == d)
            return 0;
    if (base.size() >= 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0)) {
        std::string tail = base.substr(3);
        if ((tail.size() == 1 && tail[0] >= '1' && tail[0] <= '9') || tail == "\xC2\xB9" || tail == "\xC2\xB2" ||
            tail == "\xC2\xB3")
            return 0;
    }
    return 1;
}
