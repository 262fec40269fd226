/// The float frame's rows, several pixels at a time: the mask value and the
/// composite of MaskPixelBGRA32f for a vector of pixels, each lane doing the
/// scalar code's IEEE operations in the same order (no fused multiply-add,
/// no reassociation, the same square roots and divisions), so that every
/// pixel keeps its bits. Rare lanes the vectors cannot decide (a power
/// curve's value next to a float rounding boundary, or the rectangle's
/// corners under a power curve) are worked out one at a time by the scalar
/// code.
///
/// Included by one file per instruction set, after that file has defined
/// `Lanes`, the vector traits below; everything here is internal to that
/// file, so that code compiled for a wider instruction set is never shared
/// with baseline code through the linker.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "render/FalloffLanes.h"
#include "render/FloatRows.h"
#include "render/MaskEvaluator.h"
#include "render/PixelFunctions.h"

namespace quorvel {
namespace {
namespace float_rows {

using namespace falloff_lanes;

/// Lane masks as bit sets: bit i for lane i.
using LaneSet = unsigned;

/// Baseline: four pixels at a time, in order.
struct Sse2Lanes {
    using F = __m128;
    using D = __m128d;
    static constexpr int kWidth = 4;

    struct Pixels {
        __m128 p[4];
    };

    static F Splat(float x) { return _mm_set1_ps(x); }
    static LaneSet Bits(F mask) { return LaneSet(_mm_movemask_ps(mask)); }
    static F Sqrt(F x) { return _mm_sqrt_ps(x); }
    static F Abs(F x) { return _mm_and_ps(x, _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF))); }
    static F Select(F mask, F a, F b) { return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b)); }
    static F Less(F a, F b) { return _mm_cmplt_ps(a, b); }
    static F LessEqual(F a, F b) { return _mm_cmple_ps(a, b); }
    static F GreaterEqual(F a, F b) { return _mm_cmpge_ps(a, b); }
    static F Greater(F a, F b) { return _mm_cmpgt_ps(a, b); }
    static F And(F a, F b) { return _mm_and_ps(a, b); }
    static F Or(F a, F b) { return _mm_or_ps(a, b); }
    /// a and not b.
    static F AndNot(F a, F b) { return _mm_andnot_ps(b, a); }
    static D Low(F x) { return _mm_cvtps_pd(x); }
    static D High(F x) { return _mm_cvtps_pd(_mm_movehl_ps(x, x)); }
    /// Two halves of doubles, each lane a float's value, joined as floats.
    static F Join(D low, D high) { return _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high)); }

    /// Lane i's pixel is the i-th of the group.
    static F Columns(std::int32_t x) {
        return _mm_cvtepi32_ps(_mm_add_epi32(_mm_set1_epi32(x), _mm_setr_epi32(0, 1, 2, 3)));
    }

    static Pixels Load(const std::byte* s) {
        const auto* f = reinterpret_cast<const float*>(s);
        return {{_mm_loadu_ps(f), _mm_loadu_ps(f + 4), _mm_loadu_ps(f + 8), _mm_loadu_ps(f + 12)}};
    }

    static F Alphas(const Pixels& px) {
        const __m128 ra01 = _mm_unpackhi_ps(px.p[0], px.p[1]);  // r0 r1 a0 a1
        const __m128 ra23 = _mm_unpackhi_ps(px.p[2], px.p[3]);  // r2 r3 a2 a3
        return _mm_movehl_ps(ra23, ra01);
    }

    /// The pixels with their alphas replaced, every other bit moved as is.
    static Pixels WithAlphas(const Pixels& px, F alphas) {
        const __m128 ra01 = _mm_unpackhi_ps(px.p[0], px.p[1]);
        const __m128 ra23 = _mm_unpackhi_ps(px.p[2], px.p[3]);
        const __m128 reds = _mm_movelh_ps(ra01, ra23);
        const __m128 lo = _mm_unpacklo_ps(reds, alphas);  // r0 a0 r1 a1
        const __m128 hi = _mm_unpackhi_ps(reds, alphas);  // r2 a2 r3 a3
        return {{_mm_shuffle_ps(px.p[0], lo, _MM_SHUFFLE(1, 0, 1, 0)),
                 _mm_shuffle_ps(px.p[1], lo, _MM_SHUFFLE(3, 2, 1, 0)),
                 _mm_shuffle_ps(px.p[2], hi, _MM_SHUFFLE(1, 0, 1, 0)),
                 _mm_shuffle_ps(px.p[3], hi, _MM_SHUFFLE(3, 2, 1, 0))}};
    }

    static void Store(std::byte* d, const Pixels& px) {
        auto* f = reinterpret_cast<float*>(d);
        for (int i = 0; i < 4; ++i) _mm_storeu_ps(f + 4 * i, px.p[i]);
    }

    /// Non-temporal: for frames far larger than the caches, the write goes
    /// to memory without first reading the line. `d` is 16-byte aligned.
    static void Stream(std::byte* d, const Pixels& px) {
        auto* f = reinterpret_cast<float*>(d);
        for (int i = 0; i < 4; ++i) _mm_stream_ps(f + 4 * i, px.p[i]);
    }
};

