/// The host's 16.16 fixed point (PF_Fixed, 1.0 = 65536) and angles, to and
/// from the numbers the module and the tool compute with.
///
/// Each conversion into 16.16 or into whole pixels names its rounding: several
/// are in use, and each is the right one where it is used. The overlay lays
/// out its boxes to nearest with halves away from zero, the rotation drag adds
/// a half and truncates, the hit test floors and the drawing rounds halves up;
/// the tool encodes what a user typed or a host computed to nearest with
/// halves to even.
///
/// Everything here is inline and compiles with its includer's flags, so in
/// the module it gets the module's strict floating-point settings.
#pragma once

#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>
#include <optional>

#include "host/PF_Host.h"
#include "numeric/Saturate.h"

namespace quorvel {

/// 1.0 in 16.16 fixed point.
inline constexpr double kFixedOne = 65536.0;

/// pi / 180. The rotation drag divides by the same double to turn a mouse
/// direction back into degrees, so an angle survives the round trip.
inline constexpr double kRadiansPerDegree = 0.017453292519943295;

// ---- From 16.16 ----------------------------------------------------------

/// A 16.16 value, or a 64-bit sum or difference of such values, as a real
/// number. Exact: dividing by 2^16 gives the same double as multiplying by
/// 2^-16.
constexpr double DoubleFromFixed(std::int64_t v) { return double(v) / kFixedOne; }

/// A 16.16 value rounded once to float (to nearest, as narrowing does).
constexpr float FloatFromFixed(PF_Fixed v) { return float(DoubleFromFixed(v)); }

/// Whole pixels of a 16.16 value, rounded down (an arithmetic shift), in the
/// caller's integer type.
template <std::signed_integral T>
constexpr T WholeFromFixedFloor(T v) {
    return v >> 16;
}

/// Whole pixels of a 16.16 value, to nearest with halves up; in 64 bits, so
/// that values near the top of the range cannot overflow.
constexpr std::int64_t WholeFromFixedNearestTiesUp(std::int64_t v) { return (v + 32768) >> 16; }

// ---- Angles --------------------------------------------------------------

/// Degrees to radians, multiplied in double.
constexpr double RadiansFromDegrees(double degrees) { return degrees * kRadiansPerDegree; }

/// A 16.16 angle in degrees to radians, in double.
constexpr double RadiansFromFixedDegrees(PF_Fixed degrees) { return RadiansFromDegrees(DoubleFromFixed(degrees)); }

/// Radians to degrees, divided by the same constant rather than multiplied
/// by its reciprocal, so that RadiansFromDegrees is undone.
constexpr double DegreesFromRadians(double radians) { return radians / kRadiansPerDegree; }

// ---- To 16.16 ------------------------------------------------------------

/// Whole units to 16.16: exact within the range (about +-32767), saturating
/// beyond it rather than wrapping.
constexpr PF_Fixed FixedFromWholeSaturating(A_long whole) { return ClampToInt32(std::int64_t{whole} * 65536); }

/// v x 65536 to nearest, halves away from zero: in double, plus a half with
/// the value's sign, truncated toward zero. That differs from exact rounding
/// only for a product of +-(0.5 - 2^-54), which the addition carries to +-1.
/// Saturates beyond the int32 range; NaN gives 0.
constexpr PF_Fixed FixedFromDoubleNearestTiesAway(double v) {
    const double scaled = v * kFixedOne;
    // NaN fails the test and stays NaN, which the saturating cast maps to 0.
    return SaturateToInt32(v >= 0.0 ? scaled + 0.5 : scaled - 0.5);
}

/// v x 65536 in single precision, widened to double, plus a half, truncated
/// toward zero: to nearest with halves up for v >= 0, but toward zero for
/// negative v. Saturates beyond the int32 range; NaN gives 0.
constexpr PF_Fixed FixedFromFloatPlusHalfTruncating(float v) {
    return SaturateToInt32(double(v * float(kFixedOne)) + 0.5);
}

namespace detail {

inline constexpr double kLowestFixed = double(std::numeric_limits<PF_Fixed>::min());
inline constexpr double kHighestFixed = double(std::numeric_limits<PF_Fixed>::max());

/// v x 65536 to the nearest whole number, halves to even. Scaling by a power
/// of two and taking the fraction off the floor are both exact, so the
/// result does not depend on the rounding mode a module may have left set.
inline double ScaledNearestTiesEven(double v) {
    const double scaled = v * kFixedOne;
    double whole = std::floor(scaled);
    const double fraction = scaled - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
    return whole;
}

}  // namespace detail

/// v x 65536 to nearest, halves to even, whatever the current floating-point
/// rounding mode; saturated at the ends of the range, and NaN gives 0. For
/// values a host computes itself (mapped points), where clamping beats
/// refusing.
inline PF_Fixed FixedFromDoubleNearestTiesEven(double v) {
    if (std::isnan(v)) return 0;
    const double rounded = detail::ScaledNearestTiesEven(v);
    if (rounded >= detail::kHighestFixed) return std::numeric_limits<PF_Fixed>::max();
    if (rounded <= detail::kLowestFixed) return std::numeric_limits<PF_Fixed>::min();
    return PF_Fixed(rounded);
}

/// The same rounding, but nothing when the rounded value lies outside 16.16
/// (about -32768 to 32768) or v is not finite: for values a user typed, which
/// are refused rather than silently clamped.
inline std::optional<PF_Fixed> CheckedFixedFromDoubleNearestTiesEven(double v) {
    if (!std::isfinite(v)) return std::nullopt;
    const double rounded = detail::ScaledNearestTiesEven(v);
    if (!(rounded >= detail::kLowestFixed && rounded <= detail::kHighestFixed)) return std::nullopt;
    return PF_Fixed(rounded);
}

}  // namespace quorvel
