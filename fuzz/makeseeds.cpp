// makeseeds.cpp - writes the fuzz targets' seed corpora: sound and damaged archives, written have lists and databases, argument sets
//
//   quor_fuzz_seeds OUTDIR [--config FILE] [--regressions DIR]
//
// Writes OUTDIR/zip, OUTDIR/havedb, OUTDIR/havelist, OUTDIR/groupinfo and
// OUTDIR/args. The archives come from the tests' ZIP writer with forged-CRC
// images; the have lists and databases are written by the program's own
// writer. --config adds a group information file to the groupinfo corpus;
// --regressions decodes the kept findings (DIR/TARGET/*.hex, *.b64) into the
// corpora as raw files, so that libFuzzer starts from them too.
#include "inputs.h"

#include "support.h"
#include "zipwriter.h"

#include "catalogue/catalogue.h"
#include "platform/platform.h"
#include "reports/reports.h"
#include "run/imagebuffer.h"
#include "run/options.h"
#include "run/outputfile.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path outDir;
int written = 0;

void Put(const std::string& target, const std::string& name, const std::string& bytes)
{
    fs::create_directories(outDir / target);
    test::WriteFile((outDir / target / name).string(), bytes);
    written++;
}

// An image of size bytes that deflates to almost nothing: one repeated byte,
// the Virtual Boy mark in its header window, and four bytes forged so that
// its CRC-32 is crc.
std::string PlainImage(uint32_t size, uint32_t crc)
{
    std::string bytes(size, '\x55');
    size_t window = size - 544;
    bytes[window] = 'V';
    bytes[window + 3] = 'E';
    test::ForgeCrc(bytes, crc, 0);
    return bytes;
}

