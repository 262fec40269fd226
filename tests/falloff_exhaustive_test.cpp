// Every float in [0, 1], and -0, through every implementation of the six
// falloff curves the pixel paths use (the one-at-a-time curves of the host's
// pixel functions and the vectors of the float rows on each vector unit this
// processor has), compared bit for bit with the exact expression: the
// library's double-precision pow calls, rounded to float. Those are every
// value the ring and the side bands can hand a fast curve; the ones outside
// [0, 1] go to the exact expression, which the ordinary suite checks.
//
// It also measures how far the power curves' approximations stray from the
// library's pow, at one argument in eight, against the margin the interval
// assumes: the equality above holds by that margin, not by luck.
//
// About a billion arguments per curve: this program is its own CI stage
// (label "exhaustive"), not part of the ordinary suite.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "render/FastFalloff.h"
#include "render/FloatRows.h"
#include "render/MaskEvaluator.h"
#include "shell/Params.h"

namespace quorvel {
namespace {

constexpr std::uint32_t kOneBits = 0x3F800000u;  // 1.0f
constexpr std::uint32_t kNegativeZeroBits = 0x80000000u;
constexpr std::size_t kChunk = std::size_t(1) << 16;
/// The approximations' error is measured at one argument in this many
/// (some 130 million per curve): each measurement costs the library's pow
/// again, which under Wine is slow.
constexpr std::size_t kErrorStride = 8;
/// Most floats in [0, 1] are tiny, where the curves' 1 - p cancels and the
/// exact expression decides; a ring's or band's pixels spread evenly over
/// [0, 1] and nearly all lie above this.
constexpr float kMostPixels = 1.0f / 1024.0f;

/// The library's pow call a power curve's interval is built around.
double LibraryPower(std::int32_t falloff, double t) {
    switch (falloff) {
        case kFalloffGamma:
            return std::pow(t, 0.454);
        case kFalloffGaussian:
            return std::pow(360.0, -std::pow(t, 2.5));
        default:
            return std::pow(2.5, -t);
    }
}

/// Whether the fast curve decides t itself (no exact expression needed).
bool Decided(std::int32_t falloff, float t) {
    const __m128d lanes = _mm_set_sd(static_cast<double>(t));
    switch (falloff) {
        case kFalloffGamma:
            return (falloff_lanes::RoundedCurve<kFalloffGamma>(lanes).decided & 1) != 0;
        case kFalloffGaussian:
            return (falloff_lanes::RoundedCurve<kFalloffGaussian>(lanes).decided & 1) != 0;
        default:
            return (falloff_lanes::RoundedCurve<kFalloffExponential>(lanes).decided & 1) != 0;
    }
}

double ApproximatePowerAt(std::int32_t falloff, double t) {
    const __m128d lanes = _mm_set_sd(t);
    switch (falloff) {
        case kFalloffGamma:
            return _mm_cvtsd_f64(falloff_lanes::ApproximatePower<kFalloffGamma>(lanes));
        case kFalloffGaussian:
            return _mm_cvtsd_f64(falloff_lanes::ApproximatePower<kFalloffGaussian>(lanes));
        default:
            return _mm_cvtsd_f64(falloff_lanes::ApproximatePower<kFalloffExponential>(lanes));
    }
}

float OneAtATime(std::int32_t falloff, float t) {
    return WithFalloff(falloff, [t]<std::int32_t kFalloff>() { return FastRoundedFalloff<kFalloff>(t); });
}

struct Mismatch {
    std::string implementation;
    float t;
    float expected;
    float actual;
};

/// What one curve's sweep found.
struct Findings {
    std::mutex lock;
    std::vector<Mismatch> mismatches;  // the first few
    std::uint64_t mismatch_count = 0;
    double largest_power_error = 0.0;  // relative, against the library's pow
    float largest_power_error_at = 0.0f;
    std::uint64_t undecided = 0;        // arguments left to the exact expression
    std::uint64_t undecided_above = 0;  // of those, at or above kMostPixels
};

std::vector<VectorUnit> Units() {
    std::vector<VectorUnit> units{VectorUnit::kBaseline};
    if (AvailableVectorUnit() == VectorUnit::kAvx2) units.push_back(VectorUnit::kAvx2);
    return units;
}

const char* UnitName(VectorUnit unit) { return unit == VectorUnit::kAvx2 ? "rows (AVX2)" : "rows (baseline)"; }

/// Arguments [first, last] of the bit patterns, in chunks.
void Sweep(std::int32_t falloff, std::uint32_t first, std::uint32_t last, Findings& findings) {
    const bool power = falloff == kFalloffGamma || falloff == kFalloffGaussian || falloff == kFalloffExponential;
    const std::vector<VectorUnit> units = Units();
    std::vector<float> t(kChunk);
    std::vector<float> exact(kChunk);
    std::vector<float> vector(kChunk);
    std::uint64_t mismatches = 0;
    std::vector<Mismatch> kept;
    double largest = 0.0;
    float largestAt = 0.0f;
    std::uint64_t undecided = 0;
    std::uint64_t undecided_above = 0;
    auto record = [&](const char* implementation, float at, float expected, float actual) {
        ++mismatches;
        if (kept.size() < 8) kept.push_back({implementation, at, expected, actual});
    };
    for (std::uint64_t start = first; start <= last; start += kChunk) {
        const std::size_t n = std::size_t(std::min<std::uint64_t>(kChunk, std::uint64_t(last) - start + 1));
        for (std::size_t i = 0; i < n; ++i) {
            t[i] = std::bit_cast<float>(std::uint32_t(start + i));
            exact[i] = RoundedFalloff(falloff, t[i]);
        }
        for (std::size_t i = 0; i < n; ++i) {
            const float actual = OneAtATime(falloff, t[i]);
            if (std::bit_cast<std::uint32_t>(actual) != std::bit_cast<std::uint32_t>(exact[i])) {
                record("one at a time", t[i], exact[i], actual);
            }
        }
        for (VectorUnit unit : units) {
            RoundedFalloffs(unit, falloff, t.data(), vector.data(), n);
            for (std::size_t i = 0; i < n; ++i) {
                if (std::bit_cast<std::uint32_t>(vector[i]) != std::bit_cast<std::uint32_t>(exact[i])) {
                    record(UnitName(unit), t[i], exact[i], vector[i]);
                }
            }
        }
        if (power) {
            for (std::size_t i = 0; i < n; ++i) {
                if (Decided(falloff, t[i])) continue;
                ++undecided;
                if (t[i] >= kMostPixels) ++undecided_above;
            }
            for (std::size_t i = 0; i < n; i += kErrorStride) {
                if (!(t[i] > 0.0f)) continue;
                const double library = LibraryPower(falloff, t[i]);
                const double error = std::fabs(ApproximatePowerAt(falloff, t[i]) - library) / library;
                if (error > largest) {
                    largest = error;
                    largestAt = t[i];
                }
            }
        }
    }
    const std::lock_guard<std::mutex> guard(findings.lock);
    findings.mismatch_count += mismatches;
    findings.undecided += undecided;
    findings.undecided_above += undecided_above;
    for (const Mismatch& m : kept) {
        if (findings.mismatches.size() < 8) findings.mismatches.push_back(m);
    }
    if (largest > findings.largest_power_error) {
        findings.largest_power_error = largest;
        findings.largest_power_error_at = largestAt;
    }
}

std::string CurveName(const ::testing::TestParamInfo<std::int32_t>& info) {
    static const char* const kNames[] = {"Linear", "Quadratic", "Cubic", "Gamma22", "Gaussian", "Exponential"};
    return kNames[info.param - 1];
}

class EveryFloatArgument : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(EveryFloatArgument, MatchesTheExactExpressionBitForBit) {
    const std::int32_t falloff = GetParam();
    Findings findings;
    // Spread over the cores: the arguments are independent.
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    std::atomic<std::uint32_t> next{0};
    constexpr std::uint32_t kSlice = 1u << 22;
    {
        std::vector<std::jthread> workers;
        for (unsigned w = 0; w < threads; ++w) {
            workers.emplace_back([&] {
                for (;;) {
                    const std::uint32_t first = next.fetch_add(kSlice);
                    if (first > kOneBits) return;
                    Sweep(falloff, first, std::min(kOneBits, first + kSlice - 1), findings);
                }
            });
        }
    }
    Sweep(falloff, kNegativeZeroBits, kNegativeZeroBits, findings);

