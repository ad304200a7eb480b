// groupinfo.cpp - reading the group information file QuorInfo.cfg into the group table, and the group of a name
#include "groupinfo/groupinfo.h"

#include "catalogue/catalogue.h"
#include "platform/platform.h"
#include "run/options.h"

#include <cstdlib>
#include <cstring>
#include <string>

GroupSlot GroupTable[GroupSlotCount];
int32_t GroupTableLoaded;
std::string GroupDatPath;

constexpr size_t FieldLimit = sizeof(GroupSlot::pattern) - 1;
constexpr size_t ExtensionLimit = 5;

static void ResetSlots()
{
    for (GroupSlot& slot : GroupTable) {
        slot.pattern[0] = '\0';
        slot.directory[0] = '\0';
        slot.extension[0] = '\0';
        slot.listMissing = 1;
    }
    GroupDatPath.clear();
}

void ResetGroupTable()
{
    ResetSlots();
    GroupTableLoaded = 0;
}

// Copies text into a field of limit characters, cutting what does not fit.
static void CopyField(char* field, const std::string& text, size_t limit)
{
    size_t n = text.size() < limit ? text.size() : limit;
    memcpy(field, text.data(), n);
    field[n] = '\0';
}

// Turns a directory text written with "\\" or "/" into native separators
// ending with one, without "." or empty levels (nothing but one separator
// when no level is left). Returns false for a directory that would lead
// outside VBoyRen: absolute, on a drive, or with a ".." level.
static bool NormaliseDirectory(std::string& dir)
{
    // Cut to the field's width first: what is refused is what is stored.
    if (dir.size() > FieldLimit - 1)
        dir.resize(FieldLimit - 1);
    if (!dir.empty() && (dir[0] == '\\' || dir[0] == '/'))
        return false;
    std::string kept;
    std::string level;
    for (size_t i = 0; i <= dir.size(); i++) {
        bool end = i == dir.size() || dir[i] == '\\' || dir[i] == '/';
        if (!end) {
            level += dir[i];
            continue;
        }
        if (level == "..")
            return false;
        if (!level.empty() && level != ".")
            kept += level + PathSeparator;
        level.clear();
    }
    // A drive is an ASCII letter and a colon, also after "." levels.
    bool letter = !kept.empty() && ((kept[0] >= 'A' && kept[0] <= 'Z') || (kept[0] >= 'a' && kept[0] <= 'z'));
    if (letter && kept.size() >= 2 && kept[1] == ':')
        return false;
    dir = kept.empty() ? std::string(1, PathSeparator) : kept;
    return true;
}

// Stores a rule line (which holds a ':') in slot. Returns false when its
// directory is refused.
static bool StoreRule(const char* line, GroupSlot* slot)
{
    const char* colon = strchr(line, ':');
    std::string pattern(line, colon);
    std::string rest;
    for (const char* p = colon + 1; *p != '\0'; p++) {
        unsigned char c = (unsigned char)*p;
        if (c < 32 || c > 127)
            break;
        rest += *p;
    }
    std::string extension;
    int32_t listMissing = 1;
    size_t semi = rest.find(';');
    if (semi != std::string::npos) {
        extension = rest.substr(semi + 1);
        rest.resize(semi);
        size_t second = extension.find(';');
        if (second != std::string::npos) {
            if (second + 1 < extension.size() &&
                (extension[second + 1] == 'N' || extension[second + 1] == 'n'))
                listMissing = 0;
            extension.resize(second);
        }
    }
    if (!NormaliseDirectory(rest))
        return false;
    CopyField(slot->pattern, pattern, FieldLimit);
    CopyField(slot->directory, rest, FieldLimit);
    CopyField(slot->extension, extension.size() <= ExtensionLimit ? extension : std::string(),
              ExtensionLimit);
    slot->listMissing = listMissing;
    return true;
}

void ReadGroupInfo(FILE* stream)
{
    bool inSection = false;
    int rules = 0;
    char line[200];
    while (fgets(line, sizeof line, stream) != nullptr) {
        size_t len = strlen(line);
        // A file written on Windows ends its lines with CR LF; a bounded read
        // may leave the CR at the end of one piece and the LF for the next.
        if (len >= 1 && line[len - 1] == '\r') {
            int next = getc(stream);
            if (next == '\n')
                line[len - 1] = '\n';
            else if (next != EOF)
                ungetc(next, stream);
        }
        if (len >= 2 && line[len - 2] == '\r' && line[len - 1] == '\n') {
            line[len - 2] = '\n';
            line[--len] = '\0';
        }
        if (len < 3 || line[0] == '#')
            continue;
        if (strncmp(line, SystemSection, strlen(SystemSection)) == 0) {
            inSection = true;
            continue;
        }
        if (!inSection)
            continue;
        if (line[0] == '[' && strchr(line, ']') != nullptr && strchr(line + 1, ':') == nullptr) {
            inSection = false;
            continue;
        }
        if (strncmp(line, "KEY=", 4) == 0) {
            SetCrcKey((uint32_t)strtoul(line + 4, nullptr, 16));
            continue;
        }
        // The DAT to use instead of the built-in catalogue; it takes no slot.
        if (strncmp(line, "DAT=", 4) == 0) {
            GroupDatPath.assign(line + 4, strcspn(line + 4, "\n"));
            continue;
        }
        if (strchr(line, ':') != nullptr && StoreRule(line, &GroupTable[rules])) {
            rules++;
            if (rules == GroupSlotCount) {
                fprintf(NoticeStream(), "Only %d patterns allowed!\n", GroupSlotCount);
                break;
            }
            continue;
        }
        fprintf(NoticeStream(), "Cannot interpret \"%s\"\n", line);
    }
}

void LoadGroupInfo()
{
    if (GroupTableLoaded)
        return;
    ResetSlots();
    std::string path = ProgramDirectory + GroupInfoName;
    // It may be a link (an installed package makes it one), but never a pipe
    // or device to wait on.
    FILE* stream = PlatformOpenFile(path, "r", 1);
    if (stream != nullptr) {
        ReadGroupInfo(stream);
        // A file that cannot be read to its end is one that cannot be used:
        // half its rules would sort half the images.
        bool failed = ferror(stream) != 0;
        fclose(stream);
        if (!failed) {
            GroupTableLoaded = 1;
            return;
        }
        ResetSlots();
        SetCrcKey(0);
    }
    fprintf(NoticeStream(), "Cannot open %s Using Defaults\n", path.c_str());
}

int FindGroup(int catalogueIndex)
{
    const char* name = EntryName(catalogueIndex);
    for (int g = 0; g < GroupSlotCount; g++) {
        const char* pattern = GroupTable[g].pattern;
        if (pattern[0] == '\0')
            return -1;
        bool all = true;
        const char* piece = pattern;
        while (all) {
            const char* star = strchr(piece, '*');
            std::string text = star != nullptr ? std::string(piece, star) : std::string(piece);
            if (strstr(name, text.c_str()) == nullptr)
                all = false;
            if (star == nullptr)
                break;
            piece = star + 1;
        }
        if (all)
            return g;
    }
    return -1;
}
