#include "IterateFloatPixels.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace quorvel {

PF_Err IterateFloatPixels(A_long first_row, A_long end_row, PF_EffectWorld* src, void* refcon, FloatPixelFunc fn,
                          PF_EffectWorld* dst) {
    if (first_row >= end_row) return PF_Err_NONE;

    constexpr A_long kPixelBytes = sizeof(PixelBGRA32f);
    const A_long width = std::max<A_long>(0, std::min(dst->width, src->width));
    const std::int64_t rows = std::min<std::int64_t>(std::int64_t(end_row) - first_row,
                                                     std::max<A_long>(0, std::min(dst->height, src->height)));
    if (rows <= 0) return PF_Err_NONE;
    const auto last_row = static_cast<A_long>(first_row + rows);
    // Pointer walk with one correction per row: rowbytes is signed (rows may
    // run upward in memory) and may include padding past the last pixel.
    const A_long rowBytes = kPixelBytes * width;
    const A_long srcRowStep = src->rowbytes - rowBytes;
    const A_long dstRowStep = dst->rowbytes - rowBytes;

    auto* s = reinterpret_cast<std::byte*>(src->data);
    auto* d = reinterpret_cast<std::byte*>(dst->data);
    for (A_long y = first_row; y < last_row; ++y) {
        // The correction is applied on entering each later row, so the walk
        // never steps outside the buffers after the last one.
        if (y != first_row) {
            s += srcRowStep;
            d += dstRowStep;
        }
        for (A_long x = 0; x < width; ++x) {
            fn(refcon, x, y, reinterpret_cast<PixelBGRA32f*>(s), reinterpret_cast<PixelBGRA32f*>(d));
            s += kPixelBytes;
            d += kPixelBytes;
        }
    }
    return PF_Err_NONE;
}

}  // namespace quorvel
