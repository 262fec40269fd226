/// The falloff curves rounded to float, one argument at a time, for the
/// pixel functions the host calls: the fast curve of FalloffLanes.h where it
/// is faster and decides, the exact expression elsewhere.
#pragma once

#include <cstdint>

#include "render/MaskEvaluator.h"
#include "shell/Params.h"

#if defined(__SSE2__) || defined(_M_X64)
#include "render/FalloffLanes.h"
#endif

namespace quorvel {
namespace {

#if defined(__SSE2__) || defined(_M_X64)

static_assert(falloff_lanes::kLinear == kFalloffLinear && falloff_lanes::kQuadratic == kFalloffQuadratic &&
              falloff_lanes::kCubic == kFalloffCubic && falloff_lanes::kGamma == kFalloffGamma &&
              falloff_lanes::kGaussian == kFalloffGaussian && falloff_lanes::kExponential == kFalloffExponential);

/// Curve number kFalloff at t, rounded to float: RoundedFalloffCurve's value,
/// bit for bit. One value at a time, what counts is the latency: the
/// library's single pow call (Gamma 2.2, Exponential) answers sooner than
/// the approximation with its interval and decision, so only the Gaussian,
/// with two pow calls in a row, takes the fast curve here. The rows, which
/// work through many values at once, take it for all three.
template <std::int32_t kFalloff>
inline float FastRoundedFalloff(float t) {
    if constexpr (kFalloff == kFalloffGaussian) {
        if (falloff_lanes::RoundsToNearest()) {
            const auto curved = falloff_lanes::RoundedCurve<kFalloff>(_mm_set_sd(static_cast<double>(t)));
            if ((curved.decided & 1) != 0) return static_cast<float>(_mm_cvtsd_f64(curved.value));
        }
    }
    return RoundedFalloffCurve<kFalloff>(t);
}

#else  // no vector unit: the exact expression

template <std::int32_t kFalloff>
inline float FastRoundedFalloff(float t) {
    return RoundedFalloffCurve<kFalloff>(t);
}

#endif

}  // namespace
}  // namespace quorvel
