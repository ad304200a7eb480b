// zip.cpp - a small reader of single-disk ZIP archives: the end record, the central directory, stored and deflated members
#include "intake/intake.h"

#include "platform/platform.h"
#include "run/options.h"

#include <cstring>
#include <new>
#include <vector>
#include <zlib.h>

AppendFile ZipLog(ZipLogName);

constexpr uint32_t EndRecordSize = 22;
constexpr uint32_t DirEntrySize = 46;
constexpr uint32_t LocalHeaderSize = 30;
constexpr uint32_t FirstWindow = 1024;
// The end record with the longest comment it can have.
constexpr uint32_t LongestRecord = EndRecordSize + 0xFFFF;
constexpr int64_t SearchChunk = 65536;
// The directory is read this much at a time: room for the largest entry's
// fixed part and name (46 + 65,535 bytes) with plenty to spare.
constexpr uint32_t DirectoryWindow = 0x20000;
constexpr uint32_t InflateChunk = 16384;

static const char FilesystemCorrupt[] = "Your filesystem seems to be corrupt, please check it";
static const char ZipCorrupt[] = "The zipfile seems to be corrupt, please check it";
static const char ZipUnsupported[] = "The format of this zipfile is not supported, please recompress it";

static uint16_t Get16(const unsigned char* p)
{
    return (uint16_t)(p[0] | (p[1] << 8));
}

