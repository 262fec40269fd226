#include "render/IterateFloatPixels.h"

#include "render/FloatRows.h"

namespace quorvel {

PF_Err IterateFloatPixels(A_long first_row, A_long end_row, PF_EffectWorld* src, void* refcon, FloatPixelFunc fn,
                          PF_EffectWorld* dst) {
    FloatFrameWalk walk;
    if (!PlanFloatWalk(first_row, end_row, src, dst, walk)) return PF_Err_NONE;
    auto* s = const_cast<std::byte*>(walk.source);
    std::byte* d = walk.destination;
    const A_long last_row = walk.first_row + walk.rows;
    for (A_long y = walk.first_row; y < last_row; ++y) {
        // The correction is applied on entering each later row, so the walk
        // never steps outside the buffers after the last one.
        if (y != walk.first_row) {
            s += walk.source_step;
            d += walk.destination_step;
        }
        for (A_long x = 0; x < walk.width; ++x) {
            fn(refcon, x, y, reinterpret_cast<PixelBGRA32f*>(s), reinterpret_cast<PixelBGRA32f*>(d));
            s += kFloatPixelBytes;
            d += kFloatPixelBytes;
        }
    }
    return PF_Err_NONE;
}

}  // namespace quorvel
