/// The falloff curves, several arguments at once, fast and exact after
/// rounding to float.
///
/// Wherever a pixel path rounds a curve's value to float (the ellipse's ring
/// and the rectangle's side bands), the value it must store is
/// static_cast<float>(FalloffCurve<k>(t)) for a float t: the standard
/// library's double-precision pow calls, rounded once. The power curves
/// (Gamma 2.2, Gaussian, Exponential) are computed here instead from a
/// polynomial logarithm and exponential whose error against the library's
/// pow is bounded, and carried as an interval [lo, hi] that holds the
/// library's double result. Every later step of the curve is monotonic and
/// done with the curve's own double operations, so when both ends of the
/// interval round to the same float, that float is the one the library's
/// value rounds to. Where they do not (the value lies within the bound of a
/// float rounding boundary, a few lanes in a hundred thousand), or the
/// argument lies outside [0, 1], the lane is left undecided and the caller
/// evaluates the exact expression for it.
///
/// Error budget of the interval, relative to the value carried (kBound is
/// 2^-40, about 9.1e-13):
/// - 2^f for |f| <= 1/2 by its Taylor series to degree 12: the remainder is
///   below (ln 2 / 2)^13 / 13! * sqrt(2), about 2.5e-16;
/// - ln m for m in [1/sqrt 2, sqrt 2] as 2 atanh(s), s = (m - 1) / (m + 1),
///   to s^17: |s| <= 0.1716 and the remainder is below 4.4e-16 absolute;
/// - the arguments' own rounding, at most some 70 units of 2^-53 of an
///   exponent of at most 68 in magnitude for Gamma 2.2 at the smallest
///   float, so about 1.6e-14 of the value, and a few units elsewhere;
/// - the library's pow, within one unit in the last place.
/// The sum stays under kBound / 16; the interval's ends are placed kBound
/// away, and the exhaustive test measures the largest discrepancy over
/// every float argument and checks it against the same margin.
///
/// Written with the compiler's vector operators over the SSE and AVX vector
/// types, so that one text serves the baseline (two doubles per vector) and
/// the wider instruction set (four); every operation rounds as its scalar
/// counterpart. The whole header is internal to each file that includes it:
/// a file compiled for AVX gets its own copy, never shared with baseline
/// code through the linker.
#pragma once

#include <immintrin.h>

#include <cstdint>