static uint32_t Get32(const unsigned char* p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

void ReportZipError(const char* detail, const char* message, const char* path)
{
    printf("Error in zipfile %s\n%s\n", path, message);
    if (OpenAppendFile(&ZipLog) == nullptr)
        return;
    std::string line = std::string("Error in zipfile ") + path + ": " + detail + "\n";
    WriteAppendFile(&ZipLog, line.c_str());
}

void CloseZipLog()
{
    CloseAppendFile(&ZipLog);
}

// Sizes a buffer, saying whether the memory could be had.
template <typename Buffer> static bool Fit(Buffer& buffer, size_t size)
{
    try {
        buffer.resize(size);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// Reports a failure of ZipOpen and releases what it had.
static ZipArchive* FailOpen(ZipArchive* archive, const char* detail, const char* message)
{
    ReportZipError(detail, message, archive->path.c_str());
    ZipClose(archive);
    return nullptr;
}

// Finds the end record: the last signature that has a whole record's room
// behind it, searched backwards from the file's end in bounded chunks so that
// a damaged or foreign file never costs more memory than one chunk. Returns
// 1 with archive->endRecord holding the record and the comment room behind it.
static int FindEndRecord(ZipArchive* archive)
{
    if (archive->length < (int64_t)EndRecordSize)
        return 0;
    std::vector<unsigned char> buf;
    int64_t hi = archive->length - EndRecordSize;  // last position a record can start at
    int64_t found = -1;
    int64_t chunk = FirstWindow;
    while (hi >= 0 && found < 0) {
        int64_t lo = hi + 1 > chunk ? hi + 1 - chunk : 0;
        if (!Fit(buf, (size_t)(hi - lo + 4)) || PlatformSeek(archive->file, lo, SEEK_SET) != 0 ||
            fread(buf.data(), 1, buf.size(), archive->file) != buf.size())
            return 0;
        for (int64_t p = hi; p >= lo; p--) {
            const unsigned char* b = &buf[(size_t)(p - lo)];
            if (b[0] == 'P' && b[1] == 'K' && b[2] == 5 && b[3] == 6) {
                found = p;
                break;
            }
        }
        hi = lo - 1;
        if (chunk < SearchChunk)
            chunk *= 2;
    }
    if (found < 0)
        return 0;
    int64_t keep = archive->length - found;
    if (keep > (int64_t)LongestRecord)
        keep = LongestRecord;
    if (!Fit(archive->endRecord, (size_t)keep) || PlatformSeek(archive->file, found, SEEK_SET) != 0 ||
        fread(&archive->endRecord[0], 1, (size_t)keep, archive->file) != (size_t)keep)
        return 0;
    return 1;
}

// Reads the directory from offset start on into the window, as much as it
// holds. Returns 1, or 0 when it cannot be read.
static int LoadWindow(ZipArchive* archive, uint32_t start)
{
    uint32_t want = archive->directorySize - start;
    if (want > DirectoryWindow)
        want = DirectoryWindow;
    archive->windowStart = start;
    archive->window.resize(want);  // never beyond the capacity reserved at the opening
    if (want == 0)
        return 1;
    if (PlatformSeek(archive->file, (int64_t)archive->directoryOffset + start, SEEK_SET) != 0 ||
        fread(&archive->window[0], 1, want, archive->file) != want) {
        archive->window.clear();
        return 0;
    }
    return 1;
}

ZipArchive* ZipOpen(const char* path)
{
    ZipArchive* archive = new (std::nothrow) ZipArchive;
    if (archive == nullptr)
        return nullptr;
    archive->path = path;
    archive->file = PlatformOpenFile(path, "rb", 0);
    if (archive->file == nullptr)
        return FailOpen(archive, "Opening for reading", FilesystemCorrupt);
    if (PlatformSeek(archive->file, 0, SEEK_END) != 0)
        return FailOpen(archive, "Seeking to end", FilesystemCorrupt);
    archive->length = PlatformTell(archive->file);
    if (archive->length < 0)
        return FailOpen(archive, "Get file size", FilesystemCorrupt);
    if (archive->length == 0)
        return FailOpen(archive, "Empty file", ZipCorrupt);
    if (!FindEndRecord(archive))
        return FailOpen(archive, "Reading ECD (end of central directory)", ZipCorrupt);

    const unsigned char* e = (const unsigned char*)archive->endRecord.data();
    archive->endSignature = Get32(e);
    archive->thisDisk = Get16(e + 4);
    archive->directoryDisk = Get16(e + 6);
    archive->entriesOnDisk = Get16(e + 8);
    archive->totalEntries = Get16(e + 10);
    archive->directorySize = Get32(e + 12);
    archive->directoryOffset = Get32(e + 16);
    archive->commentLength = Get16(e + 20);
    if (archive->thisDisk != archive->directoryDisk ||
        archive->entriesOnDisk != archive->totalEntries || archive->totalEntries < 1)
        return FailOpen(archive, "Cannot span disks", ZipUnsupported);

    // The directory must lie inside the file before its size is trusted.
    if ((int64_t)archive->directoryOffset + (int64_t)archive->directorySize > archive->length)
        return FailOpen(archive, "Reading central directory", ZipCorrupt);
    if (PlatformSeek(archive->file, archive->directoryOffset, SEEK_SET) != 0)
        return FailOpen(archive, "Seeking to central directory", ZipCorrupt);
    uint32_t room = archive->directorySize < DirectoryWindow ? archive->directorySize : DirectoryWindow;
    try {
        archive->window.reserve(room);
    } catch (const std::bad_alloc&) {
        return FailOpen(archive, "Reading central directory", ZipCorrupt);
    }
    if (!LoadWindow(archive, 0))
        return FailOpen(archive, "Reading central directory", ZipCorrupt);
    archive->readPosition = 0;
    return archive;
}

ZipEntry* ZipNextEntry(ZipArchive* archive)
{
    uint64_t pos = archive->readPosition;
    uint64_t size = archive->directorySize;
    if (pos >= size || archive->entriesRead >= archive->totalEntries)
        return nullptr;
    if (pos + DirEntrySize > size) {
        ReportZipError("Invalid filename length in directory", ZipCorrupt, archive->path.c_str());
        return nullptr;
    }
    // The entry's fixed part and then its name must lie in the window; a
    // window read from the entry's start holds both.
    for (int pass = 0; pass < 2; pass++) {
        uint64_t need = DirEntrySize;
        if (pass == 1) {
            need += Get16((const unsigned char*)archive->window.data() + (pos - archive->windowStart) + 28);
            if (pos + need > size) {
                ReportZipError("Invalid filename length in directory", ZipCorrupt, archive->path.c_str());
                return nullptr;
            }
        }
        if (pos >= archive->windowStart && pos + need <= archive->windowStart + (uint64_t)archive->window.size())
            continue;
        if (!LoadWindow(archive, (uint32_t)pos)) {
            ReportZipError("Reading central directory", ZipCorrupt, archive->path.c_str());
            archive->readPosition = archive->directorySize;
            return nullptr;
        }
    }
    const unsigned char* d = (const unsigned char*)archive->window.data() + (pos - archive->windowStart);
    ZipEntry& z = archive->entry;
    z.signature = Get32(d);
    z.versionMadeBy = d[4];
    z.hostSystem = d[5];
    z.versionNeeded = d[6];
    z.systemNeeded = d[7];
    z.flags = Get16(d + 8);
    z.method = Get16(d + 10);
    z.modTime = Get16(d + 12);
    z.modDate = Get16(d + 14);
    z.crc32 = Get32(d + 16);
    z.compressedSize = Get32(d + 20);
    z.uncompressedSize = Get32(d + 24);
    z.nameLength = Get16(d + 28);
    z.extraLength = Get16(d + 30);
    z.commentLength = Get16(d + 32);
    z.diskNumberStart = Get16(d + 34);
    z.internalAttributes = Get16(d + 36);
    z.externalAttributes = Get32(d + 38);
    z.localHeaderOffset = Get32(d + 42);
    z.name.assign((const char*)d + DirEntrySize, z.nameLength);
    // A name is a NUL-terminated text: anything after an embedded NUL is not part of it.
    z.name.resize(strlen(z.name.c_str()));
    uint64_t next = pos + DirEntrySize + z.nameLength + z.extraLength + z.commentLength;
    archive->readPosition = next > size ? (uint32_t)size : (uint32_t)next;
    archive->entriesRead++;
    return &z;
}

int ZipSeekData(ZipArchive* archive, ZipEntry* entry)
{
    const char* path = archive->path.c_str();
    int64_t header = entry->localHeaderOffset;
    if (header > archive->length || PlatformSeek(archive->file, header, SEEK_SET) != 0) {
        ReportZipError("Seeking to header", ZipCorrupt, path);
        return -1;
    }
    unsigned char local[LocalHeaderSize];
    if (fread(local, 1, LocalHeaderSize, archive->file) != LocalHeaderSize) {
        ReportZipError("Reading header", ZipCorrupt, path);
        return -1;
    }
    int64_t data = header + LocalHeaderSize + Get16(local + 26) + Get16(local + 28);
    if (data + (int64_t)entry->compressedSize > archive->length ||
        PlatformSeek(archive->file, data, SEEK_SET) != 0) {
        ReportZipError("Seeking to compressed data", ZipCorrupt, path);
        return -1;
    }
    return 0;
}

// Writes an inflate detail line to the log, only when it is already open.
static void LogDetail(const char* format, int value)
{
    if (ZipLog.stream == nullptr)
        return;
    char line[64];
    snprintf(line, sizeof line, format, value);
    WriteAppendFile(&ZipLog, line);
}

// Inflates the member's raw deflate stream into buffer, which has room for
// exactly its uncompressed size. Returns 0, or -1 after logging the detail.
static int InflateMember(ZipArchive* archive, ZipEntry* entry, unsigned char* buffer)
{
    z_stream stream;
    memset(&stream, 0, sizeof stream);
    stream.next_out = buffer;
    stream.avail_out = entry->uncompressedSize;
    int result = inflateInit2(&stream, -MAX_WBITS);
    if (result != Z_OK) {
        LogDetail("inflateInit error: %d\n", result);
        return -1;
    }
    std::vector<unsigned char> input(InflateChunk);
    uint32_t remaining = entry->compressedSize;
    if (remaining == 0) {
        LogDetail("inflate error: compressed size too small\n", 0);
        inflateEnd(&stream);
        return -1;
    }
    for (;;) {
        uInt want = remaining < InflateChunk ? remaining : InflateChunk;
        size_t got = fread(input.data(), 1, want, archive->file);
        if (got == 0) {
            LogDetail("inflate error: %d\n", Z_BUF_ERROR);
            inflateEnd(&stream);
            return -1;
        }
        remaining -= (uint32_t)got;
        stream.next_in = input.data();
        stream.avail_in = (uInt)got;
        result = inflate(&stream, Z_NO_FLUSH);
        if (result == Z_STREAM_END)
            break;
        if (result != Z_OK) {
            LogDetail("inflate error: %d\n", result);
            inflateEnd(&stream);
            return -1;
        }
        // The stream wants more than the member holds (or more room than its
        // declared size gives).
        if (remaining == 0) {
            LogDetail("inflate error: compressed size too small\n", 0);
            inflateEnd(&stream);
            return -1;
        }
    }
    result = inflateEnd(&stream);
    if (result != Z_OK) {
        LogDetail("inflateEnd error: %d\n", result);
        return -1;
    }
    if (stream.avail_out != 0 || remaining != 0) {
        LogDetail("zip size mismatch. %i\n", (int)remaining);
        return -1;
    }
    return 0;
}

int ZipReadEntry(ZipArchive* archive, ZipEntry* entry, unsigned char* buffer)
{
    const char* path = archive->path.c_str();
    if (entry->method == 0) {
        if (entry->compressedSize != entry->uncompressedSize) {
            ReportZipError("Wrong uncompressed size in store compression", ZipCorrupt, path);
            return -3;
        }
        if (ZipSeekData(archive, entry) != 0)
            return -1;
        if (fread(buffer, 1, entry->compressedSize, archive->file) != entry->compressedSize) {
            ReportZipError("Reading compressed data", ZipCorrupt, path);
            return -1;
        }
        return 0;
    }
    if (entry->method == 8) {
        if (entry->versionNeeded > 20) {
            ReportZipError("Version too new", ZipUnsupported, path);
            return -2;
        }
        if (entry->systemNeeded != 0) {
            ReportZipError("OS not supported", ZipUnsupported, path);
            return -2;
        }
        if (entry->diskNumberStart != archive->thisDisk) {
            ReportZipError("Cannot span disks", ZipUnsupported, path);
            return -2;
        }
        if (ZipSeekData(archive, entry) != 0)
            return -1;
        if (InflateMember(archive, entry, buffer) != 0) {
            ReportZipError("Inflating compressed data", ZipCorrupt, path);
            return -3;
        }
        return 0;
    }
    ReportZipError("Compression method unsupported", ZipUnsupported, path);
    return -2;
}

void ZipClose(ZipArchive* archive)
{
    if (archive == nullptr)
        return;
    if (archive->file != nullptr)
        fclose(archive->file);
    delete archive;
}
