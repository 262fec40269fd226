// The render command through the entry point: which suites it takes in each
// host, how it fails, and what it writes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/RenderRig.h"

namespace quorvel::test {
namespace {

using frames::PixelLayout;

const PixelLayout kLayouts[] = {PixelLayout::ARGB8, PixelLayout::ARGB16, PixelLayout::BGRA8, PixelLayout::BGRA32f};

std::string LayoutParamName(const ::testing::TestParamInfo<PixelLayout>& info) {
    return std::string(frames::LayoutName(info.param));
}

class RenderEveryLayout : public ::testing::TestWithParam<PixelLayout> {};

TEST_P(RenderEveryLayout, TakesTheSuitesOfItsPathAndReleasesThem) {
    RenderRig rig(GetParam());
    ASSERT_EQ(rig.Render(), PF_Err_NONE);
    std::vector<std::string> expected;
    switch (GetParam()) {
        case PixelLayout::ARGB8:
            expected = {"AcquireSuite(PF Iterate8 Suite, 1)", "iterate8(0, 8, whole)",
                        "ReleaseSuite(PF Iterate8 Suite, 1)"};
            break;
        case PixelLayout::ARGB16:
            expected = {"AcquireSuite(PF iterate16 Suite, 1)", "iterate16(0, 8, whole)",
                        "ReleaseSuite(PF iterate16 Suite, 1)"};
            break;
        case PixelLayout::BGRA8:
            expected = {"AcquireSuite(PF Pixel Format Suite, 1)", "GetPixelFormat()",
                        "AcquireSuite(PF Iterate8 Suite, 1)",     "iterate8(0, 8, whole)",
                        "ReleaseSuite(PF Pixel Format Suite, 1)", "ReleaseSuite(PF Iterate8 Suite, 1)"};
            break;
        case PixelLayout::BGRA32f:
            expected = {"AcquireSuite(PF Pixel Format Suite, 1)", "GetPixelFormat()",
                        "ReleaseSuite(PF Pixel Format Suite, 1)"};
            break;
    }
    EXPECT_EQ(rig.host.log().Strings(), expected);
    EXPECT_FALSE(rig.OutputUntouched());
}

TEST_P(RenderEveryLayout, CopiesColourBitForBitWhateverTheAlpha) {
    RenderRig rig(GetParam(), 31, 7);
    rig.SetOrigin(10, 3);
    rig.SetFloat(kParamWidth, 12);
    rig.SetFloat(kParamHeight, 5);
    rig.SetFloat(kParamFeather, 2);
    rig.SetPopup(kParamCompositeMode, kCompositeIntersect);
    ASSERT_EQ(rig.Render(), PF_Err_NONE);
    const std::size_t bpp = frames::BytesPerPixel(GetParam());
    const std::size_t channel = bpp / 4;
    const std::size_t alpha_at = frames::IsPremiereLayout(GetParam()) ? 3 : 0;
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 31; ++x) {
            const std::uint8_t* in = rig.input.Row(y) + std::size_t(x) * bpp;
            const std::uint8_t* out = rig.output.Row(y) + std::size_t(x) * bpp;
            for (std::size_t c = 0; c < 4; ++c) {
                if (c == alpha_at) continue;
                ASSERT_EQ(std::memcmp(in + c * channel, out + c * channel, channel), 0) << x << "," << y << " c" << c;
            }
        }
    }
}

TEST_P(RenderEveryLayout, ManyThreadsWriteTheSameBytesAsOne) {
    auto render = [&](int threads) {
        RenderRig rig(GetParam(), 97, 61, threads, 12);
        rig.SetOrigin(40.5, 30.25);
        rig.SetFloat(kParamWidth, 80);
        rig.SetFloat(kParamHeight, 45);
        rig.SetFloat(kParamFeather, 19);
        rig.SetPopup(kParamFalloff, kFalloffGaussian);
        rig.params[kParamAngle].u.ad.value = 30 << 16;
        rig.SetPopup(kParamCompositeMode, kCompositeAdd);
        EXPECT_EQ(rig.Render(), PF_Err_NONE);
        return std::vector<std::uint8_t>(rig.output.bytes().begin(), rig.output.bytes().end());
    };
    EXPECT_EQ(render(1), render(4));
}

INSTANTIATE_TEST_SUITE_P(Layouts, RenderEveryLayout, ::testing::ValuesIn(kLayouts), LayoutParamName);

TEST(RenderPremiere, UnsupportedFormatReturns514AndReleasesThePixelFormatSuite) {
    RenderRig rig(PixelLayout::BGRA8);
    rig.host.SetWorldFormat(rig.output.def(), 0x61726762 ^ 0x20202020);  // some other four-character code
    EXPECT_EQ(rig.Render(), PF_Err_UNRECOGNIZED_PARAM_TYPE);
    EXPECT_TRUE(rig.OutputUntouched());
    EXPECT_EQ(rig.host.log().Strings("ReleaseSuite"),
              std::vector<std::string>{"ReleaseSuite(PF Pixel Format Suite, 1)"});
    EXPECT_EQ(rig.host.out_data().out_flags, 0);
    EXPECT_EQ(rig.host.log().Count("iterate8"), 0u);
}

