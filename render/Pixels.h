/// The two BGRA pixel layouts of the Premiere path. The ARGB layouts are the
/// host's own PF_Pixel8 and PF_Pixel16.
#pragma once

#include <cstdint>

namespace quorvel {

/// 8 bits per channel, blue first; alpha 0 to 255.
struct PixelBGRA8 {
    std::uint8_t blue;
    std::uint8_t green;
    std::uint8_t red;
    std::uint8_t alpha;
};

/// 32-bit float per channel, blue first; alpha nominally 0 to 1, not enforced.
struct PixelBGRA32f {
    float blue;
    float green;
    float red;
    float alpha;
};

static_assert(sizeof(PixelBGRA8) == 4);
static_assert(sizeof(PixelBGRA32f) == 16);

}  // namespace quorvel
