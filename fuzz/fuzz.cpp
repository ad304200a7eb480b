// fuzz.cpp - the shared pieces of the fuzz targets: silenced console, inputs as streams, aborting checks
#include "fuzz.h"

#include <cstdlib>

namespace fuzz {

#ifdef _WIN32
static const char NullDevice[] = "NUL";
#else
static const char NullDevice[] = "/dev/null";
#endif

void SilenceConsole()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    fflush(stdout);
    if (freopen(NullDevice, "w", stdout) == nullptr)
        Check(false, "cannot send standard output to the null device");
}

FILE* OpenBytes(const uint8_t* data, size_t size, bool binary)
{
    FILE* stream = nullptr;
#if defined(_WIN32)
    // No memory streams here: a temporary file does the same, more slowly.
    (void)binary;
    stream = tmpfile();
    Check(stream != nullptr, "tmpfile failed");
    if (size > 0)
        Check(fwrite(data, 1, size, stream) == size, "cannot write the temporary file");
    rewind(stream);
#else
    // fmemopen refuses a zero-length buffer; an empty file is /dev/null.
    if (size == 0)
        stream = fopen(NullDevice, binary ? "rb" : "r");
    else
        stream = fmemopen(const_cast<uint8_t*>(data), size, binary ? "rb" : "r");
    Check(stream != nullptr, "cannot open the input as a stream");
#endif
    return stream;
}

void Check(bool ok, const char* what)
{
    if (ok)
        return;
    fprintf(stderr, "fuzz check failed: %s\n", what);
    fflush(stderr);
    abort();
}

}  // namespace fuzz
