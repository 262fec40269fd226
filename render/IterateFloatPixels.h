/// The module's own pixel loop, for the 32-bit float BGRA frames that no host
/// iterate suite covers.
#pragma once

#include "host/PF_Host.h"
#include "render/Pixels.h"

namespace quorvel {

using FloatPixelFunc = PF_Err (*)(void* refcon, A_long x, A_long y, PixelBGRA32f* in, PixelBGRA32f* out);

/// Calls `fn` for rows first_row .. end_row - 1, left to right, columns
/// 0 .. dst->width - 1 of both worlds, one pixel at a time on the calling
/// thread. Both walks start at the worlds' `data` (the top row); nothing
/// happens when first_row >= end_row. The walk never leaves the worlds: it
/// stops after as many rows as the shorter world has, and covers only the
/// columns both worlds have (an extent hint taller than the frame, or a
/// narrower source, would otherwise send it past the buffers). The pixel
/// results are not examined; always returns 0.
PF_Err IterateFloatPixels(A_long first_row, A_long end_row, PF_EffectWorld* src, void* refcon, FloatPixelFunc fn,
                          PF_EffectWorld* dst);

}  // namespace quorvel
