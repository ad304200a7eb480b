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

AppendFile UndoJournal(UndoJournalName);

// This run's identity in the journal (empty until its first line), its last
// move number, and whether a line failed (then no further move is made).
static std::string runId;
static long lastMove;
static bool journalBroken;

void ResetJournal()
{
    ResetAppendFile(&UndoJournal);
    runId.clear();
    lastMove = 0;
    journalBroken = false;
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

// Applies one record (not a run's first line) to the run it names.
static void ReadRecord(const std::vector<std::string>& f, JournalRun* run)
{
    long long n = 0;
    if (f[0] == "dir" && f.size() == 3 && SafeJournalPath(f[2], false)) {
        run->dirs.push_back(f[2]);
    } else if (f[0] == "move" && f.size() == 7 && ParseNumber(f[2], &n)) {
        long long size = 0, modified = 0;
        if (!ParseNumber(f[5], &size) || !ParseNumber(f[6], &modified) || !SafeJournalPath(f[3], true) ||
            !SafeJournalPath(f[4], false))
            return;
        JournalMove& move = run->moves[(long)n];
        move.oldName = f[3];
        move.target = f[4];
        move.size = (uint64_t)size;
        move.modified = (int64_t)modified;
    } else if ((f[0] == "moved" || f[0] == "taken" || f[0] == "failed" || f[0] == "back") && f.size() == 3 &&
               ParseNumber(f[2], &n) && run->moves.count((long)n) != 0) {
        JournalMove& move = run->moves[(long)n];
        if (f[0] == "back")
            move.back = true;
        else
            move.outcome = f[0];
    } else if (f[0] == "undone") {
        run->undone = true;
    }
}

// Reads the lines of one journal file onto lines. Returns 1; 0 when there is
// none; -1 after "Cannot read %s" when it is there but could not be read.
static int ReadJournalFile(const std::string& path, std::vector<std::vector<std::string>>* lines)
{
    FILE* stream = PlatformOpenFile(path, "r", 0);
    if (stream == nullptr) {
        uint64_t size = 0;
        int64_t modified = 0;
        if (PlatformFileStamp(path, &size, &modified) == 0)
            return 0;
        fprintf(stderr, "Cannot read %s\n", path.c_str());
        return -1;
    }
    std::string line;
    char piece[4096];
    while (fgets(piece, sizeof piece, stream) != nullptr) {
        line += piece;
        if (line.back() != '\n' && !feof(stream))
            continue;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        std::vector<std::string> fields;
        if (SplitLine(line, &fields) && !fields.empty())
            lines->push_back(fields);
        line.clear();
    }
    bool failed = ferror(stream) != 0;
    fclose(stream);
    if (failed) {
        fprintf(stderr, "Cannot read %s\n", path.c_str());
        return -1;
    }
    return 1;
}

int ReadJournal(std::vector<JournalRun>* runs)
{
    // A run whose journal could not be created in the start folder wrote it
    // in the fallback folder: both are read, as one.
    std::vector<std::vector<std::string>> lines;
    int found = 0;
    for (const std::string& path : OutputFilePlaces(UndoJournalName)) {
        int result = ReadJournalFile(path, &lines);
        if (result < 0)
            return -1;
        found |= result;
    }
    std::map<std::string, size_t> byId;
    for (const std::vector<std::string>& f : lines) {
        if (f[0] != "run" || f.size() < 5 || byId.count(f[1]) != 0)
            continue;
        byId[f[1]] = runs->size();
        JournalRun run;
        run.id = f[1];
        run.when = f[2] + " " + f[3];
        run.start = f[4];
        runs->push_back(run);
    }
    for (const std::vector<std::string>& f : lines) {
        auto named = f.size() >= 2 ? byId.find(f[1]) : byId.end();
        if (f[0] != "run" && named != byId.end())
            ReadRecord(f, &(*runs)[named->second]);
    }
    std::stable_sort(runs->begin(), runs->end(),
                     [](const JournalRun& a, const JournalRun& b) { return a.when < b.when; });
    return found;
}

std::string LocalDateTime()
{
    time_t now = time(nullptr);
    char text[32] = "0000-00-00 00:00:00";
    if (const struct tm* local = localtime(&now))
        strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
    return text;
}

bool OpenJournal()
{
    if (UndoJournal.stream != nullptr)
        return true;
    if (OpenAppendFile(&UndoJournal) == nullptr)
        return false;
    PlatformLockStream(UndoJournal.stream, 0, 1);
    return true;
}

bool AppendJournal(const std::string& line)
{
    if (journalBroken)
        return false;
    if (!OpenJournal()) {
        journalBroken = true;
        return false;
    }
    std::string text = line + "\n";
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
