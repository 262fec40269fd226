/// Square roots and quotients for the feather border, rounded exactly as the
/// plain operators and std::sqrt round them, in fewer instructions.
///
/// - SquareRoot: the root alone. std::sqrt also sets errno for a negative
///   argument, which costs a test and a library call on a path that then
///   needs a stack frame; the border functions are otherwise leaves.
/// - FloatPair: two single-precision values worked on side by side, for
///   arithmetic that comes in independent pairs (the ring's two quotients by
///   r, its two radii): one packed instruction for both, where the divider
///   and square-root unit are the bottleneck.
///
/// On x86-64 both are SSE instructions, whose every lane rounds as the
/// scalar operation; elsewhere they are the plain operations.
#pragma once

#if defined(__SSE2__) || defined(_M_X64)

#include <emmintrin.h>

namespace quorvel {

// The scalar root instructions read only the low lane, so the others may
// hold anything: a broadcast fills them without a separate zeroing.
inline float SquareRoot(float x) { return _mm_cvtss_f32(_mm_sqrt_ss(_mm_set1_ps(x))); }

inline double SquareRoot(double x) {
    const __m128d lanes = _mm_set1_pd(x);
    return _mm_cvtsd_f64(_mm_sqrt_sd(lanes, lanes));
}

class FloatPair {
public:
    // The two unused lanes hold 1: 1 / 1 and √1 raise no flag and take no
    // slow path.
    FloatPair(float first, float second) : lanes_(_mm_setr_ps(first, second, 1.0f, 1.0f)) {}

    float first() const { return _mm_cvtss_f32(lanes_); }
    float second() const { return _mm_cvtss_f32(_mm_shuffle_ps(lanes_, lanes_, _MM_SHUFFLE(1, 1, 1, 1))); }

    /// Each lane's quotient.
    friend FloatPair operator/(FloatPair num, FloatPair den) { return FloatPair(_mm_div_ps(num.lanes_, den.lanes_)); }
    /// Each lane's square root.
    friend FloatPair SquareRoot(FloatPair x) { return FloatPair(_mm_sqrt_ps(x.lanes_)); }

private:
    explicit FloatPair(__m128 lanes) : lanes_(lanes) {}

    __m128 lanes_;
};

}  // namespace quorvel

#else  // no SSE: the plain operations, the same results

#include <cmath>

namespace quorvel {

inline float SquareRoot(float x) { return std::sqrt(x); }
inline double SquareRoot(double x) { return std::sqrt(x); }

class FloatPair {
public:
    FloatPair(float first, float second) : first_(first), second_(second) {}

    float first() const { return first_; }
    float second() const { return second_; }

    /// Each lane's quotient.
    friend FloatPair operator/(FloatPair num, FloatPair den) {
        return FloatPair(num.first_ / den.first_, num.second_ / den.second_);
    }
    /// Each lane's square root.
    friend FloatPair SquareRoot(FloatPair x) { return FloatPair(std::sqrt(x.first_), std::sqrt(x.second_)); }

private:
    float first_;
    float second_;
};

}  // namespace quorvel

#endif
