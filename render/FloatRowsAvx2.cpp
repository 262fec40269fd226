// The float rows compiled for AVX2 (eight pixels a vector), chosen at run
// time where the processor and the system support it. Only the kernels are
// compiled here; everything they share with the rest of the module is
// called out of line, in baseline code.
#include "render/FloatRowKernels_pvt.h"

namespace quorvel::avx2 {

void MaskRows(const MaskEvaluator& mask, const FloatFrameWalk& walk) {
    float_rows::MaskRows<float_rows::Avx2Lanes>(mask, walk);
}

void RoundedFalloffs(std::int32_t falloff, const float* t, float* out, std::size_t count) {
    float_rows::RoundedFalloffs<float_rows::Avx2Lanes>(falloff, t, out, count);
}

}  // namespace quorvel::avx2
