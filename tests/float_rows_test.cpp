// The fast falloff curves and the float frame's vector rows against the
// exact arithmetic: MaskValue (whose curves are the library's pow calls) and
// CompositeAlpha, pixel by pixel. Every comparison is of bits.
//
// The curves' arguments in [0, 1] are checked one by one by the exhaustive
// test; here, the arguments outside it, which must take the exact
// expression, and whole frames through each vector unit this processor has,
// with lanes of every kind side by side.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "render/FastFalloff.h"
#include "render/FloatRows.h"
#include "render/IterateFloatPixels.h"
#include "render/MaskEvaluator.h"
#include "render/PixelFunctions.h"
#include "tests/MaskRig.h"

namespace quorvel {
namespace {

using namespace test;

std::vector<VectorUnit> Units() {
    std::vector<VectorUnit> units{VectorUnit::kBaseline};
    if (AvailableVectorUnit() == VectorUnit::kAvx2) units.push_back(VectorUnit::kAvx2);
    return units;
}

std::string UnitName(VectorUnit unit) { return unit == VectorUnit::kAvx2 ? "AVX2" : "baseline"; }

std::uint32_t Bits(float f) { return std::bit_cast<std::uint32_t>(f); }

// ---------------------------------------------------------------------------
// Arguments outside [0, 1].

constexpr float kInf = std::numeric_limits<float>::infinity();

const std::vector<float> kOutsideArguments = {
    std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(), kInf, -kInf, -1.0f,
    -std::numeric_limits<float>::denorm_min(), -FLT_MIN, -0.5f, std::nextafter(1.0f, 2.0f), 1.5f, 2.0f, 1e30f, FLT_MAX,
    // The edges and a few inside, so that the vectors mix both kinds of lane.
    0.0f, -0.0f, std::numeric_limits<float>::denorm_min(), FLT_MIN, 0.5f, 1.0f, 0.999f, 0.001f};

class OutsideArgumentTest : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(OutsideArgumentTest, TakeTheExactExpression) {
    const std::int32_t falloff = GetParam();
    for (float t : kOutsideArguments) {
        const float exact = RoundedFalloff(falloff, t);
        const float one = WithFalloff(falloff, [t]<std::int32_t k>() { return FastRoundedFalloff<k>(t); });
        EXPECT_EQ(Bits(one), Bits(exact)) << "one at a time, t = " << t;
    }
    for (VectorUnit unit : Units()) {
        // Each argument in every lane position: the table, rotated.
        const std::size_t n = kOutsideArguments.size();
        for (std::size_t shift = 0; shift < 8; ++shift) {
            std::vector<float> t(n);
            for (std::size_t i = 0; i < n; ++i) t[i] = kOutsideArguments[(i + shift) % n];
            std::vector<float> out(n);
            RoundedFalloffs(unit, falloff, t.data(), out.data(), n);
            for (std::size_t i = 0; i < n; ++i) {
                EXPECT_EQ(Bits(out[i]), Bits(RoundedFalloff(falloff, t[i]))) << UnitName(unit) << ", t = " << t[i];
            }
        }
    }
}

// 0 and 7 are values the popup never offers: Linear.
INSTANTIATE_TEST_SUITE_P(Curves, OutsideArgumentTest, ::testing::Values(1, 2, 3, 4, 5, 6, 0, 7));

// ---------------------------------------------------------------------------
// Whole frames.

/// A float frame with every kind of alpha (inside and outside [0, 1], NaN)
/// and colour words that are not all numbers.
void FillFrame(FloatWorld& world, A_long width, A_long height) {
    for (A_long y = 0; y < height; ++y) {
        for (A_long x = 0; x < width; ++x) {
            const std::uint32_t k = std::uint32_t(y * 977 + x * 131);
            const float alphas[] = {0.0f, 1.0f, 0.5f, 0.25f, 1.5f, -0.5f, 0.999f, 1e-3f, std::nanf("")};
            const std::uint32_t words[3] = {0x7FC01234u + k, 0xFF800000u, k * 2654435761u};
            PixelBGRA32f pixel;
            std::memcpy(&pixel, words, sizeof words);
            pixel.alpha = alphas[k % (sizeof alphas / sizeof alphas[0])];
            std::memcpy(world.At(x, y), &pixel, sizeof pixel);
        }
    }
}

/// What the pixel function's exact arithmetic writes for every pixel of the
/// rows [0, height): MaskValue, CompositeAlpha, the colour words unchanged.
std::vector<std::byte> Expected(const MaskEvaluator& mask, FloatWorld& src, FloatWorld& dst, A_long width,
                                A_long height) {
    std::vector<std::byte> expected = dst.bytes();
    const std::byte* base = dst.bytes().data();
    for (A_long y = 0; y < height; ++y) {
        for (A_long x = 0; x < width; ++x) {
            PixelBGRA32f pixel;
            std::memcpy(&pixel, src.At(x, y), sizeof pixel);
            float value = 0.0f;
            MaskValue(mask, x, y, value);
            pixel.alpha = CompositeAlpha(mask, value, pixel.alpha);
            std::memcpy(expected.data() + (dst.At(x, y) - base), &pixel, sizeof pixel);
        }
    }
    return expected;
}

struct FrameCase {
    std::string name;
    MaskSettings settings;
    Scales scales;
};

std::ostream& operator<<(std::ostream& os, const FrameCase& c) { return os << c.name; }

/// A small frame around a shape whose border covers much of it.
MaskSettings SmallShape(A_long mask_type, A_long falloff) {
    MaskSettings s;
    s.mask_type = mask_type;
    s.falloff = falloff;
    s.origin_x = 20.0;
    s.origin_y = 9.0;
    s.width = 38.0;
    s.height = 17.0;
    s.feather = 11.0;
    s.angle = 30.0;
    return s;
}

constexpr A_long kWidth = 43;  // not a multiple of any vector's width
constexpr A_long kHeight = 19;

std::vector<FrameCase> FrameCases() {
    std::vector<FrameCase> cases;
    const char* const shapes[] = {"", "Ellipse", "Rectangle"};
    const char* const curves[] = {"", "Linear", "Quadratic", "Cubic", "Gamma", "Gaussian", "Exponential"};
    for (A_long shape : {kMaskEllipse, kMaskRectangle}) {
        for (A_long curve = kFalloffLinear; curve <= kFalloffExponential; ++curve) {
            const std::string name = std::string(shapes[shape]) + curves[curve];
            MaskSettings s = SmallShape(shape, curve);
            cases.push_back({name, s, {}});
            MaskSettings inverted = s;
            inverted.invert = 1;
            inverted.compositeMode = kCompositeAdd;
            inverted.opacity_percent = 70.0;
            cases.push_back({name + "InvertedAdd", inverted, {}});
            MaskSettings subtract = s;
            subtract.compositeMode = kCompositeSubtract;
            subtract.angle = 0.0;
            cases.push_back({name + "SubtractUpright", subtract, {}});
            MaskSettings intersect = s;
            intersect.compositeMode = kCompositeIntersect;
            intersect.opacity_percent = 150.0;
            cases.push_back({name + "IntersectOverOpaque", intersect, {}});
            MaskSettings unknownMode = s;
            unknownMode.compositeMode = 9;
            cases.push_back({name + "UnknownMode", unknownMode, {}});
            MaskSettings hard = s;
            hard.feather = 0.0;
            cases.push_back({name + "HardEdge", hard, {}});
            MaskSettings wide = s;
            wide.feather = 400.0;
            cases.push_back({name + "FeatherPastHalfWidth", wide, {}});
            cases.push_back({name + "DownsampledNonSquare", s, {{1, 2}, {1, 3}, {10, 11}}});
        }
        MaskSettings zero = SmallShape(shape, kFalloffGaussian);
        zero.width = 0.0;
        cases.push_back({std::string(shapes[shape]) + "ZeroWidth", zero, {}});
        MaskSettings thin = SmallShape(shape, kFalloffGamma);
        thin.width = 1.5;
        cases.push_back({std::string(shapes[shape]) + "NarrowerThanTwoPixels", thin, {}});
        MaskSettings far = SmallShape(shape, kFalloffExponential);
        far.origin_x = -3000.0;
        far.width = 6100.0;
        far.feather = 3000.0;
        cases.push_back({std::string(shapes[shape]) + "FarCentreWideBorder", far, {}});
    }
    return cases;
}

class FloatRowsTest : public ::testing::TestWithParam<FrameCase> {};

TEST_P(FloatRowsTest, EveryByteAsThePixelArithmetic) {
    const FrameCase& c = GetParam();
    const MaskEvaluator mask = Build(c.settings, c.scales);
    // Padded rows, and rows running upward in memory.
    for (A_long rowbytes : {16 * kWidth, 16 * kWidth + 48, -(16 * kWidth + 16)}) {
        FloatWorld src(kWidth, kHeight, rowbytes);
        FillFrame(src, kWidth, kHeight);
        FloatWorld probe(kWidth, kHeight, rowbytes);
        const std::vector<std::byte> expected = Expected(mask, src, probe, kWidth, kHeight);
        for (VectorUnit unit : Units()) {
            FloatWorld dst(kWidth, kHeight, rowbytes);
            EXPECT_EQ(MaskRowsBGRA32f(kHeight, src.get(), mask, dst.get(), unit), PF_Err_NONE);
            EXPECT_TRUE(dst.bytes() == expected) << UnitName(unit) << ", rowbytes " << rowbytes;
        }
        // The pixel function the host's loop would call, one pixel at a time.
        FloatWorld dst(kWidth, kHeight, rowbytes);
        MaskEvaluator refcon = mask;
        IterateFloatPixels(0, kHeight, src.get(), &refcon, MaskPixelBGRA32f, dst.get());
        EXPECT_TRUE(dst.bytes() == expected) << "one pixel at a time, rowbytes " << rowbytes;
    }
}

INSTANTIATE_TEST_SUITE_P(Scenes, FloatRowsTest, ::testing::ValuesIn(FrameCases()),
                         [](const auto& info) { return info.param.name; });

TEST(FloatRows, InPlace) {
    const MaskEvaluator mask = Build(SmallShape(kMaskEllipse, kFalloffGaussian));
    FloatWorld original(kWidth, kHeight, 16 * kWidth);
    FillFrame(original, kWidth, kHeight);
    FloatWorld probe(kWidth, kHeight, 16 * kWidth);
    const std::vector<std::byte> expected = Expected(mask, original, probe, kWidth, kHeight);
    for (VectorUnit unit : Units()) {
        FloatWorld frame(kWidth, kHeight, 16 * kWidth);
        FillFrame(frame, kWidth, kHeight);
        MaskRowsBGRA32f(kHeight, frame.get(), mask, frame.get(), unit);
        EXPECT_TRUE(frame.bytes() == expected) << UnitName(unit);
    }
}

// Only the rows of the extent are written, from the top of the buffers.
TEST(FloatRows, StopAtTheExtent) {
    const MaskEvaluator mask = Build(SmallShape(kMaskRectangle, kFalloffCubic));
    FloatWorld src(kWidth, kHeight, 16 * kWidth);
    FillFrame(src, kWidth, kHeight);
    FloatWorld probe(kWidth, kHeight, 16 * kWidth);
    const std::vector<std::byte> expected = Expected(mask, src, probe, kWidth, 7);
    for (VectorUnit unit : Units()) {
        FloatWorld dst(kWidth, kHeight, 16 * kWidth);
        MaskRowsBGRA32f(7, src.get(), mask, dst.get(), unit);
        EXPECT_TRUE(dst.bytes() == expected) << UnitName(unit);
        FloatWorld untouched(kWidth, kHeight, 16 * kWidth);
        for (A_long lines : {0, -5}) {
            MaskRowsBGRA32f(lines, src.get(), mask, untouched.get(), unit);
            EXPECT_TRUE(untouched.bytes() == probe.bytes()) << UnitName(unit) << ", " << lines << " lines";
        }
    }
}

// A frame large enough for the non-temporal stores, which write the same
// bytes.
TEST(FloatRows, LargeFrame) {
    constexpr A_long kSide = 1024;  // 16 MiB of pixels
    MaskSettings s;
    s.falloff = kFalloffGaussian;
    s.origin_x = 512.0;
    s.origin_y = 512.0;
    s.width = 1000.0;
    s.height = 700.0;
    s.feather = 300.0;
    s.angle = 12.0;
    const MaskEvaluator mask = Build(s);
    FloatWorld src(kSide, kSide, 16 * kSide);
    FillFrame(src, kSide, kSide);
    FloatWorld probe(kSide, kSide, 16 * kSide);
    const std::vector<std::byte> expected = Expected(mask, src, probe, kSide, kSide);
    for (VectorUnit unit : Units()) {
        FloatWorld dst(kSide, kSide, 16 * kSide);
        MaskRowsBGRA32f(kSide, src.get(), mask, dst.get(), unit);
        EXPECT_TRUE(dst.bytes() == expected) << UnitName(unit);
    }
}

// Under another rounding mode the fast curves' bounds do not hold; the
// rows and the pixel functions then take the exact expression, and still
// write what the exact arithmetic writes under that mode.
TEST(FloatRows, OtherRoundingModes) {
    const unsigned saved = _mm_getcsr();
    for (unsigned mode : {_MM_ROUND_DOWN, _MM_ROUND_UP, _MM_ROUND_TOWARD_ZERO}) {
        for (A_long curve : {kFalloffGamma, kFalloffGaussian, kFalloffExponential}) {
            for (A_long shape : {kMaskEllipse, kMaskRectangle}) {
                const MaskEvaluator mask = Build(SmallShape(shape, curve));
                FloatWorld src(kWidth, kHeight, 16 * kWidth);
                FillFrame(src, kWidth, kHeight);
                FloatWorld probe(kWidth, kHeight, 16 * kWidth);
                _mm_setcsr((saved & ~0x6000u) | mode);
                const std::vector<std::byte> expected = Expected(mask, src, probe, kWidth, kHeight);
                std::vector<std::vector<std::byte>> results;
                for (VectorUnit unit : Units()) {
                    FloatWorld dst(kWidth, kHeight, 16 * kWidth);
                    MaskRowsBGRA32f(kHeight, src.get(), mask, dst.get(), unit);
                    results.push_back(dst.bytes());
                }
                FloatWorld dst(kWidth, kHeight, 16 * kWidth);
                MaskEvaluator refcon = mask;
                IterateFloatPixels(0, kHeight, src.get(), &refcon, MaskPixelBGRA32f, dst.get());
                results.push_back(dst.bytes());
                _mm_setcsr(saved);
                for (const auto& result : results) {
                    EXPECT_TRUE(result == expected) << "mode " << mode << ", curve " << curve << ", shape " << shape;
                }
            }
        }
    }
}

}  // namespace
}  // namespace quorvel
