// Build-time tool: writes the descriptor generator's bytes to a file, which
// the Windows resource script embeds as the "PIPL" resource. Runs on the
// build machine, so a cross build compiles it with the build machine's compiler.
#include <cstdio>

#include "entry/Descriptor.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argc > 0 ? argv[0] : "write-descriptor-bytes");
        return 2;
    }
    static constexpr auto kBytes = quorvel::descriptor::Bytes();
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(kBytes.data(), 1, kBytes.size(), out) == kBytes.size();
    if (std::fclose(out) != 0 || !written) {
        std::perror(argv[1]);
        std::remove(argv[1]);
        return 1;
    }
    return 0;
}
