// The mask evaluator's arithmetic, the pixel functions' loads and stores, and
// the module's own float pixel loop, on single pixels and tiny buffers.
//
// Expected values come from hand-worked geometry (radii along a ray, band
// positions) or from properties that must hold exactly (k / 255 * 255 == k);
// a tolerance is used only where the expected figure is itself rounded.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "render/IterateFloatPixels.h"
#include "render/MaskEvaluator.h"
#include "render/PixelFunctions.h"
#include "shell/Params.h"
#include "tests/MaskRig.h"

namespace quorvel {
namespace {

using namespace test;

// ---------------------------------------------------------------------------
// Mask values at chosen pixels.

struct MaskCase {
    const char* name;
    MaskSettings settings;
    Scales scales;
    int x;
    int y;
    float expected;
    double tolerance;  // 0: exact
};

std::ostream& operator<<(std::ostream& os, const MaskCase& c) { return os << c.name; }

class MaskValueTest : public ::testing::TestWithParam<MaskCase> {};

TEST_P(MaskValueTest, MatchesWorkedGeometry) {
    const MaskCase& c = GetParam();
    const float value = Mask(Build(c.settings, c.scales), c.x, c.y);
    if (c.tolerance == 0.0) {
        EXPECT_EQ(value, c.expected);
    } else {
        EXPECT_NEAR(value, c.expected, c.tolerance);
    }
}

MaskSettings WithAngle(double angle, MaskSettings s = {}) {
    s.angle = angle;
    return s;
}

MaskSettings WithOrigin(double x, double y, MaskSettings s = {}) {
    s.origin_x = x;
    s.origin_y = y;
    return s;
}

MaskSettings Inverted(MaskSettings s = {}) {
    s.invert = 1;
    return s;
}

constexpr Scales kHalfDownsample{{1, 2}, {1, 2}, {1, 1}};
constexpr Scales kHalfDownsampleX{{1, 2}, {1, 1}, {1, 1}};
constexpr Scales kHalfDownsampleY{{1, 1}, {1, 2}, {1, 1}};
constexpr Scales kAspect10Over11{{1, 1}, {1, 1}, {10, 11}};
constexpr Scales kAspect2Over1{{1, 1}, {1, 1}, {2, 1}};

// Worked example: halfWidth 100, halfHeight 50, feather 20 (inner 80 × 40).
// Ellipse at (60, 30): r = √4500, rIn = 3200 / √2560, rOut = 5000 / √4000,
// t = 0.24264, M = 0.75736. Rectangle at (90, 45): corner tu = tv = 0.5,
// R = √0.5, M = 0.29289.
INSTANTIATE_TEST_SUITE_P(
    WorkedExample, MaskValueTest,
    ::testing::Values(MaskCase{"EllipseCentre", {}, {}, 0, 0, 1.0f, 0},
                      MaskCase{"EllipseMidBandAlongWidth", {}, {}, 90, 0, 0.5f, 0},
                      MaskCase{"EllipseDiagonalRing", {}, {}, 60, 30, 0.75736f, 1e-5},
                      MaskCase{"EllipseMidBandAlongHeight", {}, {}, 0, 45, 0.5f, 0},
                      MaskCase{"EllipseInnerEdgeCountsAsInner", {}, {}, 80, 0, 1.0f, 0},
                      MaskCase{"EllipseOutlineIsOutside", {}, {}, 100, 0, 0.0f, 0},
                      MaskCase{"EllipseBeyondOutline", {}, {}, 100, 50, 0.0f, 0},
                      MaskCase{"EllipseLeftSideMirrors", {}, {}, -90, 0, 0.5f, 0},
                      MaskCase{"EllipseTopSideMirrors", {}, {}, 0, -45, 0.5f, 0},
                      MaskCase{"RectangleCentre", Rectangle(), {}, 0, 0, 1.0f, 0},
                      MaskCase{"RectangleMidBand", Rectangle(), {}, 90, 0, 0.5f, 0},
                      MaskCase{"RectangleMidBandAlongHeight", Rectangle(), {}, 0, 45, 0.5f, 0},
                      MaskCase{"RectangleCornerRoot", Rectangle(), {}, 90, 45, 0.29289f, 1e-5},
                      MaskCase{"RectangleCornerRootMirrored", Rectangle(), {}, -90, -45, 0.29289f, 1e-5},
                      MaskCase{"RectangleCornerRootCapped", Rectangle(), {}, 99, 49, 0.0f, 0},
                      // tu = tv = 0.8: root 1.131, capped.
                      MaskCase{"RectangleCornerAtPointEight", Rectangle(), {}, 96, 48, 0.0f, 0},
                      MaskCase{"RectangleInnerEdgeEntersBandAtZero", Rectangle(), {}, 80, 0, 1.0f, 0},
                      MaskCase{"RectangleInnerEdgeAlongHeight", Rectangle(), {}, 0, 40, 1.0f, 0},
                      MaskCase{"RectangleOutlineIsOutside", Rectangle(), {}, 100, 0, 0.0f, 0},
                      MaskCase{"RectangleOutlineAlongHeight", Rectangle(), {}, 0, 50, 0.0f, 0}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    ScaleAndAngle, MaskValueTest,
    ::testing::Values(
        MaskCase{"DownsampleHalf", {}, kHalfDownsample, 45, 0, 0.5f, 0},
        MaskCase{"DownsampleHalfAlongHeight", {}, kHalfDownsample, 0, 20, 1.0f, 0},
        MaskCase{"DownsampleHalfOutline", {}, kHalfDownsample, 50, 0, 0.0f, 0},
        // Each downsample factor scales its own axis only: at (0, 22) the
        // vertical distance is 44 full-resolution pixels, t = 0.4.
        MaskCase{"DownsampleYOnly", {}, kHalfDownsampleY, 0, 22, 0.6f, 1e-6},
        MaskCase{"DownsampleYLeavesWidth", {}, kHalfDownsampleY, 90, 0, 0.5f, 0},
        MaskCase{"DownsampleXOnly", {}, kHalfDownsampleX, 45, 0, 0.5f, 0},
        MaskCase{"DownsampleXLeavesHeight", {}, kHalfDownsampleX, 0, 44, 0.6f, 1e-6},
        // 99 pixels of aspect 10/11 are 90 square pixels; 1.1 has no exact
        // float, so allow for its rounding.
        MaskCase{"PixelAspectTenElevenths", {}, kAspect10Over11, 99, 0, 0.5f, 1e-5},
        MaskCase{"PixelAspectTwo", {}, kAspect2Over1, 45, 0, 0.5f, 0},
        MaskCase{"PixelAspectLeavesHeight", {}, kAspect2Over1, 0, 45, 0.5f, 0},
        MaskCase{"Angle90WidthRunsVertically", WithAngle(90), {}, 0, 90, 0.5f, 0},
        MaskCase{"Angle90HorizontalIsOutside", WithAngle(90), {}, 90, 0, 0.0f, 0},
        MaskCase{"Angle90HeightRunsHorizontally", WithAngle(90), {}, 45, 0, 0.5f, 0},
        // Positive angles turn clockwise on screen (y down): at +45 the
        // width axis points right-down, so (64, 64) lies 64√2 along it,
        // t = (64√2 − 80) / 20; at −45 the same pixel is on the height axis.
        MaskCase{
            "Angle45Clockwise", WithAngle(45), {}, 64, 64, float(1.0 - (64.0 * std::sqrt(2.0) - 80.0) / 20.0), 1e-5},
        MaskCase{"AngleMinus45CounterClockwise", WithAngle(-45), {}, 64, 64, 0.0f, 0},
        MaskCase{"AngleMinus45Mirror",
                 WithAngle(-45),
                 {},
                 64,
                 -64,
                 float(1.0 - (64.0 * std::sqrt(2.0) - 80.0) / 20.0),
                 1e-5},
        MaskCase{"RectangleAngle90", WithAngle(90, Rectangle()), {}, 0, 90, 0.5f, 0},
        MaskCase{"RectangleAngle90HorizontalOutside", WithAngle(90, Rectangle()), {}, 90, 0, 0.0f, 0},
        MaskCase{"OriginShiftsTheShape", WithOrigin(100, 50), {}, 190, 50, 0.5f, 0},
        MaskCase{"OriginShiftsTheRing", WithOrigin(100, 50), {}, 160, 80, 0.75736f, 1e-5},
        MaskCase{"OriginAndAngle90", WithOrigin(100, 50, WithAngle(90)), {}, 100, 140, 0.5f, 0},
        MaskCase{"OriginAndDownsample", WithOrigin(100, 50), kHalfDownsample, 145, 50, 0.5f, 0},
        MaskCase{"FractionalOrigin", WithOrigin(0.5, 0), {}, 90, 0, 0.525f, 1e-6}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Invert, MaskValueTest,
    ::testing::Values(MaskCase{"EllipseInnerIsZero", Inverted(), {}, 0, 0, 0.0f, 0},
                      MaskCase{"EllipseInnerEdgeIsZero", Inverted(), {}, 80, 0, 0.0f, 0},
                      MaskCase{"EllipseBandIsR", Inverted(), {}, 60, 30, 0.24264f, 1e-5},
                      MaskCase{"EllipseOutlineIsOne", Inverted(), {}, 100, 0, 1.0f, 0},
                      MaskCase{"EllipseFarOutsideIsOne", Inverted(), {}, 500, 500, 1.0f, 0},
                      MaskCase{"RectangleInnerIsZero", Inverted(Rectangle()), {}, 0, 0, 0.0f, 0},
                      MaskCase{"RectangleCornerIsR", Inverted(Rectangle()), {}, 90, 45, 0.70711f, 1e-5},
                      MaskCase{"RectangleOutsideIsOne", Inverted(Rectangle()), {}, -100, 0, 1.0f, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Outline at Angle 0, origin (100, 100), Width 300, Height 200.
MaskSettings OutlineSettings(A_long mask_type) {
    MaskSettings s;
    s.mask_type = mask_type;
    s.origin_x = 100;
    s.origin_y = 100;
    s.width = 300;
    s.height = 200;
    s.feather = 0;
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Outline, MaskValueTest,
    ::testing::Values(MaskCase{"EllipseLastInsideAlongWidth", OutlineSettings(kMaskEllipse), {}, 249, 100, 1.0f, 0},
                      MaskCase{"EllipseOnOutlineAlongWidth", OutlineSettings(kMaskEllipse), {}, 250, 100, 0.0f, 0},
                      MaskCase{"EllipseOnOutlineLeft", OutlineSettings(kMaskEllipse), {}, -50, 100, 0.0f, 0},
                      MaskCase{"EllipseLastInsideAlongHeight", OutlineSettings(kMaskEllipse), {}, 100, 199, 1.0f, 0},
                      MaskCase{"EllipseOnOutlineAlongHeight", OutlineSettings(kMaskEllipse), {}, 100, 200, 0.0f, 0},
                      MaskCase{"RectangleLastInside", OutlineSettings(kMaskRectangle), {}, 249, 100, 1.0f, 0},
                      MaskCase{"RectangleOnOutline", OutlineSettings(kMaskRectangle), {}, 250, 100, 0.0f, 0},
                      MaskCase{"RectangleOnOutlineTop", OutlineSettings(kMaskRectangle), {}, 100, 0, 0.0f, 0},
                      MaskCase{"RectangleLastInsideCorner", OutlineSettings(kMaskRectangle), {}, 249, 199, 1.0f, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Zero feather: a hard edge, M exactly 0 or 1 and nothing in between. For the
// rectangle the inside is known exactly; for the ellipse it is checked away
// from the outline, where float rounding cannot decide it.
TEST(HardEdge, RectangleIsExactlyOneInsideAndZeroElsewhere) {
    const MaskEvaluator mask = Build(OutlineSettings(kMaskRectangle));
    for (int y = -10; y <= 210; y += 3) {
        for (int x = -60; x <= 260; x += 3) {
            const bool inside = std::abs(x - 100) < 150 && std::abs(y - 100) < 100;
            ASSERT_EQ(Mask(mask, x, y), inside ? 1.0f : 0.0f) << x << "," << y;
        }
    }
}

TEST(HardEdge, EllipseIsExactlyOneInsideAndZeroOutside) {
    const MaskEvaluator mask = Build(OutlineSettings(kMaskEllipse));
    for (int y = -10; y <= 210; y += 2) {
        for (int x = -60; x <= 260; x += 2) {
            const float value = Mask(mask, x, y);
            ASSERT_TRUE(value == 0.0f || value == 1.0f) << x << "," << y;
            // (dx / 150)² + (dy / 100)² against 1, in integers.
            const long dx = x - 100;
            const long dy = y - 100;
            const long sum = 4 * dx * dx + 9 * dy * dy;
            if (sum < 90000 - 900) {
                ASSERT_EQ(value, 1.0f) << x << "," << y;
            } else if (sum > 90000 + 900) {
                ASSERT_EQ(value, 0.0f) << x << "," << y;
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Falloff curves.

struct FalloffCase {
    A_long falloff;
    double at_half;
    double tolerance;  // 0: exact
};

class FalloffTest : public ::testing::TestWithParam<FalloffCase> {};

TEST_P(FalloffTest, ValueAtHalf) {
    const FalloffCase& c = GetParam();
    if (c.tolerance == 0.0) {
        EXPECT_EQ(ApplyFalloff(c.falloff, 0.5), c.at_half);
    } else {
        EXPECT_NEAR(ApplyFalloff(c.falloff, 0.5), c.at_half, c.tolerance);
    }
}

TEST_P(FalloffTest, StartsAtZero) { EXPECT_EQ(ApplyFalloff(GetParam().falloff, 0.0), 0.0); }

TEST_P(FalloffTest, RisesAcrossTheBorder) {
    double previous = 0.0;
    for (int i = 1; i <= 100; ++i) {
        const double value = ApplyFalloff(GetParam().falloff, i / 100.0);
        EXPECT_GT(value, previous) << i;
        previous = value;
    }
}

// Through the evaluator: the rectangle's band at t = 0.5 gives M = 1 − F(0.5).
TEST_P(FalloffTest, SetsTheBandOfBothShapes) {
    const FalloffCase& c = GetParam();
    MaskSettings s;
    s.falloff = c.falloff;
    const double tolerance = c.tolerance == 0.0 ? 0.0 : c.tolerance + 1e-7;
    EXPECT_NEAR(Mask(Build(Rectangle(s)), 90, 0), 1.0 - c.at_half, tolerance);
    EXPECT_NEAR(Mask(Build(s), 0, 45), 1.0 - c.at_half, tolerance);
}

INSTANTIATE_TEST_SUITE_P(SixCurves, FalloffTest,
                         ::testing::Values(FalloffCase{kFalloffLinear, 0.5, 0}, FalloffCase{kFalloffQuadratic, 0.25, 0},
                                           FalloffCase{kFalloffCubic, 0.125, 0},
                                           FalloffCase{kFalloffGamma, 0.73002, 5e-6},
                                           FalloffCase{kFalloffGaussian, 0.64673, 5e-6},
                                           FalloffCase{kFalloffExponential, 0.61257, 5e-6}));

TEST(Falloff, EveryCurveButGaussianEndsAtOne) {
    for (A_long f : {kFalloffLinear, kFalloffQuadratic, kFalloffCubic, kFalloffGamma, kFalloffExponential}) {
        EXPECT_NEAR(ApplyFalloff(f, 1.0), 1.0, 1e-15) << f;
    }
    EXPECT_NEAR(ApplyFalloff(kFalloffGaussian, 1.0), 1.0 - 1.0 / 360.0, 1e-15);
}

TEST(Falloff, ValuesOutsideTheChoicesBehaveAsLinear) {
    for (A_long f : {0, 7, -1, 1000, std::numeric_limits<A_long>::min()}) {
        for (double t : {0.0, 0.1, 0.5, 0.95, 1.0}) EXPECT_EQ(ApplyFalloff(f, t), t) << f << " " << t;
        MaskSettings s;
        s.falloff = f;
        EXPECT_NEAR(Mask(Build(s), 60, 30), 0.75736f, 1e-5) << f;
        EXPECT_EQ(Mask(Build(Rectangle(s)), 90, 0), 0.5f) << f;
    }
}

// Gaussian keeps about 1/360 of the matte just inside the outline, then
// drops to 0 at it. A wide band (feather 200) puts a pixel at t = 0.995.
TEST(Falloff, GaussianLeavesAboutOneThreeSixtiethAtTheOutline) {
    MaskSettings s = Rectangle();
    s.falloff = kFalloffGaussian;
    s.width = 2000;
    s.height = 1000;
    s.feather = 200;
    const MaskEvaluator mask = Build(s);
    EXPECT_EQ(Mask(mask, 800, 0), 1.0f);
    const float nearOutline = Mask(mask, 999, 0);
    EXPECT_GT(nearOutline, 1.0f / 360.0f);
    EXPECT_NEAR(nearOutline, 1.0f / 360.0f, 3e-4);
    EXPECT_EQ(Mask(mask, 1000, 0), 0.0f);
}

// ---------------------------------------------------------------------------
// The record itself.

TEST(InitMaskEvaluator, WorkedEllipseRecord) {
    const MaskEvaluator m = Build({});
    EXPECT_TRUE(m.isEllipse);
    EXPECT_EQ(m.halfWidth, 100.0f);
    EXPECT_EQ(m.halfHeight, 50.0f);
    EXPECT_EQ(m.feather, 20.0f);
    EXPECT_EQ(m.innerHalfWidth, 80.0f);
    EXPECT_EQ(m.innerHalfHeight, 40.0f);
    EXPECT_EQ(m.outerAxesProduct, 5000.0f);
    EXPECT_EQ(m.innerAxesProduct, 3200.0f);
    EXPECT_EQ(m.halfWidthSq, 10000.0f);
    EXPECT_EQ(m.halfHeightSq, 2500.0f);
    EXPECT_EQ(m.innerHalfWidthSq, 6400.0f);
    EXPECT_EQ(m.innerHalfHeightSq, 1600.0f);
    EXPECT_FLOAT_EQ(m.edgeScaleU, 1e-4f);
    EXPECT_FLOAT_EQ(m.edgeScaleV, 4e-4f);
    EXPECT_FLOAT_EQ(m.invInnerHalfWidthSq, 1.0f / 6400.0f);
    EXPECT_FLOAT_EQ(m.invInnerHalfHeightSq, 1.0f / 1600.0f);
    EXPECT_EQ(m.opacity, 1.0f);
    EXPECT_FALSE(m.invert);
    EXPECT_EQ(m.compositeMode, kCompositeCreate);
    EXPECT_EQ(m.falloff, kFalloffLinear);
}

TEST(InitMaskEvaluator, RectangleLeavesEllipseFieldsZero) {
    const MaskEvaluator m = Build(Rectangle());
    EXPECT_FALSE(m.isEllipse);
    EXPECT_EQ(m.innerHalfWidth, 80.0f);
    EXPECT_EQ(m.innerHalfHeight, 40.0f);
    EXPECT_FLOAT_EQ(m.edgeScaleU, 0.05f);  // 1 / feather
    EXPECT_FLOAT_EQ(m.edgeScaleV, 0.1f);   // 1 / featherV
    for (float field : {m.outerAxesProduct, m.innerAxesProduct, m.innerHalfWidthSq, m.innerHalfHeightSq,
                        m.invInnerHalfWidthSq, m.invInnerHalfHeightSq, m.halfWidthSq, m.halfHeightSq}) {
        EXPECT_EQ(field, 0.0f);
    }
}

TEST(InitMaskEvaluator, AngleZeroTransformIsTranslation) {
    const MaskEvaluator m = Build(WithOrigin(100, 50));
    EXPECT_EQ(m.transform[0][0], 1.0f);
    EXPECT_EQ(m.transform[0][1], 0.0f);
    EXPECT_EQ(m.transform[0][2], -100.0f);
    EXPECT_EQ(m.transform[1][0], 0.0f);
    EXPECT_EQ(m.transform[1][1], 1.0f);
    EXPECT_EQ(m.transform[1][2], -50.0f);
    EXPECT_EQ(m.transform[2][0], 0.0f);
    EXPECT_EQ(m.transform[2][1], 0.0f);
    EXPECT_EQ(m.transform[2][2], 1.0f);
}

// cos(90°) in double is about 6.1e-17, and it survives the narrowing to float.
TEST(InitMaskEvaluator, Angle90KeepsTheTinyCosine) {
    const MaskEvaluator m = Build(WithAngle(90));
    EXPECT_NE(m.transform[0][0], 0.0f);
    EXPECT_NEAR(m.transform[0][0], 6.123e-17, 1e-20);
    EXPECT_NEAR(m.transform[1][1], 6.123e-17, 1e-20);
    EXPECT_EQ(m.transform[0][1], 1.0f);
    EXPECT_EQ(m.transform[1][0], -1.0f);
}

TEST(InitMaskEvaluator, ScalesDivideEachAxis) {
    const MaskEvaluator m = Build({}, Scales{{1, 4}, {1, 2}, {2, 1}});
    // x: one downsampled pixel is 4 full-resolution pixels, each 2 square
    // pixels wide; y: downsample 2 only.
    EXPECT_EQ(m.transform[0][0], 8.0f);
    EXPECT_EQ(m.transform[1][1], 2.0f);
}

struct OpacityCase {
    double percent;
    float fraction;
};

class OpacityTest : public ::testing::TestWithParam<OpacityCase> {};

TEST_P(OpacityTest, BecomesAFraction) {
    MaskSettings s;
    s.opacity_percent = GetParam().percent;
    EXPECT_NEAR(Build(s).opacity, GetParam().fraction, 1e-7);
}

INSTANTIATE_TEST_SUITE_P(Percentages, OpacityTest,
                         ::testing::Values(OpacityCase{100, 1.0f}, OpacityCase{50, 0.5f}, OpacityCase{25, 0.25f},
                                           OpacityCase{0, 0.0f}, OpacityCase{33.3, 0.333f}));

TEST(InitMaskEvaluator, InvertReadsOnlyTheLowByte) {
    for (const auto& [value, on] : std::vector<std::pair<A_long, bool>>{
             {0, false}, {1, true}, {2, true}, {0x100, false}, {0x101, true}, {-256, false}, {-1, true}}) {
        MaskSettings s;
        s.invert = value;
        EXPECT_EQ(Build(s).invert, on) << value;
    }
}

TEST(InitMaskEvaluator, OnlyMaskTypeTwoIsTheRectangle) {
    for (A_long type : {0, 1, 3, -1, 0x102}) {
        MaskSettings s;
        s.mask_type = type;
        const MaskEvaluator m = Build(s);
        EXPECT_TRUE(m.isEllipse) << type;
        EXPECT_NEAR(Mask(m, 60, 30), 0.75736f, 1e-5) << type;
    }
    EXPECT_FALSE(Build(Rectangle()).isEllipse);
}

// Feather clamp: only the half-width clamps, to one pixel short of it; the
// v-side feather keeps the same fraction of its half-axis.
struct FeatherCase {
    const char* name;
    double width;
    double height;
    double feather;
    float expected_feather;
    float expected_inner_half_width;
    double expected_inner_half_height;  // compared to 1e-5
};

std::ostream& operator<<(std::ostream& os, const FeatherCase& c) { return os << c.name; }

class FeatherClampTest : public ::testing::TestWithParam<FeatherCase> {};

TEST_P(FeatherClampTest, FeatherAndInnerShape) {
    const FeatherCase& c = GetParam();
    for (A_long type : {kMaskEllipse, kMaskRectangle}) {
        MaskSettings s;
        s.mask_type = type;
        s.width = c.width;
        s.height = c.height;
        s.feather = c.feather;
        const MaskEvaluator m = Build(s);
        EXPECT_EQ(m.feather, c.expected_feather) << type;
        EXPECT_EQ(m.innerHalfWidth, c.expected_inner_half_width) << type;
        EXPECT_NEAR(m.innerHalfHeight, c.expected_inner_half_height, 1e-5) << type;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Clamp, FeatherClampTest,
    ::testing::Values(FeatherCase{"EqualToHalfWidth", 300, 200, 150, 149.0f, 1.0f, 100.0 * (1.0 / 150.0)},
                      FeatherCase{"BeyondHalfWidth", 300, 200, 200, 149.0f, 1.0f, 100.0 * (1.0 / 150.0)},
                      FeatherCase{"JustBelowHalfWidth", 300, 200, 149.5, 149.5f, 0.5f, 100.0 * (0.5 / 150.0)},
                      FeatherCase{"HeightNeverClamps", 300, 20, 100, 100.0f, 50.0f, 10.0 * (50.0 / 150.0)},
                      FeatherCase{"ZeroFeather", 300, 200, 0, 0.0f, 150.0f, 100.0},
                      // halfWidth 0.5: the clamp goes below zero, the inner
                      // shape is larger than the outline.
                      FeatherCase{"NarrowShapeGoesNegative", 1, 1, 0.5, -0.5f, 1.0f, 1.0},
                      FeatherCase{"NarrowTallShape", 1.5, 10, 5, -0.25f, 1.0f, 5.0 * (1.0 / 0.75)}),
    [](const auto& info) { return std::string(info.param.name); });

// A negative feather leaves no pixel in a border: the edge is hard.
TEST(FeatherClamp, NegativeFeatherGivesAHardEdge) {
    for (A_long type : {kMaskEllipse, kMaskRectangle}) {
        for (double width : {1.0, 1.6}) {
            MaskSettings s;
            s.mask_type = type;
            s.width = width;
            s.height = width;
            s.feather = 5;
            const MaskEvaluator mask = Build(s);
            ASSERT_LT(mask.feather, 0.0f);
            EXPECT_EQ(Mask(mask, 0, 0), 1.0f) << type << " " << width;
            for (int y = -3; y <= 3; ++y) {
                for (int x = -3; x <= 3; ++x) {
                    const float value = Mask(mask, x, y);
                    EXPECT_EQ(value, (x == 0 && y == 0) ? 1.0f : 0.0f) << type << " " << x << "," << y;
                }
            }
        }
    }
}

// Zero-size shapes are empty, the pixel on the centre included; the ellipse
// meets 0 × ∞ there and must still count it as outside.
struct ZeroSizeCase {
    const char* name;
    A_long mask_type;
    double width;
    double height;
    double feather;
};

std::ostream& operator<<(std::ostream& os, const ZeroSizeCase& c) { return os << c.name; }

class ZeroSizeTest : public ::testing::TestWithParam<ZeroSizeCase> {};

TEST_P(ZeroSizeTest, NoPixelIsInside) {
    const ZeroSizeCase& c = GetParam();
    for (A_long invert : {0, 1}) {
        MaskSettings s = WithOrigin(10, 20);
        s.mask_type = c.mask_type;
        s.width = c.width;
        s.height = c.height;
        s.feather = c.feather;
        s.invert = invert;
        const MaskEvaluator mask = Build(s);
        const float expected = invert != 0 ? 1.0f : 0.0f;
        for (int y = 10; y <= 30; ++y) {
            for (int x = 0; x <= 20; ++x) {
                ASSERT_EQ(Mask(mask, x, y), expected) << "invert " << invert << " at " << x << "," << y;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Empty, ZeroSizeTest,
                         ::testing::Values(ZeroSizeCase{"RectangleZeroWidth", kMaskRectangle, 0, 100, 0},
                                           ZeroSizeCase{"RectangleZeroWidthFeathered", kMaskRectangle, 0, 100, 20},
                                           ZeroSizeCase{"RectangleZeroHeight", kMaskRectangle, 200, 0, 20},
                                           ZeroSizeCase{"EllipseZeroWidth", kMaskEllipse, 0, 100, 0},
                                           ZeroSizeCase{"EllipseZeroWidthFeathered", kMaskEllipse, 0, 100, 20},
                                           ZeroSizeCase{"EllipseZeroHeight", kMaskEllipse, 200, 0, 0},
                                           ZeroSizeCase{"EllipseZeroHeightFeathered", kMaskEllipse, 200, 0, 20},
                                           ZeroSizeCase{"EllipseZeroBoth", kMaskEllipse, 0, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Composite.

struct CompositeCase {
    const char* name;
    A_long mode;
    float opacity;
    float mask;
    float alpha;
    float expected;
};

std::ostream& operator<<(std::ostream& os, const CompositeCase& c) { return os << c.name; }

class CompositeTest : public ::testing::TestWithParam<CompositeCase> {};

TEST_P(CompositeTest, MergesMaskWithAlpha) {
    const CompositeCase& c = GetParam();
    MaskEvaluator mask{};
    mask.compositeMode = c.mode;
    mask.opacity = c.opacity;
    EXPECT_EQ(CompositeAlpha(mask, c.mask, c.alpha), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, CompositeTest,
    ::testing::Values(CompositeCase{"AddClampsAtOne", kCompositeAdd, 0.5f, 1.0f, 0.7f, 1.0f},
                      CompositeCase{"AddBelowOne", kCompositeAdd, 1.0f, 0.25f, 0.5f, 0.75f},
                      CompositeCase{"AddPassesNegativeAlpha", kCompositeAdd, 1.0f, 0.5f, -2.0f, -1.5f},
                      CompositeCase{"SubtractClampsAtZero", kCompositeSubtract, 0.5f, 1.0f, 0.3f, 0.0f},
                      CompositeCase{"SubtractAboveZero", kCompositeSubtract, 1.0f, 0.25f, 0.75f, 0.5f},
                      CompositeCase{"SubtractPassesAlphaAboveOne", kCompositeSubtract, 0.25f, 1.0f, 1.5f, 1.25f},
                      CompositeCase{"IntersectMultiplies", kCompositeIntersect, 0.5f, 0.5f, 0.5f, 0.125f},
                      CompositeCase{"IntersectPassesAlphaAboveOne", kCompositeIntersect, 1.0f, 1.0f, 1.5f, 1.5f},
                      CompositeCase{"CreateReplaces", kCompositeCreate, 0.5f, 0.5f, 0.9f, 0.25f},
                      CompositeCase{"OpacityZeroAddKeepsAlpha", kCompositeAdd, 0.0f, 1.0f, 0.3f, 0.3f},
                      CompositeCase{"OpacityZeroSubtractKeepsAlpha", kCompositeSubtract, 0.0f, 1.0f, 0.3f, 0.3f},
                      CompositeCase{"OpacityZeroIntersectIsZero", kCompositeIntersect, 0.0f, 1.0f, 0.3f, 0.0f},
                      CompositeCase{"OpacityZeroCreateIsZero", kCompositeCreate, 0.0f, 1.0f, 0.3f, 0.0f},
                      // Modes the popup cannot produce leave the alpha alone.
                      CompositeCase{"UnknownModeZeroKeepsAlpha", 0, 1.0f, 1.0f, 0.3f, 0.3f},
                      CompositeCase{"UnknownModeFiveKeepsAlpha", 5, 0.5f, 0.5f, 0.6f, 0.6f},
                      CompositeCase{"UnknownNegativeModeKeepsAlpha", -1, 1.0f, 0.0f, 1.5f, 1.5f}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Pixel functions. The rectangle Width 200, Height 100, no feather, centred on
// (0, 0), gives M = 1 at (0, 0) and M = 0 at (150, 0).

constexpr int kInsideX = 0;
constexpr int kOutsideX = 150;

MaskEvaluator PixelMask(A_long mode, double opacity_percent) {
    MaskSettings s = Rectangle();
    s.feather = 0;
    s.compositeMode = mode;
    s.opacity_percent = opacity_percent;
    return Build(s);
}

enum class Layout8 { ARGB, BGRA };

/// Runs the 8-bit pixel function of `layout` on one pixel with distinct
/// colour values and checks that they come through unchanged and in place;
/// returns the stored alpha.
std::uint8_t Run8(Layout8 layout, MaskEvaluator& mask, int x, int y, std::uint8_t alpha) {
    // Memory order: ARGB is alpha, red, green, blue; BGRA is blue, green, red, alpha.
    const int alphaAt = layout == Layout8::ARGB ? 0 : 3;
    std::array<std::uint8_t, 4> in = {11, 22, 33, 44};
    in[alphaAt] = alpha;
    std::array<std::uint8_t, 4> out = {0xEE, 0xEE, 0xEE, 0xEE};
    PF_Pixel8 inPixel;
    PF_Pixel8 outPixel;
    std::memcpy(&inPixel, in.data(), 4);
    std::memcpy(&outPixel, out.data(), 4);
    const PF_Err err = layout == Layout8::ARGB ? MaskPixelARGB8(&mask, x, y, &inPixel, &outPixel)
                                               : MaskPixelBGRA8(&mask, x, y, &inPixel, &outPixel);
    EXPECT_EQ(err, PF_Err_NONE);
    std::memcpy(out.data(), &outPixel, 4);
    for (int i = 0; i < 4; ++i) {
        if (i != alphaAt) {
            EXPECT_EQ(out[i], in[i]) << "colour byte " << i;
        }
    }
    return out[alphaAt];
}

struct Store8Case {
    const char* name;
    A_long mode;
    double opacity_percent;
    int x;
    std::uint8_t alpha_in;
    std::uint8_t expected;
};

std::ostream& operator<<(std::ostream& os, const Store8Case& c) { return os << c.name; }

class Store8Test : public ::testing::TestWithParam<std::tuple<Layout8, Store8Case>> {};

TEST_P(Store8Test, StoresTruncatedAlpha) {
    const auto& [layout, c] = GetParam();
    MaskEvaluator mask = PixelMask(c.mode, c.opacity_percent);
    EXPECT_EQ(Run8(layout, mask, c.x, 0, c.alpha_in), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Stores, Store8Test,
    ::testing::Combine(
        ::testing::Values(Layout8::ARGB, Layout8::BGRA),
        ::testing::Values(Store8Case{"CreateHalfTruncates", kCompositeCreate, 50, kInsideX, 0, 127},
                          Store8Case{"CreateHalfIgnoresAlpha", kCompositeCreate, 50, kInsideX, 255, 127},
                          Store8Case{"CreateFull", kCompositeCreate, 100, kInsideX, 0, 255},
                          Store8Case{"CreateOutsideIsZero", kCompositeCreate, 100, kOutsideX, 200, 0},
                          Store8Case{"AddHalfOnHundred", kCompositeAdd, 50, kInsideX, 100, 227},
                          Store8Case{"AddClamps", kCompositeAdd, 100, kInsideX, 100, 255},
                          Store8Case{"SubtractHalfFromTwoHundred", kCompositeSubtract, 50, kInsideX, 200, 72},
                          Store8Case{"SubtractClamps", kCompositeSubtract, 100, kInsideX, 200, 0},
                          Store8Case{"IntersectHalfOfFull", kCompositeIntersect, 50, kInsideX, 255, 127},
                          // 52 / 255 − 0.2 is 1 / 255 in exact arithmetic, but the
                          // single-precision steps land at 0.99999994 levels: 0.
                          Store8Case{"SubtractFifthFromFiftyTwo", kCompositeSubtract, 20, kInsideX, 52, 0},
                          Store8Case{"SubtractFifthFromFiftyThree", kCompositeSubtract, 20, kInsideX, 53, 1},
                          Store8Case{"IntersectOutsideIsZero", kCompositeIntersect, 100, kOutsideX, 255, 0})),
    [](const auto& info) {
        return std::string(std::get<0>(info.param) == Layout8::ARGB ? "ARGB_" : "BGRA_") + std::get<1>(info.param).name;
    });

class Intersect8Test : public ::testing::TestWithParam<Layout8> {};

// k / 255 × 255 gives back k exactly in single precision.
TEST_P(Intersect8Test, FullOpacityKeepsEveryAlpha) {
    MaskEvaluator mask = PixelMask(kCompositeIntersect, 100);
    for (int k = 0; k <= 255; ++k) {
        ASSERT_EQ(Run8(GetParam(), mask, kInsideX, 0, std::uint8_t(k)), k);
    }
}

TEST_P(Intersect8Test, HalfOpacityHalvesRoundingDown) {
    MaskEvaluator mask = PixelMask(kCompositeIntersect, 50);
    for (int k = 0; k <= 255; ++k) {
        ASSERT_EQ(Run8(GetParam(), mask, kInsideX, 0, std::uint8_t(k)), k / 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, Intersect8Test, ::testing::Values(Layout8::ARGB, Layout8::BGRA));

PF_Pixel16 Run16(MaskEvaluator& mask, int x, std::uint16_t alpha) {
    PF_Pixel16 in{alpha, 0, 32768, 65535};  // colours include a value beyond the 16-bit range
    PF_Pixel16 out{0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE};
    EXPECT_EQ(MaskPixelARGB16(&mask, x, 0, &in, &out), PF_Err_NONE);
    EXPECT_EQ(out.red, 0);
    EXPECT_EQ(out.green, 32768);
    EXPECT_EQ(out.blue, 65535);
    return out;
}

TEST(Store16, CreateWritesTheHostFullOnValue) {
    MaskEvaluator full = PixelMask(kCompositeCreate, 100);
    EXPECT_EQ(Run16(full, kInsideX, 0).alpha, 32768);
    MaskEvaluator half = PixelMask(kCompositeCreate, 50);
    EXPECT_EQ(Run16(half, kInsideX, 0).alpha, 16384);
    EXPECT_EQ(Run16(full, kOutsideX, 32768).alpha, 0);
}

TEST(Store16, AddAndSubtractClampToTheSixteenBitRange) {
    MaskEvaluator add = PixelMask(kCompositeAdd, 100);
    EXPECT_EQ(Run16(add, kInsideX, 32768).alpha, 32768);
    MaskEvaluator subtract = PixelMask(kCompositeSubtract, 50);
    EXPECT_EQ(Run16(subtract, kInsideX, 32768).alpha, 16384);
    EXPECT_EQ(Run16(subtract, kInsideX, 100).alpha, 0);
}

TEST(Store16, IntersectAtFullOpacityKeepsEveryAlpha) {
    MaskEvaluator mask = PixelMask(kCompositeIntersect, 100);
    for (int k = 0; k <= 32768; ++k) {
        PF_Pixel16 in{std::uint16_t(k), 1, 2, 3};
        PF_Pixel16 out{};
        MaskPixelARGB16(&mask, kInsideX, 0, &in, &out);
        ASSERT_EQ(out.alpha, k);
    }
}

// Pixels whose 8-bit alpha depends on every step being single precision
// and in the written order: exact arithmetic, or the same steps grouped
// differently, would store one level more or less. The expected levels come from a separate step-by-step emulation of
// IEEE single precision (not from this code); the comment gives the level
// that exact arithmetic would store.
struct PrecisionCase {
    const char* name;
    MaskSettings settings;
    int x;
    int y;
    std::uint8_t expected;
};

std::ostream& operator<<(std::ostream& os, const PrecisionCase& c) { return os << c.name; }

class SinglePrecisionTest : public ::testing::TestWithParam<PrecisionCase> {};

TEST_P(SinglePrecisionTest, StoresTheSinglePrecisionLevel) {
    const PrecisionCase& c = GetParam();
    MaskEvaluator mask = Build(c.settings);
    EXPECT_EQ(Run8(Layout8::ARGB, mask, c.x, c.y, 0), c.expected);
}

MaskSettings Tilted(A_long mask_type, A_long falloff) {
    MaskSettings s;
    s.mask_type = mask_type;
    s.falloff = falloff;
    s.origin_x = 37.25;
    s.origin_y = 20.5;
    s.width = 300;
    s.height = 120;
    s.angle = -17.5;
    s.feather = 45;
    return s;
}

MaskSettings Turned30(A_long mask_type, A_long falloff) {
    MaskSettings s;
    s.mask_type = mask_type;
    s.falloff = falloff;
    s.origin_x = 100.5;
    s.origin_y = 50.25;
    s.angle = 30;
    return s;
}

// The trailing comment gives the level stored by exact arithmetic, or by the
// same steps with the transform's terms added in another order.
INSTANTIATE_TEST_SUITE_P(
    LastBit, SinglePrecisionTest,
    ::testing::Values(
        PrecisionCase{"EllipseBandU", {}, 96, 0, 50},                                                      // exact: 51
        PrecisionCase{"EllipseBandV", {}, 0, -46, 101},                                                    // exact: 102
        PrecisionCase{"RectangleBandV", Rectangle(), 0, -48, 50},                                          // exact: 51
        PrecisionCase{"EllipseTurnedCubic", Turned30(kMaskEllipse, kFalloffCubic), 172, 109, 120},         // exact: 119
        PrecisionCase{"EllipseTiltedLinear", Tilted(kMaskEllipse, kFalloffLinear), 30, 67, 240},           // exact: 241
        PrecisionCase{"EllipseTiltedGaussian", Tilted(kMaskEllipse, kFalloffGaussian), -93, 36, 5},        // exact: 6
        PrecisionCase{"RectangleTiltedLinear", Tilted(kMaskRectangle, kFalloffLinear), 63, 71, 57},        // exact: 58
        PrecisionCase{"RectangleTiltedCubic", Tilted(kMaskRectangle, kFalloffCubic), 165, 41, 77},         // exact: 76
        PrecisionCase{"RectangleTiltedCubicB", Tilted(kMaskRectangle, kFalloffCubic), 65, 64, 234},        // exact: 233
        PrecisionCase{"RectangleTiltedGaussian", Tilted(kMaskRectangle, kFalloffGaussian), 162, -20, 56},  // exact: 55
        PrecisionCase{"RectangleTurnedGamma", Turned30(kMaskRectangle, kFalloffGamma), 178, 89, 102},      // exact: 101
        PrecisionCase{"RectangleTiltedLinearSumOrder", Tilted(kMaskRectangle, kFalloffLinear), 85, -40,
                      236},  // regrouped: 235
        PrecisionCase{"RectangleTiltedGaussianSumOrder", Tilted(kMaskRectangle, kFalloffGaussian), -66, 88,
                      187}),  // regrouped: 188
    [](const auto& info) { return std::string(info.param.name); });

// Alpha conversions at the edges, NaN included: a NaN is not greater than 0.
struct UnitStoreCase {
    float unit;
    std::uint8_t alpha8;
    std::uint16_t alpha16;
};

class UnitStoreTest : public ::testing::TestWithParam<UnitStoreCase> {};

TEST_P(UnitStoreTest, ClampsAndTruncates) {
    EXPECT_EQ(UnitToAlpha8(GetParam().unit), GetParam().alpha8);
    EXPECT_EQ(UnitToAlpha16(GetParam().unit), GetParam().alpha16);
}

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(Edges, UnitStoreTest,
                         ::testing::Values(UnitStoreCase{kNaN, 0, 0}, UnitStoreCase{-kNaN, 0, 0},
                                           UnitStoreCase{-kInf, 0, 0}, UnitStoreCase{-1.0f, 0, 0},
                                           UnitStoreCase{-0.0f, 0, 0}, UnitStoreCase{0.0f, 0, 0},
                                           UnitStoreCase{0.5f, 127, 16384}, UnitStoreCase{1.0f, 255, 32768},
                                           UnitStoreCase{1.5f, 255, 32768}, UnitStoreCase{kInf, 255, 32768},
                                           // 254.9 and 32767.5 truncate down.
                                           UnitStoreCase{254.9f / 255.0f, 254, 32755},
                                           UnitStoreCase{32767.5f / 32768.0f, 254, 32767}));

// A NaN opacity makes every composite NaN; the integer layouts store 0.
TEST(PixelStores, NaNCompositeStoresZero) {
    MaskEvaluator mask = PixelMask(kCompositeCreate, 100);
    mask.opacity = kNaN;
    EXPECT_EQ(Run8(Layout8::ARGB, mask, kInsideX, 0, 200), 0);
    EXPECT_EQ(Run8(Layout8::BGRA, mask, kInsideX, 0, 200), 0);
    EXPECT_EQ(Run16(mask, kInsideX, 20000).alpha, 0);
}

// The float layout: alpha used and stored as it is.
struct FloatCase {
    const char* name;
    A_long mode;
    double opacity_percent;
    int x;
    float alpha_in;
    float expected;
};

std::ostream& operator<<(std::ostream& os, const FloatCase& c) { return os << c.name; }

class FloatPixelTest : public ::testing::TestWithParam<FloatCase> {};

TEST_P(FloatPixelTest, StoresAlphaUnscaled) {
    const FloatCase& c = GetParam();
    MaskEvaluator mask = PixelMask(c.mode, c.opacity_percent);
    PixelBGRA32f in{0.25f, 0.5f, 0.75f, c.alpha_in};
    PixelBGRA32f out{-1, -1, -1, -1};
    EXPECT_EQ(MaskPixelBGRA32f(&mask, c.x, 0, &in, &out), PF_Err_NONE);
    EXPECT_EQ(out.alpha, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Alpha, FloatPixelTest,
    ::testing::Values(FloatCase{"IntersectKeepsAlphaAboveOne", kCompositeIntersect, 100, kInsideX, 1.5f, 1.5f},
                      FloatCase{"AddClampsAtOne", kCompositeAdd, 100, kInsideX, 1.5f, 1.0f},
                      FloatCase{"SubtractQuarter", kCompositeSubtract, 25, kInsideX, 1.5f, 1.25f},
                      FloatCase{"IntersectKeepsNegativeAlpha", kCompositeIntersect, 100, kInsideX, -0.5f, -0.5f},
                      FloatCase{"CreateHalfIsExact", kCompositeCreate, 50, kInsideX, 0.9f, 0.5f},
                      FloatCase{"CreateOutsideIsZero", kCompositeCreate, 100, kOutsideX, 0.9f, 0.0f}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FloatPixel, NaNAlphaPassesThrough) {
    MaskEvaluator mask = PixelMask(kCompositeIntersect, 100);
    PixelBGRA32f in{0, 0, 0, kNaN};
    PixelBGRA32f out{};
    MaskPixelBGRA32f(&mask, kInsideX, 0, &in, &out);
    EXPECT_TRUE(std::isnan(out.alpha));
}

// Colour words are copied as bits: NaNs with payloads, negative zero, a
// subnormal, infinity.
TEST(FloatPixel, CopiesColourWordsBitForBit) {
    MaskEvaluator mask = PixelMask(kCompositeCreate, 100);
    const std::array<std::array<std::uint32_t, 3>, 2> colourSets = {{
        {0x7FA00001u, 0x80000000u, 0x00000001u},
        {0x7F800000u, 0xFFC00123u, 0x3F800000u},
    }};
    for (const auto& colours : colourSets) {
        const std::array<std::uint32_t, 4> inWords = {colours[0], colours[1], colours[2],
                                                      std::bit_cast<std::uint32_t>(0.3f)};
        PixelBGRA32f in;
        std::memcpy(&in, inWords.data(), sizeof in);
        PixelBGRA32f out{};
        MaskPixelBGRA32f(&mask, kInsideX, 0, &in, &out);
        std::array<std::uint32_t, 4> outWords;
        std::memcpy(outWords.data(), &out, sizeof out);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(outWords[i], inWords[i]) << "word " << i;
        EXPECT_EQ(out.alpha, 1.0f);
    }
}

// In place (in == out), as a host may render.
TEST(PixelFunctions, WorkInPlace) {
    MaskEvaluator mask = PixelMask(kCompositeAdd, 50);
    PF_Pixel8 argb{100, 1, 2, 3};
    MaskPixelARGB8(&mask, kInsideX, 0, &argb, &argb);
    EXPECT_EQ(argb.alpha, 227);
    EXPECT_EQ(argb.red, 1);
    EXPECT_EQ(argb.blue, 3);
    PixelBGRA32f bgra{1, 2, 3, 0.25f};
    MaskPixelBGRA32f(&mask, kInsideX, 0, &bgra, &bgra);
    EXPECT_EQ(bgra.alpha, 0.75f);
    EXPECT_EQ(bgra.blue, 1.0f);
}

// ---------------------------------------------------------------------------
// The own float loop.

struct Visit {
    A_long x;
    A_long y;
    void* in;
    void* out;
    bool operator==(const Visit&) const = default;
};

PF_Err RecordVisit(void* refcon, A_long x, A_long y, PixelBGRA32f* in, PixelBGRA32f* out) {
    static_cast<std::vector<Visit>*>(refcon)->push_back({x, y, in, out});
    return PF_Interrupt_CANCEL;  // not examined by the loop
}

struct LoopCase {
    const char* name;
    A_long src_width;
    A_long src_rowbytes;
    A_long dst_width;
    A_long dst_rowbytes;
    A_long first_row;
    A_long end_row;
};

std::ostream& operator<<(std::ostream& os, const LoopCase& c) { return os << c.name; }

class IterateFloatPixelsTest : public ::testing::TestWithParam<LoopCase> {};

constexpr A_long kWorldRows = 4;

// Row r of the walk (counted from `data`, the top) carries y = first row + r;
// pixel (x, r) sits at data + r × rowbytes + 16 × x in each world. The walk
// stays inside both worlds: at most their rows, only the columns both have.
TEST_P(IterateFloatPixelsTest, VisitsEachPixelOnceInRowOrder) {
    const LoopCase& c = GetParam();
    FloatWorld src(c.src_width, kWorldRows, c.src_rowbytes);
    FloatWorld dst(c.dst_width, kWorldRows, c.dst_rowbytes);
    std::vector<Visit> visits;
    EXPECT_EQ(IterateFloatPixels(c.first_row, c.end_row, src.get(), &visits, RecordVisit, dst.get()), PF_Err_NONE);

    std::vector<Visit> expected;
    for (A_long y = c.first_row; y < std::min(c.end_row, c.first_row + kWorldRows); ++y) {
        for (A_long x = 0; x < std::min(c.dst_width, c.src_width); ++x) {
            expected.push_back({x, y, src.At(x, y - c.first_row), dst.At(x, y - c.first_row)});
        }
    }
    EXPECT_EQ(visits, expected);
}

INSTANTIATE_TEST_SUITE_P(Walks, IterateFloatPixelsTest,
                         ::testing::Values(LoopCase{"WholeTightWorld", 3, 48, 3, 48, 0, kWorldRows},
                                           LoopCase{"ExtentShorterThanWorld", 3, 48, 3, 48, 0, 2},
                                           LoopCase{"EmptyExtent", 3, 48, 3, 48, 0, 0},
                                           LoopCase{"InvertedExtent", 3, 48, 3, 48, 3, 1},
                                           LoopCase{"PaddedRows", 3, 64, 3, 80, 0, kWorldRows},
                                           LoopCase{"NegativeRowbytes", 3, -48, 3, -64, 0, kWorldRows},
                                           LoopCase{"MixedSigns", 3, 64, 3, -48, 0, 3},
                                           LoopCase{"DestinationWidthBoundsColumns", 5, 80, 3, 48, 0, kWorldRows},
                                           LoopCase{"LaterFirstRowStillStartsAtData", 3, 48, 3, 48, 2, kWorldRows},
                                           LoopCase{"ExtentTallerThanWorlds", 3, 48, 3, 64, 0, kWorldRows + 3},
                                           LoopCase{"LaterFirstRowPastTheWorlds", 3, -48, 3, 48, 2, kWorldRows + 9},
                                           LoopCase{"HugeExtent", 3, 48, 3, 48, -2147483647 - 1, 2147483647},
                                           LoopCase{"NarrowerSourceBoundsColumns", 2, 32, 3, 48, 0, kWorldRows}),
                         [](const auto& info) { return std::string(info.param.name); });

// End to end with the float pixel function: only the extent-hint rows are
// written, padding bytes and the rows below are left as they were.
TEST(IterateFloatPixels, WritesOnlyThePixelsOfTheVisitedRows) {
    for (A_long rowbytes : {48 + 16, -(48 + 16)}) {
        FloatWorld src(3, kWorldRows, rowbytes);
        FloatWorld dst(3, kWorldRows, rowbytes);
        for (A_long row = 0; row < kWorldRows; ++row) {
            for (A_long x = 0; x < 3; ++x) {
                const PixelBGRA32f pixel{float(x), float(row), 0.5f, 0.25f};
                std::memcpy(src.At(x, row), &pixel, sizeof pixel);
            }
        }
        MaskEvaluator mask = PixelMask(kCompositeAdd, 100);  // M = 1 at every pixel here
        EXPECT_EQ(IterateFloatPixels(0, 2, src.get(), &mask, MaskPixelBGRA32f, dst.get()), PF_Err_NONE);

        std::vector<std::byte> expected = dst.bytes();
        std::fill(expected.begin(), expected.end(), std::byte{0xAB});
        const std::byte* base = dst.bytes().data();
        for (A_long row = 0; row < 2; ++row) {
            for (A_long x = 0; x < 3; ++x) {
                const PixelBGRA32f pixel{float(x), float(row), 0.5f, 1.0f};
                std::memcpy(expected.data() + (dst.At(x, row) - base), &pixel, sizeof pixel);
            }
        }
        EXPECT_EQ(dst.bytes(), expected) << "rowbytes " << rowbytes;
    }
}

}  // namespace
}  // namespace quorvel