#if defined(__AVX2__)
/// Eight pixels at a time, two to a register. The lanes hold the pixels in
/// the order 0 2 4 6 1 3 5 7, which is what two shuffles gather their alphas
/// in; every lane's arithmetic is its own, so the order matters only to the
/// columns and the alphas, which follow it.
struct Avx2Lanes {
    using F = __m256;
    using D = __m256d;
    static constexpr int kWidth = 8;

    struct Pixels {
        __m256 p[4];
    };

    static F Splat(float x) { return _mm256_set1_ps(x); }
    static LaneSet Bits(F mask) { return LaneSet(_mm256_movemask_ps(mask)); }
    static F Sqrt(F x) { return _mm256_sqrt_ps(x); }
    static F Abs(F x) { return _mm256_and_ps(x, _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF))); }
    static F Select(F mask, F a, F b) { return _mm256_blendv_ps(b, a, mask); }
    static F Less(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
    static F LessEqual(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_LE_OQ); }
    static F GreaterEqual(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_GE_OQ); }
    static F Greater(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_GT_OQ); }
    static F And(F a, F b) { return _mm256_and_ps(a, b); }
    static F Or(F a, F b) { return _mm256_or_ps(a, b); }
    static F AndNot(F a, F b) { return _mm256_andnot_ps(b, a); }
    static D Low(F x) { return _mm256_cvtps_pd(_mm256_castps256_ps128(x)); }
    static D High(F x) { return _mm256_cvtps_pd(_mm256_extractf128_ps(x, 1)); }
    static F Join(D low, D high) { return _mm256_set_m128(_mm256_cvtpd_ps(high), _mm256_cvtpd_ps(low)); }

    static F Columns(std::int32_t x) {
        return _mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(x), _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7)));
    }

    static Pixels Load(const std::byte* s) {
        const auto* f = reinterpret_cast<const float*>(s);
        return {{_mm256_loadu_ps(f), _mm256_loadu_ps(f + 8), _mm256_loadu_ps(f + 16), _mm256_loadu_ps(f + 24)}};
    }

    static F Alphas(const Pixels& px) {
        const __m256 h01 = _mm256_unpackhi_ps(px.p[0], px.p[1]);  // r0 r2 a0 a2 | r1 r3 a1 a3
        const __m256 h23 = _mm256_unpackhi_ps(px.p[2], px.p[3]);  // r4 r6 a4 a6 | r5 r7 a5 a7
        return _mm256_shuffle_ps(h01, h23, _MM_SHUFFLE(3, 2, 3, 2));
    }

    static Pixels WithAlphas(const Pixels& px, F alphas) {
        // Each pair's two alphas, broadcast within its half, into lane 3 of
        // each half.
        return {{_mm256_blend_ps(px.p[0], _mm256_shuffle_ps(alphas, alphas, _MM_SHUFFLE(0, 0, 0, 0)), 0x88),
                 _mm256_blend_ps(px.p[1], _mm256_shuffle_ps(alphas, alphas, _MM_SHUFFLE(1, 1, 1, 1)), 0x88),
                 _mm256_blend_ps(px.p[2], _mm256_shuffle_ps(alphas, alphas, _MM_SHUFFLE(2, 2, 2, 2)), 0x88),
                 _mm256_blend_ps(px.p[3], _mm256_shuffle_ps(alphas, alphas, _MM_SHUFFLE(3, 3, 3, 3)), 0x88)}};
    }

    static void Store(std::byte* d, const Pixels& px) {
        auto* f = reinterpret_cast<float*>(d);
        for (int i = 0; i < 4; ++i) _mm256_storeu_ps(f + 8 * i, px.p[i]);
    }

    static void Stream(std::byte* d, const Pixels& px) {
        auto* f = reinterpret_cast<float*>(d);
        for (int i = 0; i < 4; ++i) {
            _mm_stream_ps(f + 8 * i, _mm256_castps256_ps128(px.p[i]));
            _mm_stream_ps(f + 8 * i + 4, _mm256_extractf128_ps(px.p[i], 1));
        }
    }
};
#endif

