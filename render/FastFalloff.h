/// The falloff curves rounded to float, one argument at a time, for the
/// pixel functions the host calls: the fast curves of FalloffLanes.h where
/// they decide, the exact expression where they do not.
#pragma once

#include <cstdint>

#include "MaskEvaluator.h"
#include "Params.h"

#if defined(__SSE2__) || defined(_M_X64)
#include "FalloffLanes.h"
#endif

namespace quorvel {
namespace {

#if defined(__SSE2__) || defined(_M_X64)

static_assert(falloff_lanes::kLinear == kFalloffLinear && falloff_lanes::kQuadratic == kFalloffQuadratic &&
              falloff_lanes::kCubic == kFalloffCubic && falloff_lanes::kGamma == kFalloffGamma &&
              falloff_lanes::kGaussian == kFalloffGaussian && falloff_lanes::kExponential == kFalloffExponential);

/// The fast curves' bounds hold for rounding to nearest, the floating-point
/// environment's default; under any other rounding mode the exact
/// expression is used.
inline bool RoundsToNearest() { return (_mm_getcsr() & 0x6000u) == 0; }

/// Curve number kFalloff at t, rounded to float: RoundedFalloffCurve's value,
/// bit for bit.
template <std::int32_t kFalloff>
inline float FastRoundedFalloff(float t) {
    if constexpr (falloff_lanes::IsPowerCurve(kFalloff)) {
        if (RoundsToNearest()) {
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
