// readloop.cpp - the benchmark's read limit: every listed file read with fread into one reused buffer, nothing else
//
//   quorreadloop LIST     LIST holds one path a line (relative to the current directory)
//
// Each file is opened, read to its end into the same buffer of 2 MiB + 64 KiB
// (the largest image and the program's slack) and closed. Nothing is
// checksummed or looked at: this is the time QuorVBoy cannot beat on this
// machine. The last line gives the files and bytes read, so that a run can be
// checked against the corpus.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: quorreadloop LIST\n");
        return 2;
    }
    FILE* list = fopen(argv[1], "r");
    if (list == nullptr) {
        fprintf(stderr, "quorreadloop: cannot open %s\n", argv[1]);
        return 1;
    }
    std::vector<unsigned char> buffer((2u << 20) + 65536);
    unsigned long files = 0;
    unsigned long long bytes = 0;
    std::string path;
    char line[4096];
    while (fgets(line, sizeof line, list) != nullptr) {
        size_t len = strcspn(line, "\r\n");
        if (len == 0)
            continue;
        path.assign(line, len);
        FILE* f = fopen(path.c_str(), "rb");
        if (f == nullptr) {
            fprintf(stderr, "quorreadloop: cannot open %s\n", path.c_str());
            continue;
        }
        // A read shorter than the buffer is the file's end.
        size_t got;
        do {
            got = fread(buffer.data(), 1, buffer.size(), f);
            bytes += got;
        } while (got == buffer.size());
        fclose(f);
        files++;
    }
    fclose(list);
    printf("%lu files, %llu bytes\n", files, bytes);
    return 0;
}