/// The record's fields as vectors, made once per frame.
template <typename L>
struct Frame {
    using F = typename L::F;

    // The matrix comes from the walk: read in baseline code, so that no
    // library template is instantiated for this file's instruction set.
    Frame(const MaskEvaluator& mask, const FloatFrameWalk& walk, bool nearest)
        : mask(mask),
          m00(L::Splat(walk.m00)),
          m02(L::Splat(walk.m02)),
          m10(L::Splat(walk.m10)),
          m12(L::Splat(walk.m12)),
          halfWidth(L::Splat(mask.halfWidth)),
          halfHeight(L::Splat(mask.halfHeight)),
          edgeScaleU(L::Splat(mask.edgeScaleU)),
          edgeScaleV(L::Splat(mask.edgeScaleV)),
          outerAxesProduct(L::Splat(mask.outerAxesProduct)),
          innerHalfWidth(L::Splat(mask.innerHalfWidth)),
          innerHalfHeight(L::Splat(mask.innerHalfHeight)),
          innerAxesProduct(L::Splat(mask.innerAxesProduct)),
          innerHalfWidthSq(L::Splat(mask.innerHalfWidthSq)),
          innerHalfHeightSq(L::Splat(mask.innerHalfHeightSq)),
          invInnerHalfWidthSq(L::Splat(mask.invInnerHalfWidthSq)),
          invInnerHalfHeightSq(L::Splat(mask.invInnerHalfHeightSq)),
          halfWidthSq(L::Splat(mask.halfWidthSq)),
          halfHeightSq(L::Splat(mask.halfHeightSq)),
          opacity(L::Splat(mask.opacity)),
          hard_edge(mask.feather == 0.0f),
          nearest(nearest) {}

    const MaskEvaluator& mask;
    F m00, m02, m10, m12;
    F halfWidth, halfHeight, edgeScaleU, edgeScaleV, outerAxesProduct;
    F innerHalfWidth, innerHalfHeight, innerAxesProduct, innerHalfWidthSq, innerHalfHeightSq;
    F invInnerHalfWidthSq, invInnerHalfHeightSq, halfWidthSq, halfHeightSq;
    F opacity;
    bool hard_edge;
    /// The fast curves' bounds hold (rounding to nearest).
    bool nearest;
};

/// Lane i of x, and x with lane i replaced.
template <typename L>
float LaneOf(typename L::F x, int i) {
    alignas(32) float lanes[L::kWidth];
    std::memcpy(lanes, &x, sizeof x);
    return lanes[i];
}

