// core_readonly_test.cpp - runs where files cannot be opened or created: images that cannot be read, read-only folders
#include "support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// Whether file permissions hold for this process (they do not for root).
bool PermissionsHold(const std::string& scratchRoot)
{
    fs::path probe = fs::path(scratchRoot) / "probe";
    fs::create_directory(probe);
    fs::permissions(probe, fs::perms::owner_read | fs::perms::owner_exec);
    bool created = std::ofstream(probe / "file").is_open();
    fs::permissions(probe, fs::perms::owner_all);
    fs::remove_all(probe);
    return !created;
}

std::string SetprivPath()
{
    for (const char* candidate : {"/usr/bin/setpriv", "/bin/setpriv"})
        if (fs::exists(candidate))
            return candidate;
    return "";
}

// Runs the scratch folder's program as a user for whom permissions hold: this
// process's user when they hold for it, else the unprivileged user "nobody"
// through setpriv. HOME (the stand-in for drive C:) is the scratch home.
// Sets skipReason when neither is possible.
test::RunResult RunUnprivileged(const test::Scratch& s, const std::vector<std::string>& args,
                                std::string* skipReason)
{
    test::RunResult result;
    fs::path io = fs::path(s.root) / "io";
    fs::create_directories(io);
    fs::permissions(io, fs::perms::all);
    std::string in = (io / "in").string(), out = (io / "out").string(), err = (io / "err").string();
    test::WriteFile(in, "");
    std::string home = test::Join(s.root, "home");
    std::string exe = test::Join(s.program, "QuorVBoy");

    std::vector<std::string> command = {"HOME=" + home, exe};
    command.insert(command.end(), args.begin(), args.end());
    std::string runner = "/usr/bin/env";
    if (!PermissionsHold(s.root)) {
        std::string setpriv = SetprivPath();
        if (setpriv.empty()) {
            *skipReason = "running with every permission and no setpriv to drop them: cannot test read-only folders";
            return result;
        }
        command.insert(command.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", "/usr/bin/env"});
        runner = setpriv;
    }
    result.status = test::SpawnProgram(runner, command, s.collection, in, out, err);
    result.out = test::ReadFile(out);
    result.err = test::ReadFile(err);
    return result;
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        n++;
    return n;
}

// Every "Cannot create" line of the text, each checked to appear once.
std::vector<std::string> CannotCreateLinesOnce(const std::string& err)
{
    std::vector<std::string> lines;
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Cannot create ", 0) != 0)
            continue;
        EXPECT_EQ(Count(err, line + "\n"), 1u) << "repeated: " << line;
        lines.push_back(line);
    }
    return lines;
}

void MakeReadOnly(const std::string& dir)
{
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
}

class CoreReadOnly : public ::testing::Test {
protected:
    void SetUp() override
    {
#ifdef _WIN32
        GTEST_SKIP() << "read-only folders are tested on POSIX systems";
#endif
        test::WriteFile(test::Join(s.program, "QuorInfo.cfg"), "[VBoy]\n");
        Image("Golf (U).vb", 0x2199af41);
        Image("golf copy.vb", 0x2199af41, 2);
        Image("Teleroboxer.vb", 0x36103000);
        Image("unknown one.vb", 0x01020304);
        Image("unknown two.vb", 0x05060708);
        Image("sub/deeper.vb", 0x0a0b0c0d);
    }

    void Image(const std::string& path, uint32_t crc, uint32_t seed = 1)
    {
        test::WriteFile(test::Join(s.collection, path), test::MakeImageWithCrc(8192, crc, seed));
    }

    test::Scratch s;
};

TEST_F(CoreReadOnly, NothingCanBeCreatedAnywhere)
{
    const std::string home = test::Join(s.root, "home");
    for (const std::string& dir : {test::Join(s.collection, "sub"), s.collection, s.program, home})
        MakeReadOnly(dir);
    const auto collection = test::Snapshot(s.collection);
    const auto program = test::Snapshot(s.program);

    struct {
        std::vector<std::string> args;
        std::vector<std::string> mustReport;
    } runs[] = {
        {{"scan"}, {"Cannot create VAvuDevo.zid"}},
        {{"scand", "deep"}, {"Cannot create VAvuDevo.zid"}},
        {{"list"}, {}},
        {{"rename", "changes"}, {}},
        {{"move", "changes-"}, {}},
    };
    for (const auto& run : runs) {
        std::string skip;
        test::RunResult r = RunUnprivileged(s, run.args, &skip);
        if (!skip.empty())
            GTEST_SKIP() << skip;
        const std::string what = run.args[0];
        EXPECT_EQ(r.status, 0) << what;
        std::vector<std::string> reported = CannotCreateLinesOnce(r.err);
        for (const std::string& line : run.mustReport)
            EXPECT_NE(std::find(reported.begin(), reported.end(), line), reported.end())
                << what << ": no \"" << line << "\" in:\n" << r.err;
        EXPECT_EQ(r.err.find("Using default log"), std::string::npos) << what;
        // The walk went on: the images were all seen.
        EXPECT_NE(r.out.find("Scanning "), std::string::npos) << what << ":\n" << r.out;
        // No image lost or changed, nothing written anywhere.
        EXPECT_EQ(test::Snapshot(s.collection), collection) << what;
        EXPECT_EQ(test::Snapshot(s.program), program) << what;
        EXPECT_TRUE(test::Snapshot(home).empty()) << what;
    }
}

TEST_F(CoreReadOnly, ImagesThatCannotBeOpenedAreReportedAndSkipped)
{
    test::WriteFile(test::Join(s.collection, "locked.vb"), test::MakeImageWithCrc(8192, 0x81af4d6d));
    test::WriteFile(test::Join(s.collection, "tiny locked.vb"), "too short");
    fs::permissions(test::Join(s.collection, "locked.vb"), fs::perms::none);
    fs::permissions(test::Join(s.collection, "tiny locked.vb"), fs::perms::none);
    // The listing must be creatable by whoever runs the program.
    fs::permissions(s.collection, fs::perms::all);

    std::string skip;
    test::RunResult r = RunUnprivileged(s, {"scan"}, &skip);
    if (!skip.empty())
        GTEST_SKIP() << skip;
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Count(r.err, "Cannot open locked.vb\n"), 1u) << r.err;
    // The open comes before the size test.
    EXPECT_EQ(Count(r.err, "Cannot open tiny locked.vb\n"), 1u) << r.err;
    EXPECT_EQ(r.out.find("Unrecognized"), std::string::npos) << r.out;
    // The readable images are still listed; the locked ones are not.
    std::string listing = test::ReadFile(test::Join(s.collection, "VAvuDevo.zid"));
    EXPECT_EQ(Count(listing, "\n"), 5u) << listing;
    EXPECT_EQ(listing.find("locked"), std::string::npos) << listing;
    EXPECT_NE(listing.find("\"2199af41 golf copy\",\n"), std::string::npos) << listing;
}

}  // namespace