void ZipSeeds()
{
    const uint32_t tetris = test::CatalogueCrcOf("3D Tetris (U)");
    const uint32_t golf = test::CatalogueCrcOf("Golf (U)");
    const std::string image = PlainImage(8192, tetris);
    const std::string text = "A small member that is not an image.\n";

    auto put = [](const std::string& name, test::ZipWriter& zip) { Put("zip", name + ".zip", zip.Bytes()); };
    // An archive of one member, damaged by change after its layout.
    auto one = [&](const std::string& name, const std::string& data, uint16_t method,
                   const std::function<void(test::ZipWriter&)>& damage) {
        test::ZipWriter zip;
        zip.Add("game.vb", data, method);
        zip.Layout();
        if (damage)
            damage(zip);
        put(name, zip);
    };

    one("stored-image", image, test::ZipStored, nullptr);
    one("deflated-image", image, test::ZipDeflated, nullptr);
    one("deflated-random-image", test::MakeImageWithCrc(8192, golf, 3), test::ZipDeflated, nullptr);
    one("stored-text", text, test::ZipStored, nullptr);
    one("deflated-text", text, test::ZipDeflated, nullptr);
    one("stored-sizes-differ", text, test::ZipStored, [](test::ZipWriter& z) { z.Central(0).uncompressedSize += 1; });
    one("inflates-past-size", text, test::ZipDeflated, [](test::ZipWriter& z) { z.Central(0).uncompressedSize -= 5; });
    one("inflates-short-of-size", text, test::ZipDeflated, [](test::ZipWriter& z) { z.Central(0).uncompressedSize += 5; });
    one("compressed-size-short", image, test::ZipDeflated, [](test::ZipWriter& z) { z.Central(0).compressedSize /= 2; });
    one("compressed-size-zero", text, test::ZipDeflated, [](test::ZipWriter& z) { z.Central(0).compressedSize = 0; });
    one("compressed-size-long", text, test::ZipDeflated, [](test::ZipWriter& z) { z.Central(0).compressedSize += 40; });
    one("method-bzip2", text, test::ZipDeflated, [](test::ZipWriter& z) { z.Central(0).method = 12; });
    one("version-too-new", text, test::ZipDeflated, [](test::ZipWriter& z) { z.Central(0).versionNeeded = 21; });
    one("system-not-zero", text, test::ZipDeflated, [](test::ZipWriter& z) { z.Central(0).systemNeeded = 3; });
    one("member-on-disk-1", text, test::ZipDeflated, [](test::ZipWriter& z) { z.Central(0).diskNumberStart = 1; });
    one("local-offset-huge", text, test::ZipStored, [](test::ZipWriter& z) { z.Central(0).localHeaderOffset = 0xffffff00; });
    one("local-extra-huge", text, test::ZipDeflated, [](test::ZipWriter& z) { z.Local(0).extraLength = 0xffff; });
    one("name-length-huge", text, test::ZipStored, [](test::ZipWriter& z) { z.Central(0).nameLength = 0xffff; });
    one("directory-size-huge", text, test::ZipStored, [](test::ZipWriter& z) { z.End().directorySize = 0xfffffff0; });
    one("directory-offset-huge", text, test::ZipStored, [](test::ZipWriter& z) { z.End().directoryOffset = 0xfffffff0; });
    one("no-entries", text, test::ZipStored, [](test::ZipWriter& z) { z.End().totalEntries = z.End().entriesOnDisk = 0; });
    one("two-disks", text, test::ZipStored, [](test::ZipWriter& z) { z.End().thisDisk = 1; });
    one("entries-disagree", text, test::ZipStored, [](test::ZipWriter& z) { z.End().totalEntries = 2; });
    one("not-deflate", text, test::ZipDeflated, [](test::ZipWriter& z) { z.Packed(0) = std::string(40, '\xff'); });
    one("crc-of-known-member", text, test::ZipStored, [&](test::ZipWriter& z) { z.Central(0).crc32 = golf; });

    {
        test::ZipWriter zip;
        zip.Add("a.vb", image, test::ZipDeflated);
        zip.Add("b.vb", PlainImage(8192, golf), test::ZipStored);
        put("two-images", zip);
    }
    {
        test::ZipWriter zip;
        zip.Add("readme.txt", text, test::ZipDeflated);
        zip.Add("emu.exe", "MZ", test::ZipStored);
        zip.Add("game.vb", image, test::ZipDeflated);
        put("image-and-exe", zip);
    }
    {
        test::ZipWriter zip;
        zip.Add("first.txt", "one", test::ZipStored).centralExtra = std::string(30, 'e');
        zip.Add("", "nameless", test::ZipStored).comment = "c";
        zip.Add("third.vb", image, test::ZipDeflated).comment = std::string(20, 'k');
        put("extras-and-comments", zip);
    }
    {
        test::ZipWriter zip;
        zip.Add("game.vb", image, test::ZipDeflated);
        zip.archiveComment = std::string(3000, 'c');
        put("long-comment", zip);
    }
    {
        test::ZipWriter zip;
        zip.prefix = std::string(100, 'p');
        zip.trailing = "trailing";
        zip.Add("game.vb", text, test::ZipStored);
        put("prefix-and-trailing", zip);
    }
    {
        test::ZipWriter zip;
        zip.Add("game.vb", image, test::ZipDeflated);
        zip.keep = zip.Bytes().size() / 2;
        put("cut-in-half", zip);
    }
    {
        test::ZipWriter zip;
        zip.Add("game.vb", text, test::ZipStored);
        Put("zip", "end-record-only.zip", zip.Bytes().substr(zip.EndStart()));
    }
    Put("zip", "empty.zip", "");
}

// Writes the have list and database the program writes for these counts,
// through its own writer, in a work folder inside the corpus folder.
void WrittenLists(const std::string& name, const std::vector<int>& had)
{
    fs::path work = outDir / ".work";
    fs::create_directories(work);
    StartDirectory = work.string();
    ProgramDirectory = StartDirectory + PathSeparator;
    ResetRunOptions();
    ResetCatalogue();
    for (int i = 0; i < KnownRomCount; i++)
        CatalogueCrcs[i] = (uint32_t)strtoul(std::string(KnownRomTable[i], 8).c_str(), nullptr, 16);
    for (int i : had)
        CopyCounts[i]++;
    WriteMissList();
    WriteHaveList();
    std::string list = test::ReadFile((work / HaveListName).string());
    std::string crlf;
    for (char c : list) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    Put("havelist", name + ".txt", list);
    Put("havelist", name + "-crlf.txt", crlf);
    Put("havelist", name + "-miss.txt", test::ReadFile((work / MissListName).string()));
    std::string db = test::ReadFile((work / HaveDatabaseName).string());
    Put("havedb", name + ".db", db);
    if (db.size() > 9)
        Put("havedb", name + "-cut.db", db.substr(0, db.size() - 2));
    fs::remove_all(work);
}