template <typename L>
typename L::F WithLane(typename L::F x, int i, float value) {
    alignas(32) float lanes[L::kWidth];
    std::memcpy(lanes, &x, sizeof x);
    lanes[i] = value;
    std::memcpy(&x, lanes, sizeof x);
    return x;
}

/// Curve kFalloff at each lane of t, rounded to float; the lanes of `wanted`
/// the fast curves leave undecided are worked out by the exact expression.
template <typename L, std::int32_t kFalloff>
typename L::F RoundedCurves(const Frame<L>& frame, typename L::F t, LaneSet wanted) {
    constexpr int kHalf = L::kWidth / 2;
    const auto low = RoundedCurve<kFalloff>(L::Low(t));
    const auto high = RoundedCurve<kFalloff>(L::High(t));
    typename L::F result = L::Join(low.value, high.value);
    if constexpr (IsPowerCurve(kFalloff)) {
        LaneSet decided = frame.nearest ? LaneSet(low.decided) | (LaneSet(high.decided) << kHalf) : 0u;
        for (LaneSet rest = wanted & ~decided; rest != 0; rest &= rest - 1) {
            const int i = __builtin_ctz(rest);
            result = WithLane<L>(result, i, RoundedFalloff(kFalloff, LaneOf<L>(t, i)));
        }
    }
    return result;
}

/// Ellipse ring, as EllipseRingWith, for every lane (the caller keeps the
/// lanes of `ring`); uu and vv are u × u and v × v, already formed.
template <typename L, std::int32_t kFalloff>
typename L::F EllipseRing(const Frame<L>& f, typename L::F u, typename L::F v, typename L::F uu, typename L::F vv,
                          LaneSet ring) {
    using F = typename L::F;
    const F rr = vv + uu;
    const F r = L::Sqrt(rr);
    const F du = u / r;
    const F dv = v / r;
    const F in_a = du * f.innerHalfHeightSq;
    const F in_a2 = in_a * du;
    const F in_b = dv * f.innerHalfWidthSq;
    const F in_b2 = in_b * dv;
    const F in_sum = in_a2 + in_b2;
    const F out_a = du * f.halfHeightSq;
    const F out_a2 = out_a * du;
    const F out_b = dv * f.halfWidthSq;
    const F out_b2 = out_b * dv;
    const F out_sum = out_a2 + out_b2;
    const F r_in = f.innerAxesProduct / L::Sqrt(in_sum);
    const F r_out = f.outerAxesProduct / L::Sqrt(out_sum);
    const F num = r - r_in;
    const F den = r_out - r_in;
    const F t = num / den;
    return RoundedCurves<L, kFalloff>(f, t, ring);
}

/// Outside value E of the ellipse, as TestEllipse and EllipseRingWith.
template <typename L, std::int32_t kFalloff>
typename L::F EllipseOutside(const Frame<L>& f, typename L::F u, typename L::F v) {
    using F = typename L::F;
    const F one = L::Splat(1.0f);
    const F zero = L::Splat(0.0f);
    const F uu = u * u;
    const F vv = v * v;
    const F outer_v = vv * f.edgeScaleV;
    const F outer_u = uu * f.edgeScaleU;
    const F outer_sum = outer_v + outer_u;
    const F inside = L::Less(outer_sum, one);
    const F plain = L::Select(inside, zero, one);
    if (f.hard_edge) return plain;
    const F inner_v = vv * f.invInnerHalfHeightSq;
    const F inner_u = uu * f.invInnerHalfWidthSq;
    const F inner_sum = inner_v + inner_u;
    const F ring_mask = L::AndNot(inside, L::LessEqual(inner_sum, one));
    const LaneSet ring = L::Bits(ring_mask);
    if (ring == 0) return plain;
    return L::Select(ring_mask, EllipseRing<L, kFalloff>(f, u, v, uu, vv, ring), plain);
}