    for (const Mismatch& m : findings.mismatches) {
        ADD_FAILURE() << m.implementation << ": t = " << std::hexfloat << m.t << " gives " << m.actual
                      << ", the exact expression " << m.expected;
    }
    EXPECT_EQ(findings.mismatch_count, 0u) << "arguments whose rounded curve differs from the exact one";

    const bool power = falloff == kFalloffGamma || falloff == kFalloffGaussian || falloff == kFalloffExponential;
    if (power) {
        // The interval's ends lie kBound away; the approximation must stay
        // within half of that of the library's value for the ends to bracket
        // it. Asked with a sixteenfold margin.
        std::printf(
            "falloff %d: largest relative error against the library's pow %.3g at t = %a "
            "(margin assumed %.3g); arguments left to the exact expression: %llu, %llu of them "
            "at or above 2^-10\n",
            falloff, findings.largest_power_error, double(findings.largest_power_error_at), falloff_lanes::kBound / 16,
            static_cast<unsigned long long>(findings.undecided),
            static_cast<unsigned long long>(findings.undecided_above));
        EXPECT_LT(findings.largest_power_error, falloff_lanes::kBound / 16)
            << "at t = " << std::hexfloat << findings.largest_power_error_at;
    }
}

INSTANTIATE_TEST_SUITE_P(Curves, EveryFloatArgument,
                         ::testing::Values(kFalloffLinear, kFalloffQuadratic, kFalloffCubic, kFalloffGamma,
                                           kFalloffGaussian, kFalloffExponential),
                         CurveName);

}  // namespace
}  // namespace quorvel
