#include "render/FloatRows.h"

#include <algorithm>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <cpuid.h>

#include "render/FloatRowKernels_pvt.h"
#define QUORVEL_VECTOR_ROWS 1
#else
#include "render/IterateFloatPixels.h"
#include "render/PixelFunctions.h"
#endif

namespace quorvel {

namespace {

/// Frames at least this large are written with non-temporal stores: they
/// are far larger than the caches, and a cached write would first read
/// every line of the destination from memory.
constexpr std::int64_t kStreamingBytes = std::int64_t(16) << 20;

}  // namespace

bool PlanFloatWalk(A_long first_row, A_long end_row, const PF_EffectWorld* src, PF_EffectWorld* dst,
                   FloatFrameWalk& walk) {
    if (first_row >= end_row) return false;
    // The destination's width bounds both frames' columns; a smaller
    // source, or fewer rows than asked for, bound the walk too, so that it
    // never leaves either buffer.
    const A_long width = std::max<A_long>(0, std::min(dst->width, src->width));
    const std::int64_t rows = std::min<std::int64_t>(std::int64_t(end_row) - first_row,
                                                     std::max<A_long>(0, std::min(dst->height, src->height)));
    if (rows <= 0) return false;
    // Pointer walk with one correction per row: rowbytes is signed (rows may
    // run upward in memory) and may include padding past the last pixel.
    const A_long row_bytes = A_long(kFloatPixelBytes) * width;
    walk = FloatFrameWalk{};
    walk.source = reinterpret_cast<const std::byte*>(src->data);
    walk.destination = reinterpret_cast<std::byte*>(dst->data);
    walk.first_row = first_row;
    walk.rows = A_long(rows);
    walk.width = width;
    walk.source_step = src->rowbytes - row_bytes;
    walk.destination_step = dst->rowbytes - row_bytes;
    return true;
}

#if defined(QUORVEL_VECTOR_ROWS)

VectorUnit AvailableVectorUnit() {
    unsigned a = 0;
    unsigned b = 0;
    unsigned c = 0;
    unsigned d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0) return VectorUnit::kBaseline;
    // The processor has AVX and the system saves its registers on a switch.
    if ((c & bit_OSXSAVE) == 0 || (c & bit_AVX) == 0) return VectorUnit::kBaseline;
    unsigned xcr0 = 0;
    unsigned xcr0_high = 0;
    __asm__ volatile("xgetbv" : "=a"(xcr0), "=d"(xcr0_high) : "c"(0));
    if ((xcr0 & 6u) != 6u) return VectorUnit::kBaseline;
    if (__get_cpuid_max(0, nullptr) < 7) return VectorUnit::kBaseline;
    __cpuid_count(7, 0, a, b, c, d);
    return (b & bit_AVX2) != 0 ? VectorUnit::kAvx2 : VectorUnit::kBaseline;
}

namespace baseline {

void MaskRows(const MaskEvaluator& mask, const FloatFrameWalk& walk) {
    float_rows::MaskRows<float_rows::Sse2Lanes>(mask, walk);
}

void RoundedFalloffs(std::int32_t falloff, const float* t, float* out, std::size_t count) {
    float_rows::RoundedFalloffs<float_rows::Sse2Lanes>(falloff, t, out, count);
}

}  // namespace baseline

PF_Err MaskRowsBGRA32f(A_long lines, const PF_EffectWorld* src, const MaskEvaluator& mask, PF_EffectWorld* dst,
                       VectorUnit unit) {
    FloatFrameWalk walk;
    if (!PlanFloatWalk(0, lines, src, dst, walk)) return PF_Err_NONE;
    const auto& m = mask.transform;
    walk.m00 = m[0][0];
    walk.m01 = m[0][1];
    walk.m02 = m[0][2];
    walk.m10 = m[1][0];
    walk.m11 = m[1][1];
    walk.m12 = m[1][2];
    const std::int64_t frame_bytes = std::int64_t(walk.rows) * std::abs(std::int64_t(dst->rowbytes));
    walk.stream = frame_bytes >= kStreamingBytes && reinterpret_cast<std::uintptr_t>(dst->data) % 16 == 0 &&
                  dst->rowbytes % 16 == 0;
    if (unit == VectorUnit::kAvx2) {
        avx2::MaskRows(mask, walk);
    } else {
        baseline::MaskRows(mask, walk);
    }
    return PF_Err_NONE;
}

void RoundedFalloffs(VectorUnit unit, std::int32_t falloff, const float* t, float* out, std::size_t count) {
    if (unit == VectorUnit::kAvx2) {
        avx2::RoundedFalloffs(falloff, t, out, count);
    } else {
        baseline::RoundedFalloffs(falloff, t, out, count);
    }
}

#else  // no vector unit: the pixel function, one pixel at a time

VectorUnit AvailableVectorUnit() { return VectorUnit::kBaseline; }

PF_Err MaskRowsBGRA32f(A_long lines, const PF_EffectWorld* src, const MaskEvaluator& mask, PF_EffectWorld* dst,
                       VectorUnit) {
    return IterateFloatPixels(0, lines, const_cast<PF_EffectWorld*>(src), const_cast<MaskEvaluator*>(&mask),
                              MaskPixelBGRA32f, dst);
}

void RoundedFalloffs(VectorUnit, std::int32_t falloff, const float* t, float* out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) out[i] = RoundedFalloff(falloff, t[i]);
}

#endif

PF_Err MaskRowsBGRA32f(A_long lines, const PF_EffectWorld* src, const MaskEvaluator& mask, PF_EffectWorld* dst) {
    return MaskRowsBGRA32f(lines, src, mask, dst, AvailableVectorUnit());
}

}  // namespace quorvel
