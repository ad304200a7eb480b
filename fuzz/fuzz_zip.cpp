// fuzz_zip.cpp - fuzz target: the ZIP reader over any bytes, driven the way intake drives it
//
// Each input is written to a temporary ".zip" file. The reader opens it,
// every directory entry is walked, and every member whose declared size an
// image could have is read into a buffer of exactly that size, so that a
// byte written past it is caught. Then intake itself takes the same file, as
// a run with no mode would: survey, second open, read and identification.
#include "fuzz.h"

#include "identify/identify.h"
#include "intake/intake.h"
#include "platform/platform.h"
#include "run/imagebuffer.h"
#include "run/options.h"
#include "run/outputfile.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string archivePath;

void RemoveArchive()
{
    std::error_code ec;
    fs::remove(archivePath, ec);
}

// Picks this process's temporary archive name (memory-backed where there
// is such a folder) and opens the ZIP error log on the null device, so
// that no run of the target leaves files behind.
void Prepare()
{
    if (!archivePath.empty())
        return;
    fuzz::SilenceConsole();
    std::error_code ec;
    fs::path dir = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path(ec);
    std::random_device random;
    archivePath = (dir / ("quor-fuzz-" + std::to_string(random()) + "-" + std::to_string(random()) + ".zip")).string();
    atexit(RemoveArchive);
    StartDirectory = dir.string();
    ProgramDirectory = StartDirectory + PathSeparator;
#ifdef _WIN32
    ZipLog.stream = fopen("NUL", "w");
#else
    ZipLog.stream = fopen("/dev/null", "w");
#endif
    fuzz::Check(ZipLog.stream != nullptr, "cannot open the null device for the ZIP log");
    ResetRunOptions();
    fuzz::Check(AllocateImageBuffer() != 0, "no image buffer");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Prepare();
    FILE* out = fopen(archivePath.c_str(), "wb");
    fuzz::Check(out != nullptr, "cannot create the temporary archive");
    if (size > 0)
        fuzz::Check(fwrite(data, 1, size, out) == size, "cannot write the temporary archive");
    fuzz::Check(fclose(out) == 0, "cannot close the temporary archive");

    ZipArchive* archive = ZipOpen(archivePath.c_str());
    if (archive != nullptr) {
        fuzz::Check(archive->file != nullptr, "an open archive without its file");
        while (ZipEntry* entry = ZipNextEntry(archive)) {
            fuzz::Check(entry->name.size() <= entry->nameLength, "a name longer than its length field");
            if (entry->uncompressedSize > MaxImageSize)
                continue;
            std::unique_ptr<unsigned char[]> buffer(new unsigned char[entry->uncompressedSize]);
            int result = ZipReadEntry(archive, entry, buffer.get());
            fuzz::Check(result == 0 || result == -1 || result == -2 || result == -3,
                        "ZipReadEntry gave a result outside 0, -1, -2, -3");
        }
        ZipClose(archive);
    }

    // Intake's own road through the same bytes: no mode is set, so nothing
    // is moved, listed or written.
    IntakeFile(archivePath.c_str(), (uint32_t)size);
    fuzz::Check(ImageBuffer != nullptr || ImageBufferCapacity == 0, "a capacity without a buffer");
    if (ImageBuffer == nullptr)
        fuzz::Check(AllocateImageBuffer() != 0, "no image buffer");
    return 0;
}
