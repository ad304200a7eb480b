// journal.cpp - the journal of moves: written line by line before each move, read back by undo and recovery
#include "rename/journal.h"

#include "platform/platform.h"
#include "rename/rename.h"
#include "run/options.h"
#include "run/outputfile.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <map>

AppendFile UndoJournal(UndoJournalName);

// This run's identity in the journal (empty until its first line), its last
// move number, and whether a line failed (then no further move is made).
static std::string runId;
static long lastMove;
static bool journalBroken;
// The journal does not end with a line end: one goes before the next line.
static bool lineEndDue;

void ResetJournal()
{
    ResetAppendFile(&UndoJournal);
    runId.clear();
    lastMove = 0;
    journalBroken = false;
    lineEndDue = false;
}

std::string QuoteName(const std::string& name)
{
    static const char hex[] = "0123456789abcdef";
    std::string out = "\"";
    for (unsigned char c : name) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += (char)c;
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 0xF];
        } else {
            out += (char)c;
        }
    }
    return out + "\"";
}

// Splits a journal line into its fields, unquoting quoted ones. Returns
// false for a line that is not well formed.
static bool SplitLine(const std::string& line, std::vector<std::string>* fields)
{
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ') {
            i++;
            continue;
        }
        std::string field;
        if (line[i] != '"') {
            while (i < line.size() && line[i] != ' ' && line[i] != '"')
                field += line[i++];
            fields->push_back(field);
            continue;
        }
        for (i++;; i++) {
            if (i >= line.size())
                return false;
            char c = line[i];
            if (c == '"')
                break;
            if (c != '\\') {
                field += c;
                continue;
            }
            if (++i >= line.size())
                return false;
            c = line[i];
            if (c == 't')
                field += '\t';
            else if (c == 'n')
                field += '\n';
            else if (c == 'r')
                field += '\r';
            else if (c == 'x' && i + 2 < line.size() && isxdigit((unsigned char)line[i + 1]) &&
                     isxdigit((unsigned char)line[i + 2])) {
                field += (char)strtoul(line.substr(i + 1, 2).c_str(), nullptr, 16);
                i += 2;
            } else if (c == '\\' || c == '"')
                field += c;
            else
                return false;
        }
        fields->push_back(field);
        i++;
    }
    return true;
}

// A whole decimal number (with an optional "-"), or false.
static bool ParseNumber(const std::string& text, long long* value)
{
    if (text.empty() || text.size() > 20)
        return false;
    char* end = nullptr;
    *value = strtoll(text.c_str(), &end, 10);
    return *end == '\0' && (isdigit((unsigned char)text[0]) || (text[0] == '-' && text.size() > 1));
}

bool SafeJournalPath(const std::string& path, bool bare)
{
    // A backslash separates levels only where it is the system's separator.
    auto separator = [](char c) { return c == '/' || c == PathSeparator; };
    if (path.empty() || separator(path[0]) || (PathSeparator == '\\' && path.size() >= 2 && path[1] == ':'))
        return false;
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); i++) {
        if (i < path.size() && !separator(path[i]))
            continue;
        std::string level = path.substr(start, i - start);
        if (level.empty() || level == "." || level == ".." || (bare && i < path.size()))
            return false;
        start = i + 1;
    }
    return true;
}

// True when a target or a folder lies in VBoyRen or VBoyDupes (or is one of
// them) and no level of it is hidden: the only places a run moves to.
static bool OwnPlace(const std::string& path)
{
    size_t first = path.find_first_of("/\\");
    std::string top = path.substr(0, first);
    if (top != OutputDirName && top != DupesDirName)
        return false;
    for (size_t i = 0; i < path.size(); i++)
        if (path[i] == '.' && (i == 0 || path[i - 1] == '/' || path[i - 1] == '\\'))
            return false;
    return true;
}

// The runs being read: by identity, each with its place in the journal, and
// the identities by place.
struct RunsRead {
    std::map<std::string, std::pair<long, JournalRun>> byId;
    std::map<long, std::string> byOrder;
    long order = 0;
};

