/// Narrowing conversions that are defined for every input.
///
/// The overlay turns doubles and floats derived from host parameters into
/// 16.16 coordinates and angles. A plain cast of a value outside the int32
/// range, or of a NaN, is undefined behaviour, and such values do arrive:
/// a Width of 1e30, a zero Height in a ratio, a pixel aspect ratio with a
/// zero numerator. Every such conversion in the overlay goes through here,
/// and so do the 16.16 conversions (numeric/FixedPoint.h) built on them.
#pragma once

#include <cstdint>
#include <limits>

namespace quorvel {

/// Truncates toward zero, as a cast does for values in range; values beyond
/// either end stick to that end and NaN becomes 0. Floats widen to double
/// exactly, so this one function serves both.
constexpr std::int32_t SaturateToInt32(double v) {
    if (v != v) return 0;  // NaN: no nearer end to choose, and 0 keeps a place on screen.
    // The bounds are the first values whose truncation leaves the range.
    if (v >= 2147483648.0) return std::numeric_limits<std::int32_t>::max();
    if (v <= -2147483649.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

/// Integer sums and differences of 16.16 values are formed in 64 bits, where
/// they cannot overflow, and brought back here.
constexpr std::int32_t ClampToInt32(std::int64_t v) {
    if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

/// Narrows to float as IEEE hardware does, infinities included, without the
/// out-of-range conversion the language leaves undefined. Only values that
/// follow from an extreme Width or Height can get there.
constexpr float NarrowToFloat(double v) {
    // FLT_MAX plus half its last place: from here on round-to-nearest gives infinity.
    constexpr double kOverflow = 340282356779733661637539395458142568448.0;  // 2^128 - 2^103
    if (v >= kOverflow) return std::numeric_limits<float>::infinity();
    if (v <= -kOverflow) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(v);
}

}  // namespace quorvel