/// The rectangle's corners under Linear, Quadratic or Cubic: the curve's
/// double operations and the double root, as RectangleBorderWith, lane by
/// lane in double.
template <typename L, std::int32_t kFalloff>
typename L::D CornerHalf(typename L::D tu, typename L::D tv) {
    using D = typename L::D;
    const D fu = CheapCurve<kFalloff>(tu);
    const D fv = CheapCurve<kFalloff>(tv);
    const D fu2 = fu * fu;
    const D fv2 = fv * fv;
    const D sum = fu2 + fv2;
    const D q = SquareRoots(sum);
    const D one = Splat(q, 1.0);
    // q > 1 gives 1, else q rounded to float (by Join).
    return Select(AsMask<D>(q > one), one, q);
}

/// Outside value R of the rectangle, as TestRectangle and RectangleBorderWith.
template <typename L, std::int32_t kFalloff>
typename L::F RectangleOutside(const Frame<L>& f, typename L::F u, typename L::F v) {
    using F = typename L::F;
    const F one = L::Splat(1.0f);
    const F zero = L::Splat(0.0f);
    const F au = L::Abs(u);
    const F av = L::Abs(v);
    const F inside = L::And(L::Less(au, f.halfWidth), L::Less(av, f.halfHeight));
    const F plain = L::Select(inside, zero, one);
    if (f.hard_edge) return plain;
    const F in_band_u = L::GreaterEqual(au, f.innerHalfWidth);
    const F in_band_v = L::GreaterEqual(av, f.innerHalfHeight);
    const F border_mask = L::And(inside, L::Or(in_band_u, in_band_v));
    const LaneSet border = L::Bits(border_mask);
    if (border == 0) return plain;
    const F du = au - f.innerHalfWidth;
    const F tu = du * f.edgeScaleU;
    const F dv = av - f.innerHalfHeight;
    const F tv = dv * f.edgeScaleV;
    const F corner_mask = L::And(inside, L::And(in_band_u, in_band_v));
    const LaneSet corner = L::Bits(corner_mask);
    const LaneSet side = border & ~corner;
    F result = plain;
    if (side != 0) {
        // A side band's position: along u where that band is entered, else along v.
        const F t = L::Select(in_band_u, tu, tv);
        const F side_mask = L::AndNot(border_mask, corner_mask);
        result = L::Select(side_mask, RoundedCurves<L, kFalloff>(f, t, side), result);
    }
    if (corner != 0) {
        F q;
        if constexpr (IsPowerCurve(kFalloff)) {
            // The corners combine the exact double values of the curve.
            q = result;
            for (LaneSet rest = corner; rest != 0; rest &= rest - 1) {
                const int i = __builtin_ctz(rest);
                q = WithLane<L>(q, i, detail::RectangleBorder(f.mask, LaneOf<L>(au, i), LaneOf<L>(av, i)));
            }
        } else {
            q = L::Join(CornerHalf<L, kFalloff>(L::Low(tu), L::Low(tv)),
                        CornerHalf<L, kFalloff>(L::High(tu), L::High(tv)));
        }
        result = L::Select(corner_mask, q, result);
    }
    return result;
}

/// CompositeAlpha, lane by lane.
template <typename L>
typename L::F Composite(const Frame<L>& f, typename L::F value, typename L::F alpha) {
    using F = typename L::F;
    const F weight = value * f.opacity;
    switch (f.mask.compositeMode) {
        case kCompositeAdd: {
            const F sum = weight + alpha;
            const F one = L::Splat(1.0f);
            return L::Select(L::Greater(sum, one), one, sum);
        }
        case kCompositeSubtract: {
            const F difference = alpha - weight;
            const F zero = L::Splat(0.0f);
            return L::Select(L::Less(difference, zero), zero, difference);
        }
        case kCompositeIntersect:
            return weight * alpha;
        case kCompositeCreate:
            return weight;
        default:
            return alpha;
    }
}