// A whole number of at most 20 characters, or false.
static bool MoveNumber(const std::vector<std::string>& f, size_t at, long long* n)
{
    return f.size() > at && ParseNumber(f[at], n) && *n >= 0 && *n <= 0x7FFFFFFF;
}

// A move line's fields, checked; false when it is no whole safe record.
static bool MoveFields(const std::vector<std::string>& f, long long* n, JournalMove* move)
{
    long long size = 0, modified = 0;
    if (f.size() != 7 || f[0] != "move" || !MoveNumber(f, 2, n) || !ParseNumber(f[5], &size) ||
        !ParseNumber(f[6], &modified) || size < 0 || !SafeJournalPath(f[3], true) ||
        !SafeJournalPath(f[4], false) || !OwnPlace(f[4]))
        return false;
    move->oldName = f[3];
    move->target = f[4];
    move->size = (uint64_t)size;
    move->modified = (int64_t)modified;
    return true;
}

static bool DirField(const std::vector<std::string>& f)
{
    return f.size() == 3 && f[0] == "dir" && SafeJournalPath(f[2], false) && OwnPlace(f[2]);
}

// The move of run numbered n, or where it would go.
static std::vector<JournalMoveRef>::iterator FindMove(JournalRun* run, long long n)
{
    return std::lower_bound(run->moves.begin(), run->moves.end(), n,
                            [](const JournalMoveRef& m, long long number) { return m.number < number; });
}

// Applies one line's fields (the line at offset at) to the runs of start.
static void ReadRecord(const std::vector<std::string>& f, int64_t at, const std::string& start, RunsRead* runs)
{
    if (f.size() < 2)
        return;
    auto named = runs->byId.find(f[1]);
    const std::string& kind = f[0];
    long long n = 0;
    if (kind == "run") {
        // Older journals have no offset from UTC before the start folder.
        size_t place = f.size() >= 6 && f[4].size() == 5 && (f[4][0] == '+' || f[4][0] == '-') ? 5 : 4;
        if (f.size() <= place || f[place] != start || named != runs->byId.end())
            return;
        auto& entry = runs->byId[f[1]];
        entry.first = ++runs->order;
        entry.second.id = f[1];
        entry.second.when = f[2] + " " + f[3];
        runs->byOrder[entry.first] = f[1];
        if (runs->byOrder.size() > KeptRuns) {
            runs->byId.erase(runs->byOrder.begin()->second);
            runs->byOrder.erase(runs->byOrder.begin());
        }
        return;
    }
    if (named == runs->byId.end())
        return;
    JournalRun& run = named->second.second;
    JournalMove move;
    if (kind == "undone") {
        runs->byOrder.erase(named->second.first);
        runs->byId.erase(named);
    } else if (DirField(f)) {
        run.dirs.push_back(at);
    } else if (MoveFields(f, &n, &move)) {
        auto place = FindMove(&run, n);
        if (place == run.moves.end() || place->number != n)
            place = run.moves.insert(place, JournalMoveRef());
        *place = JournalMoveRef();
        place->at = at;
        place->number = (int32_t)n;
    } else if (f.size() == 3 && MoveNumber(f, 2, &n)) {
        auto ref = FindMove(&run, n);
        if (ref == run.moves.end() || ref->number != n)
            return;
        static const std::map<std::string, char> copySteps = {
            {"copy", 'c'}, {"copied", 'C'}, {"copyback", 'b'}, {"copiedback", 'B'}, {"uncopied", 0}};
        auto step = copySteps.find(kind);
        if (step != copySteps.end()) {
            ref->copy = step->second;
        } else if (kind == "moved") {
            ref->outcome = 'm';
            ref->copy = 0;
        } else if (kind == "taken" || kind == "failed" || kind == "back") {
            // Nothing left to take back of it.
            run.backs += kind == "back";
            run.moves.erase(ref);
        }
    }
}

// The longest line kept; a longer one is no record of this program's.
constexpr size_t LongestLine = 1 << 18;

