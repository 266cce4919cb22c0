// ih-checksum: the checksum the script runner records for each file, the
// REG_DWORD that a script program's run record holds.

#include "Output.h"
#include "Platform.h"

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    using namespace ih::tools;
    if (argc < 2) {
        std::fputs("usage: ih-checksum FILE...\n"
                   "prints each file's run-record checksum and its path, one file a line\n",
                   stderr);
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        try {
            const FileChecksum checksum = ChecksumFile(PathFromText(argv[i]));
            if (checksum.value) {
                std::printf("%s  %s\n", Hex32(*checksum.value).c_str(), argv[i]);
            } else {
                std::fflush(stdout); // keeps the lines in order where both streams go to one place
                std::fprintf(stderr, "ih-checksum: %s: %s\n", argv[i], checksum.error.c_str());
                status = 1;
            }
        } catch (const std::exception& error) {
            std::fflush(stdout);
            std::fprintf(stderr, "ih-checksum: %s: %s\n", argv[i], error.what());
            status = 1;
        }
    }
    // Lines already printed stay valid when a later file fails.
    return status;
}