TEST(RenderPremiere, FormatLeftUnansweredMeansEightBit) {
    // A host that fails GetPixelFormat and leaves the code alone gets the 8-bit path.
    RenderRig rig(PixelLayout::BGRA8);
    rig.host.faults().FailCall("GetPixelFormat", 0, 99);
    EXPECT_EQ(rig.Render(), PF_Err_NONE);
    EXPECT_EQ(rig.host.log().Count("iterate8"), 1u);
}

class RenderPremiereWithoutPixelFormats : public ::testing::TestWithParam<bool> {};

TEST_P(RenderPremiereWithoutPixelFormats, Returns516WithMessageAndWritesNothing) {
    RenderRig rig(PixelLayout::BGRA32f);
    if (GetParam()) {
        rig.host.faults().MissingSuite(kPFPixelFormatSuite);
    } else {
        rig.host.faults().NullSuite(kPFPixelFormatSuite);
    }
    EXPECT_EQ(rig.Render(), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(rig.host.out_data().out_flags, PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    EXPECT_STREQ(rig.host.out_data().return_msg, "Not able to acquire AEFX Suite.");
    EXPECT_TRUE(rig.OutputUntouched());
}

INSTANTIATE_TEST_SUITE_P(MissingOrNull, RenderPremiereWithoutPixelFormats, ::testing::Bool());

struct MissingIterate {
    PixelLayout layout;
    const char* suite;
};

class RenderWithoutIterateSuite : public ::testing::TestWithParam<MissingIterate> {};

TEST_P(RenderWithoutIterateSuite, Returns516WithoutMessageAndEverySuiteReleasedOnce) {
    RenderRig rig(GetParam().layout);
    rig.host.faults().MissingSuite(GetParam().suite);
    EXPECT_EQ(rig.Render(), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(rig.host.out_data().out_flags, 0);
    EXPECT_EQ(rig.host.out_data().return_msg[0], '\0');
    EXPECT_TRUE(rig.OutputUntouched());
    // The pixel format suite, taken before the throw, goes back while unwinding.
    EXPECT_EQ(rig.host.Acquired(kPFPixelFormatSuite), rig.host.Released(kPFPixelFormatSuite));
}

INSTANTIATE_TEST_SUITE_P(Paths, RenderWithoutIterateSuite,
                         ::testing::Values(MissingIterate{PixelLayout::ARGB8, kPFIterate8Suite},
                                           MissingIterate{PixelLayout::ARGB16, kPFIterate16Suite},
                                           MissingIterate{PixelLayout::BGRA8, kPFIterate8Suite}));

TEST(Render, NoBasicSuiteReturns516BeforeAnythingElse) {
    for (PixelLayout layout : kLayouts) {
        RenderRig rig(layout);
        rig.host.faults().NoBasicSuite();
        EXPECT_EQ(rig.Render(), PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_TRUE(rig.OutputUntouched());
        EXPECT_TRUE(rig.host.log().calls().empty());
        EXPECT_EQ(rig.host.out_data().out_flags, 0);
    }
}

TEST(Render, InterruptedIterateIsReturnedInAfterEffectsOnly) {
    for (PixelLayout layout : {PixelLayout::ARGB8, PixelLayout::ARGB16}) {
        RenderRig rig(layout);
        rig.host.faults().FailCall(layout == PixelLayout::ARGB8 ? "iterate8" : "iterate16", 1, PF_Interrupt_CANCEL);
        EXPECT_EQ(rig.Render(), PF_Interrupt_CANCEL);
    }
    RenderRig premiere(PixelLayout::BGRA8);
    premiere.host.faults().FailCall("iterate8", 1, PF_Interrupt_CANCEL);
    EXPECT_EQ(premiere.Render(), PF_Err_NONE);
}

struct Hint {
    const char* name;
    PF_LRect hint;
    int lines;
};

class RenderExtentHint : public ::testing::TestWithParam<Hint> {};

TEST_P(RenderExtentHint, HostIterateGetsItsHeightAsProgressWithWholeArea) {
    RenderRig rig(PixelLayout::ARGB8);
    rig.output.SetExtentHint(GetParam().hint);
    ASSERT_EQ(rig.Render(), PF_Err_NONE);
    EXPECT_EQ(rig.host.log().Strings("iterate8"),
              std::vector<std::string>{"iterate8(0, " + std::to_string(GetParam().lines) + ", whole)"});
}

TEST_P(RenderExtentHint, OwnFloatLoopWritesOnlyThatManyRowsFromTheTop) {
    RenderRig rig(PixelLayout::BGRA32f);
    rig.output.SetExtentHint(GetParam().hint);
    ASSERT_EQ(rig.Render(), PF_Err_NONE);
    const int written = std::max(0, GetParam().lines);
    for (int y = 0; y < rig.output.height(); ++y) {
        bool untouched = true;
        for (std::size_t i = 0; i < rig.output.rowbytes(); ++i) untouched &= rig.output.Row(y)[i] == 0xEE;
        EXPECT_EQ(untouched, y >= written) << "row " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Hints, RenderExtentHint,
                         ::testing::Values(Hint{"Whole", {0, 0, 16, 8}, 8}, Hint{"Shorter", {0, 2, 16, 5}, 3},
                                           Hint{"Empty", {0, 4, 16, 4}, 0}, Hint{"Inverted", {0, 6, 16, 2}, -4},
                                           // Taller than the frame: the own loop still stops at its last row.
                                           Hint{"TallerThanWorld", {0, -4, 16, 12}, 16}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvel::test