// Feeds the bytes of stream from its present place to line by line, each
// line with its offset, until each returns false or the stream ends. A NUL
// byte (what a crash leaves of an appended file) or an overlong line makes
// the line broken: it is passed over. The bytes are read piece bytes at a
// time. Returns false when reading failed.
template <typename Each>
static bool ReadLines(FILE* stream, int64_t offset, size_t piece, Each each)
{
    std::string line;
    bool broken = false;
    int64_t lineAt = offset;
    static char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, std::min(piece, sizeof chunk), stream)) > 0) {
        for (size_t i = 0; i < got; i++, offset++) {
            char c = chunk[i];
            if (c != '\n' && c != '\0') {
                if (line.size() < LongestLine)
                    line += c;
                else
                    broken = true;
                continue;
            }
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            std::vector<std::string> fields;
            if (c == '\n' && !broken && SplitLine(line, &fields) && !fields.empty() && !each(fields, lineAt))
                return true;
            line.clear();
            broken = false;
            lineAt = offset + 1;
        }
    }
    // The last line, if the journal does not end with a line end, is cut.
    return ferror(stream) == 0;
}

int ReadJournal(FILE* stream, const std::string& path, const std::string& start, std::vector<JournalRun>* runs)
{
    RunsRead read;
    bool ok = PlatformSeek(stream, 0, SEEK_SET) == 0 &&
              ReadLines(stream, 0, 65536, [&](const std::vector<std::string>& f, int64_t at) {
                  ReadRecord(f, at, start, &read);
                  return true;
              });
    clearerr(stream);
    PlatformSeek(stream, 0, SEEK_END);
    if (!ok) {
        fprintf(stderr, "Cannot read %s\n", path.c_str());
        return -1;
    }
    for (auto& entry : read.byOrder) {
        JournalRun& run = read.byId[entry.second].second;
        run.newest = entry.first == read.order;
        runs->push_back(std::move(run));
    }
    return 1;
}

// The fields of the line at offset at, or false.
static bool LineAt(FILE* stream, int64_t at, std::vector<std::string>* fields)
{
    bool found = false;
    if (PlatformSeek(stream, at, SEEK_SET) == 0)
        ReadLines(stream, at, 256, [&](const std::vector<std::string>& f, int64_t lineAt) {
            found = lineAt == at;
            *fields = f;
            return false;
        });
    clearerr(stream);
    PlatformSeek(stream, 0, SEEK_END);
    return found;
}

bool LoadJournalMove(FILE* stream, const JournalMoveRef& ref, JournalMove* move)
{
    std::vector<std::string> f;
    long long n = 0;
    return LineAt(stream, ref.at, &f) && MoveFields(f, &n, move) && n == ref.number;
}

bool LoadJournalDir(FILE* stream, int64_t at, std::string* dir)
{
    std::vector<std::string> f;
    if (!LineAt(stream, at, &f) || !DirField(f))
        return false;
    *dir = f[2];
    return true;
}