/// The walk's rows, for one shape and curve.
template <typename L, bool kEllipse, std::int32_t kFalloff>
void MaskRowsWith(const MaskEvaluator& mask, const FloatFrameWalk& walk, bool nearest) {
    using F = typename L::F;
    constexpr std::int32_t kStep = L::kWidth;
    const Frame<L> f(mask, walk, nearest);
    const F one = L::Splat(1.0f);
    const std::int32_t vector_end = walk.width - walk.width % kStep;
    const std::byte* s = walk.source;
    std::byte* d = walk.destination;
    const std::int32_t end_row = walk.first_row + walk.rows;
    for (std::int32_t y = walk.first_row; y < end_row; ++y) {
        // Corrected on entering each later row, so that the walk never
        // steps outside the buffers after the last one.
        if (y != walk.first_row) {
            s += walk.source_step;
            d += walk.destination_step;
        }
        // The row's terms, the same products the scalar code forms per pixel.
        const float fy = static_cast<float>(y);
        const F u1 = L::Splat(fy * walk.m01);
        const F v1 = L::Splat(fy * walk.m11);
        std::int32_t x = 0;
        for (; x < vector_end; x += kStep) {
            const typename L::Pixels px = L::Load(s);
            const F fx = L::Columns(x);
            const F u0 = fx * f.m00;
            const F u2 = u0 + u1;
            const F u = u2 + f.m02;
            const F v0 = fx * f.m10;
            const F v2 = v0 + v1;
            const F v = v2 + f.m12;
            F outside;
            if constexpr (kEllipse) {
                outside = EllipseOutside<L, kFalloff>(f, u, v);
            } else {
                outside = RectangleOutside<L, kFalloff>(f, u, v);
            }
            const F value = mask.invert ? outside : one - outside;
            const typename L::Pixels out = L::WithAlphas(px, Composite(f, value, L::Alphas(px)));
            if (walk.stream) {
                L::Stream(d, out);
            } else {
                L::Store(d, out);
            }
            s += kStep * kFloatPixelBytes;
            d += kStep * kFloatPixelBytes;
        }
        for (; x < walk.width; ++x) {
            MaskPixelBGRA32f(const_cast<MaskEvaluator*>(&mask), x, y,
                             reinterpret_cast<PixelBGRA32f*>(const_cast<std::byte*>(s)),
                             reinterpret_cast<PixelBGRA32f*>(d));
            s += kFloatPixelBytes;
            d += kFloatPixelBytes;
        }
    }
    if (walk.stream) _mm_sfence();
}

template <typename L>
void MaskRows(const MaskEvaluator& mask, const FloatFrameWalk& walk) {
    const bool nearest = RoundsToNearest();
    auto run = [&]<std::int32_t kFalloff>() {
        if (mask.isEllipse) {
            MaskRowsWith<L, true, kFalloff>(mask, walk, nearest);
        } else {
            MaskRowsWith<L, false, kFalloff>(mask, walk, nearest);
        }
    };
    // Instantiated for this file's lambda, a type of its own: the copy is
    // this file's and is not shared with baseline code.
    WithFalloff(mask.falloff, run);
}

/// RoundedFalloff over an array, through the same vectors as the rows.
template <typename L>
void RoundedFalloffs(std::int32_t falloff, const float* t, float* out, std::size_t count) {
    using F = typename L::F;
    const MaskEvaluator none{};
    const FloatFrameWalk no_walk{};
    const Frame<L> f(none, no_walk, RoundsToNearest());
    constexpr LaneSet kAll = (1u << L::kWidth) - 1;
    auto run = [&]<std::int32_t kFalloff>() {
        std::size_t i = 0;
        for (; i + L::kWidth <= count; i += L::kWidth) {
            F lanes;
            std::memcpy(&lanes, t + i, sizeof lanes);
            const F result = RoundedCurves<L, kFalloff>(f, lanes, kAll);
            std::memcpy(out + i, &result, sizeof result);
        }
        for (; i < count; ++i) out[i] = RoundedFalloff(kFalloff, t[i]);
    };
    WithFalloff(falloff, run);
}

}  // namespace float_rows
}  // namespace
}  // namespace quorvel
