/// Per-pixel functions handed to the pixel iteration: each reads the input
/// alpha, composites it with the mask value at (x, y), stores the new alpha
/// and copies the colour channels unchanged. `refcon` is the frame's
/// MaskEvaluator, which they only read, so they may run on any thread.
#pragma once

#include <cstdint>

#include "host/PF_Host.h"
#include "render/Pixels.h"

namespace quorvel {

/// 8-bit alpha to unit range: a division by 255, not a multiplication by its
/// reciprocal, so that k / 255 * 255 gives back k exactly.
constexpr float AlphaToUnit8(std::uint8_t alpha) { return static_cast<float>(alpha) / 255.0f; }

/// 16-bit alpha (0 to 32768) to unit range; the scale is a power of two, exact.
constexpr float AlphaToUnit16(std::uint16_t alpha) { return static_cast<float>(alpha) * (1.0f / 32768.0f); }

/// Unit range to 8-bit alpha: clamped, then truncated (not rounded). A NaN
/// is not greater than 0 and becomes 0.
inline std::uint8_t UnitToAlpha8(float unit) {
    const float scaled = unit * 255.0f;
    if (!(scaled > 0.0f)) return 0;
    if (scaled >= 255.0f) return 255;
    return static_cast<std::uint8_t>(scaled);
}

/// Unit range to 16-bit alpha: clamped to [0, 32768], the host's full-on
/// 16-bit value, then truncated. A NaN becomes 0.
inline std::uint16_t UnitToAlpha16(float unit) {
    const float scaled = unit * 32768.0f;
    if (!(scaled > 0.0f)) return 0;
    if (scaled >= 32768.0f) return 32768;
    return static_cast<std::uint16_t>(scaled);
}

/// ARGB, 8 bits per channel (After Effects).
PF_Err MaskPixelARGB8(void* refcon, A_long x, A_long y, PF_Pixel8* in, PF_Pixel8* out);
/// ARGB, 16 bits per channel (After Effects, deep worlds).
PF_Err MaskPixelARGB16(void* refcon, A_long x, A_long y, PF_Pixel16* in, PF_Pixel16* out);
/// BGRA, 8 bits per channel (Premiere). Takes the host's 8-bit callback form;
/// the bytes are read as PixelBGRA8.
PF_Err MaskPixelBGRA8(void* refcon, A_long x, A_long y, PF_Pixel8* in, PF_Pixel8* out);
/// BGRA, 32-bit float per channel (Premiere): the alpha is used and stored
/// without scaling or clamping beyond the composite's own.
PF_Err MaskPixelBGRA32f(void* refcon, A_long x, A_long y, PixelBGRA32f* in, PixelBGRA32f* out);

}  // namespace quorvel