std::string LocalDateTime()
{
    time_t now = time(nullptr);
    char text[48] = "0000-00-00 00:00:00 +0000";
    const struct tm* got = localtime(&now);
    if (got == nullptr)
        return text;
    struct tm local = *got;
    got = gmtime(&now);
    long offset = 0;
    if (got != nullptr) {
        int days = local.tm_year != got->tm_year ? (local.tm_year > got->tm_year ? 1 : -1)
                                                 : local.tm_yday - got->tm_yday;
        offset = days * 1440L + (local.tm_hour - got->tm_hour) * 60L + (local.tm_min - got->tm_min);
    }
    size_t n = strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    long minutes = offset < 0 ? -offset : offset;
    snprintf(text + n, sizeof text - n, " %c%02ld%02ld", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return text;
}

bool OpenJournal(bool create)
{
    if (UndoJournal.stream != nullptr)
        return true;
    // Read and written untranslated, so that offsets are bytes: each line
    // ends as the system's text files do.
    FILE* stream = OpenOutputFile(UndoJournalName, create ? "a+b" : "r+b", &UndoJournal.path);
    if (stream == nullptr)
        return false;
    UndoJournal.stream = stream;
    // A journal that a crash or a full disk cut within a line gets a line end
    // before this run's first line.
    lineEndDue = PlatformSeek(stream, -1, SEEK_END) == 0 && getc(stream) != '\n';
    clearerr(stream);
    PlatformSeek(stream, 0, SEEK_END);
    return true;
}

bool AppendJournal(const std::string& line)
{
    if (journalBroken)
        return false;
    if (UndoJournal.stream == nullptr) {
        if (!OpenJournal(true)) {
            journalBroken = true;
            return false;
        }
        PlatformLockStream(UndoJournal.stream, 0, 1);
    }
    std::string text = (lineEndDue ? LineEnd : "") + line + LineEnd;
    lineEndDue = false;
    WriteAppendFile(&UndoJournal, text.c_str(), true);
    journalBroken = UndoJournal.failed;
    return !journalBroken;
}

// Writes this run's first line if it is not written yet. Returns false when
// the journal cannot take it.
static bool StartJournalRun()
{
    if (!runId.empty())
        return !journalBroken;
    // The process and the moment it starts writing: no two runs share both.
    uint64_t now = (uint64_t)std::chrono::system_clock::now().time_since_epoch().count();
    char id[32];
    snprintf(id, sizeof id, "%lu-%08x", PlatformProcessId(), (unsigned)(now ^ (now >> 32)));
    std::string line = std::string("run ") + id + " " + LocalDateTime() + " " + QuoteName(StartDirectory);
    for (const std::string& word : ArgumentWords)
        line += " " + QuoteName(word);
    if (!AppendJournal(line))
        return false;
    runId = id;
    return true;
}

uint32_t JournaledCopy(const std::string& id, long number, const std::string& from, const std::string& to,
                       bool back)
{
    const std::string tail = " " + id + " " + std::to_string(number);
    // A taken target is not journaled as a copy begun: a file there that
    // this copy did not make must never be taken for its partial copy.
    uint64_t size = 0;
    int64_t modified = 0;
    if (PlatformFileStamp(to, &size, &modified) == 1)
        return ErrorAlreadyExists;
    if (!AppendJournal((back ? "copyback" : "copy") + tail))
        return ErrorNotJournaled;
    uint32_t error = PlatformCopyFile(from, to);
    if (error != 0) {
        AppendJournal("uncopied" + tail);
        return error;
    }
    // The old name goes only once the whole copy stands, written down.
    error = AppendJournal((back ? "copiedback" : "copied") + tail) ? PlatformRemoveCopy(from, to, 1)
                                                                   : ErrorNotJournaled;
    if (error != 0 && PlatformRemoveCopy(to, from, 1) == 0)
        AppendJournal("uncopied" + tail);
    return error;
}

uint32_t JournaledMove(const char* oldName, const std::string& target)
{
    uint64_t size = 0;
    int64_t modified = 0;
    // Without its size and time the file could not be told again by undo.
    if (PlatformFileStamp(oldName, &size, &modified) != 1)
        return ErrorCannotStamp;
    std::string number = std::to_string(lastMove + 1);
    if (!StartJournalRun() || !AppendJournal("move " + runId + " " + number + " " + QuoteName(oldName) + " " +
                                             QuoteName(target) + " " + std::to_string(size) + " " +
                                             std::to_string(modified)))
        return ErrorNotJournaled;
    lastMove++;
    uint32_t error = PlatformMoveFile(oldName, target);
    // Where the file system can neither rename nor link, the move copies.
    if (error == ErrorNoLinks)
        error = JournaledCopy(runId, lastMove, oldName, target, false);
    if (error == ErrorNotJournaled)
        return error;
    const char* outcome = error == 0                                                          ? "moved"
                          : (error == ErrorAlreadyExists || error == ErrorAccessDenied) ? "taken"
                                                                                          : "failed";
    AppendJournal(std::string(outcome) + " " + runId + " " + number);
    return error;
}

void JournalDirectory(const std::string& dir)
{
    if (StartJournalRun())
        AppendJournal("dir " + runId + " " + QuoteName(dir));
}

void CloseJournal()
{
    SyncAppendFile(&UndoJournal);
    CloseAppendFile(&UndoJournal);
}