namespace quorvel {
namespace {
namespace falloff_lanes {

/// Falloff choices, as in the parameter set (not included here, so that
/// this header depends on nothing the AVX file would share).
inline constexpr std::int32_t kLinear = 1;
inline constexpr std::int32_t kQuadratic = 2;
inline constexpr std::int32_t kCubic = 3;
inline constexpr std::int32_t kGamma = 4;
inline constexpr std::int32_t kGaussian = 5;
inline constexpr std::int32_t kExponential = 6;

/// Relative half-width of the interval around a power curve's value.
inline constexpr double kBound = 0x1p-40;

/// The curves computed here through the interval; the others are the exact
/// double operations, lane by lane.
constexpr bool IsPowerCurve(std::int32_t falloff) {
    return falloff == kGamma || falloff == kGaussian || falloff == kExponential;
}

using U64x2 = std::uint64_t __attribute__((vector_size(16)));

inline __m128d Splat(__m128d, double x) { return _mm_set1_pd(x); }
inline int LaneBits(__m128d mask) { return _mm_movemask_pd(mask); }
inline __m128d SquareRoots(__m128d x) { return _mm_sqrt_pd(x); }
/// Each lane rounded to float and widened back: exact, and a float's value.
inline __m128d RoundToFloat(__m128d x) { return _mm_cvtps_pd(_mm_cvtpd_ps(x)); }
inline U64x2 AsBits(__m128d x) { return reinterpret_cast<U64x2>(x); }
inline __m128d FromBits(__m128d, U64x2 bits) { return reinterpret_cast<__m128d>(bits); }

#if defined(__AVX2__)
using U64x4 = std::uint64_t __attribute__((vector_size(32)));

inline __m256d Splat(__m256d, double x) { return _mm256_set1_pd(x); }
inline int LaneBits(__m256d mask) { return _mm256_movemask_pd(mask); }
inline __m256d SquareRoots(__m256d x) { return _mm256_sqrt_pd(x); }
inline __m256d RoundToFloat(__m256d x) { return _mm256_cvtps_pd(_mm256_cvtpd_ps(x)); }
inline U64x4 AsBits(__m256d x) { return reinterpret_cast<U64x4>(x); }
inline __m256d FromBits(__m256d, U64x4 bits) { return reinterpret_cast<__m256d>(bits); }
#endif

/// mask ? a : b, lane by lane, for a mask from a comparison of doubles.
inline __m128d Select(__m128d mask, __m128d a, __m128d b) {
    return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b));
}

#if defined(__AVX2__)
inline __m256d Select(__m256d mask, __m256d a, __m256d b) { return _mm256_blendv_pd(b, a, mask); }
#endif

template <typename D>
inline D AsMask(decltype(D{} < D{}) comparison) {
    return reinterpret_cast<D>(comparison);
}

/// Polynomial c[0] + c[1] x + ... + c[12] x^12 by Estrin's scheme: pairs,
/// then pairs of pairs, so that the dependent chain is four steps long
/// rather than twelve.
template <typename D>
inline D Polynomial12(D x, const double (&c)[13]) {
    const D x2 = x * x;
    const D x4 = x2 * x2;
    const D x8 = x4 * x4;
    auto pair = [&](int n) { return Splat(x, c[n]) + Splat(x, c[n + 1]) * x; };
    const D q0 = pair(0) + pair(2) * x2;
    const D q1 = pair(4) + pair(6) * x2;
    const D q2 = pair(8) + pair(10) * x2;
    const D r0 = q0 + q1 * x4;
    const D r1 = q2 + Splat(x, c[12]) * x4;
    return r0 + r1 * x8;
}

/// Polynomial c[0] + c[1] x + ... + c[8] x^8, the same way.
template <typename D>
inline D Polynomial8(D x, const double (&c)[9]) {
    const D x2 = x * x;
    const D x4 = x2 * x2;
    const D x8 = x4 * x4;
    auto pair = [&](int n) { return Splat(x, c[n]) + Splat(x, c[n + 1]) * x; };
    const D q0 = pair(0) + pair(2) * x2;
    const D q1 = pair(4) + pair(6) * x2;
    return (q0 + q1 * x4) + Splat(x, c[8]) * x8;
}

/// 2^x for x in [-1000, 0], relative error about 3e-16: x = k + f with k the
/// nearest integer and |f| <= 1/2, 2^f by its Taylor series, 2^k in the
/// exponent bits.
template <typename D>
inline D Exp2(D x) {
    // ln2^n / n!, lowest power first.
    static constexpr struct Table {
        double c[13];
    } kTaylor = [] {
        constexpr double kLn2 = 0.6931471805599453;
        Table table{};
        double term = 1.0;
        for (int n = 0; n <= 12; ++n) {
            table.c[n] = term;
            term = term * kLn2 / double(n + 1);
        }
        return table;
    }();
    // Adding 1.5 * 2^52 rounds to an integer; its low bits are k.
    const D magic = Splat(x, 0x1.8p52);
    const D shifted = x + magic;
    const D k = shifted - magic;
    const D f = x - k;
    const auto kBits = AsBits(shifted) - AsBits(magic);
    const D scale = FromBits(x, (kBits + 1023) << 52);
    return Polynomial12(f, kTaylor.c) * scale;
}

/// log2 t for t a positive normal double; absolute error about 5e-16 plus
/// the exponent's rounding.
template <typename D>
inline D Log2(D t) {
    constexpr double kTwoOverLn2 = 2.8853900817779268;  // 2 / ln 2
    // 1 / (2n + 1): the series of atanh(s) / s in z = s².
    static constexpr double kSeries[9] = {1.0,        1.0 / 3.0,  1.0 / 5.0,  1.0 / 7.0, 1.0 / 9.0,
                                          1.0 / 11.0, 1.0 / 13.0, 1.0 / 15.0, 1.0 / 17.0};
    const auto bits = AsBits(t);
    const auto biased = bits >> 52;  // the sign is 0
    D m = FromBits(t, (bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
    // The exponent as a double: its bits below 2^52's, less 2^52 and the bias.
    D e = FromBits(t, biased | 0x4330000000000000ull) - Splat(t, 0x1p52 + 1023.0);
    const D big = AsMask<D>(m > Splat(t, 1.4142135623730951));
    m = Select(big, m * Splat(t, 0.5), m);
    e = Select(big, e + Splat(t, 1.0), e);
    const D one = Splat(t, 1.0);
    const D s = (m - one) / (m + one);
    const D ln_half = s * Polynomial8(s * s, kSeries);  // ln m / 2
    return e + ln_half * Splat(t, kTwoOverLn2);
}

/// A curve's values over the lanes of D, each a float held as a double, and
/// which lanes they are decided for (bit i for lane i).
template <typename D>
struct Curved {
    D value;
    int decided;
};

/// The lanes whose interval's two ends round to the same float, that float.
template <typename D>
inline Curved<D> Decide(D lo, D hi, D valid) {
    const D lo_float = RoundToFloat(lo);
    const D same = AsMask<D>(lo_float == RoundToFloat(hi));
    return {lo_float, LaneBits(same) & LaneBits(valid)};
}

/// The library pow call a power curve's interval is built around, for t in
/// (0, 1]: pow(t, 0.454) for Gamma 2.2, pow(360, -pow(t, 2.5)) for
/// Gaussian (with t^2.5 as t² √t) and pow(2.5, -t) for Exponential.
template <std::int32_t kFalloff, typename D>
inline D ApproximatePower(D t) {
    if constexpr (kFalloff == kGamma) {
        return Exp2(Log2(t) * Splat(t, 0.454));
    } else if constexpr (kFalloff == kGaussian) {
        constexpr double kNegLog2Of360 = -8.4918530963296757;
        const D squared = t * t;
        const D e = squared * SquareRoots(t);
        return Exp2(e * Splat(t, kNegLog2Of360));
    } else {
        constexpr double kNegLog2Of2_5 = -1.3219280948873624;
        return Exp2(t * Splat(t, kNegLog2Of2_5));
    }
}

/// The fast curves' bounds hold for rounding to nearest, the floating-point
/// environment's default; under any other rounding mode the exact
/// expression is used.
inline bool RoundsToNearest() { return (_mm_getcsr() & 0x6000u) == 0; }

/// Linear, Quadratic or Cubic at each lane of t: the curve's exact double
/// operations, unrounded (the rectangle's corners combine them so).
template <std::int32_t kFalloff, typename D>
inline D CheapCurve(D t) {
    if constexpr (kFalloff == kQuadratic) {
        return t * t;
    } else if constexpr (kFalloff == kCubic) {
        const D t2 = t * t;
        return t2 * t;
    } else {
        return t;
    }
}

/// Falloff curve `kFalloff` at each lane of t (each a float widened), rounded
/// to float, with the lanes it decides. Linear, Quadratic and Cubic are the
/// exact operations and decide every lane; the power curves decide the lanes
/// with t in [0, 1] (zero giving 0, as every curve does) whose value lies
/// clear of a float rounding boundary. Any other falloff value is Linear.
template <std::int32_t kFalloff, typename D>
inline Curved<D> RoundedCurve(D t) {
    constexpr int all = (1 << (sizeof(D) / sizeof(double))) - 1;
    if constexpr (!IsPowerCurve(kFalloff)) {
        // Rounding a float's value widened to double gives it back.
        return {RoundToFloat(CheapCurve<kFalloff>(t)), all};
    } else {
        const D zero = Splat(t, 0.0);
        const D one = Splat(t, 1.0);
        const D is_zero = AsMask<D>(t == zero);
        const D valid = AsMask<D>((t >= zero) & (t <= one));
        // At zero (answered below) the series see a harmless argument.
        const D y = ApproximatePower<kFalloff>(Select(is_zero, one, t));
        const D margin = y * Splat(t, kBound);
        const D y_lo = y - margin;
        const D y_hi = y + margin;
        // The rest of each curve, on both ends: its own double operations,
        // each monotonic, so the ends keep bracketing the library's result.
        D lo;
        D hi;
        if constexpr (kFalloff == kGamma) {
            lo = y_lo;
            hi = y_hi;
        } else if constexpr (kFalloff == kGaussian) {
            lo = one - y_hi;
            hi = one - y_lo;
        } else {
            const D d_lo = one - y_hi;
            const D d_hi = one - y_lo;
            const D s_lo = d_lo * Splat(t, 2.5);
            const D s_hi = d_hi * Splat(t, 2.5);
            lo = s_lo / Splat(t, 1.5);
            hi = s_hi / Splat(t, 1.5);
        }
        lo = Select(is_zero, zero, lo);
        hi = Select(is_zero, zero, hi);
        return Decide(lo, hi, valid);
    }
}

}  // namespace falloff_lanes
}  // namespace
}  // namespace quorvel
