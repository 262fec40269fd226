/// The float frame's own loop, whole rows at a time: MaskPixelBGRA32f's
/// result for every pixel IterateFloatPixels would visit, computed several
/// pixels per instruction. The widest vector unit the processor and the
/// system support is chosen at run time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/PF_Host.h"
#include "render/MaskEvaluator.h"

namespace quorvel {

inline constexpr std::ptrdiff_t kFloatPixelBytes = 16;

/// A walk over two float frames as IterateFloatPixels makes it: rows
/// [first_row, first_row + rows) from the top of both buffers, `width` pixels
/// each, the pointers corrected by the steps at the end of each row.
struct FloatFrameWalk {
    const std::byte* source;
    std::byte* destination;
    A_long first_row;
    A_long rows;
    A_long width;
    A_long source_step;
    A_long destination_step;
    /// Write with non-temporal stores (the destination is aligned for them).
    bool stream;
    /// The pixel-to-mask-space matrix's first two rows, read once.
    float m00, m01, m02, m10, m11, m12;
};

/// The walk over rows [first_row, end_row) of `src` and `dst`; false when
/// there is nothing to visit.
bool PlanFloatWalk(A_long first_row, A_long end_row, const PF_EffectWorld* src, PF_EffectWorld* dst,
                   FloatFrameWalk& walk);

enum class VectorUnit { kBaseline, kAvx2 };

/// The widest unit this processor and system can run.
VectorUnit AvailableVectorUnit();

/// MaskPixelBGRA32f over rows [0, lines) of the two frames, as
/// IterateFloatPixels(0, lines, src, &mask, MaskPixelBGRA32f, dst) would
/// call it, with the same result in every byte. Always returns 0.
PF_Err MaskRowsBGRA32f(A_long lines, const PF_EffectWorld* src, const MaskEvaluator& mask, PF_EffectWorld* dst);
/// The same on a given unit, which must be available.
PF_Err MaskRowsBGRA32f(A_long lines, const PF_EffectWorld* src, const MaskEvaluator& mask, PF_EffectWorld* dst,
                       VectorUnit unit);

/// RoundedFalloff(falloff, t[i]) into out[i], through the vectors the rows use
/// on `unit`, which must be available.
void RoundedFalloffs(VectorUnit unit, std::int32_t falloff, const float* t, float* out, std::size_t count);

// Each unit's code, compiled for its own instruction set.
namespace baseline {
void MaskRows(const MaskEvaluator& mask, const FloatFrameWalk& walk);
void RoundedFalloffs(std::int32_t falloff, const float* t, float* out, std::size_t count);
}  // namespace baseline
namespace avx2 {
void MaskRows(const MaskEvaluator& mask, const FloatFrameWalk& walk);
void RoundedFalloffs(std::int32_t falloff, const float* t, float* out, std::size_t count);
}  // namespace avx2

}  // namespace quorvel