void ListSeeds()
{
    WrittenLists("one-entry", {23});
    WrittenLists("two-entries", {0, 23});
    WrittenLists("duplicates", {8, 8, 36, 36, 36});
    std::vector<int> all;
    for (int i = 0; i < KnownRomCount; i++)
        all.push_back(i);
    WrittenLists("everything", all);
    Put("havedb", "header-only.db", std::string("QUOR\0\0\0\x13", 8));
    Put("havedb", "system-0113.db", std::string("QUOR\0\0\x01\x13\x36\x10\x30\x00", 12));
    Put("havedb", "system-0012.db", std::string("QUOR\0\0\0\x12\x36\x10\x30\x00", 12));
    Put("havedb", "foreign.db", std::string("ROUQ\0\0\0\x13\x36\x10\x30\x00", 12));
    Put("havedb", "unknown-crcs.db", std::string("QUOR\0\0\0\x13\x01\x02\x03\x04\xff\xff\xff\xff", 16));
    Put("havedb", "empty.db", "");
}

void ArgumentSeeds()
{
    const std::vector<std::vector<std::string>> sets = {
        {"rename"}, {"move", "rename"}, {"list", "quiet"}, {"listd"}, {"rename", "dirs", "sep_"},
        {"rename", "nosep", "F00003"}, {"sep_", "nosep"}, {"scannewd", "deep"}, {"scand"},
        {"changesnew-"}, {"changes-", "changesnew"}, {"audit2"}, {"audit5"}, {"nodb", "list"},
        {"convert", "list"}, {"VxxxxxN"}, {"MxxxxxxxS"}, {"sepn"}, {"RENAME", "Dirs"}, {""},
    };
    int n = 0;
    for (const std::vector<std::string>& set : sets) {
        std::string bytes;
        for (size_t i = 0; i < set.size(); i++) {
            if (i > 0)
                bytes += '\0';
            bytes += set[i];
        }
        Put("args", "set-" + std::to_string(n++), bytes);
    }
}

// Decodes the kept findings of every target into its corpus.
bool RegressionSeeds(const fs::path& dir)
{
    std::error_code ec;
    for (const fs::directory_entry& target : fs::directory_iterator(dir, ec)) {
        if (!target.is_directory())
            continue;
        std::vector<fuzz::SavedInput> inputs;
        if (!fuzz::CollectInputs({target.path().string()}, &inputs))
            return false;
        for (const fuzz::SavedInput& input : inputs)
            Put(target.path().filename().string(), "regression-" + fs::path(input.path).stem().string(), input.bytes);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: quor_fuzz_seeds OUTDIR [--config FILE] [--regressions DIR]\n");
        return 2;
    }
    outDir = fs::absolute(argv[1]);
    std::string config;
    std::string regressions;
    for (int i = 2; i + 1 < argc; i += 2) {
        std::string option = argv[i];
        if (option == "--config")
            config = argv[i + 1];
        else if (option == "--regressions")
            regressions = argv[i + 1];
    }
    std::error_code ec;
    fs::remove_all(outDir, ec);
    fs::create_directories(outDir);

    ZipSeeds();
    ListSeeds();
    ArgumentSeeds();
    if (!config.empty() && fs::is_regular_file(config, ec))
        Put("groupinfo", "QuorInfo.cfg", test::ReadFile(config));
    if (!regressions.empty() && fs::is_directory(regressions, ec) && !RegressionSeeds(regressions))
        return 1;
    fflush(stdout);
    fprintf(stderr, "wrote %d seeds in %s\n", written, outDir.string().c_str());
    return 0;
}
