// Fuzz target: a .npy file as the tool reads a frame, header and pixels,
// from memory. A frame the file declares is allocated only after the
// check a render makes; here that check allows at most 16 MiB, so a header
// that claims a huge frame is a refusal, not a runaway allocation.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "frames/HostError.h"
#include "imagefiles/Npy.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the host, whose layout uint8 data takes.
    const bool premiere = (data[0] & 1) != 0;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    try {
        quorvel::imagefiles::ReadNpy(
            in, "fuzz.npy", premiere, [](quorvel::frames::PixelLayout layout, int width, int height) {
                if (std::size_t(width) * std::size_t(height) * quorvel::frames::BytesPerPixel(layout) >
                    (std::size_t(16) << 20)) {
                    throw quorvel::frames::HostError("too large for the fuzzer");
                }
            });
    } catch (const quorvel::frames::HostError&) {
    }
    return 0;
}
