// The simulated host's records as a real host hands them over: every member
// a host sets is set, every function table is complete, every byte nobody
// should read is poison, and a call through a slot the module has no
// business using fails the command's checks instead of passing unseen.
#include <gtest/gtest.h>

#include <cfenv>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <string>

#include "frames/Poison.h"
#include "numeric/FixedPoint.h"
#include "shell/Params.h"
#include "tests/ModuleFixture.h"

namespace quorvel::test {
namespace {

template <typename T>
bool Poisoned(const T& member) {
    return frames::IsPoison(&member, sizeof member);
}

/// The suite `name` as the host hands it out, for a test to call through.
template <typename Suite>
const Suite* Acquire(PF_InData& in, const char* name) {
    const void* suite = nullptr;
    EXPECT_EQ(in.pica_basicP->AcquireSuite(name, 1, &suite), kSPNoError);
    return static_cast<const Suite*>(suite);
}

TEST(SimulatedHostRecords, InDataHasEveryMemberAHostSetsAndPoisonElsewhere) {
    sim::Host host(Module().entry());
    host.Run([](PF_InData& in, PF_OutData& out) {
        EXPECT_EQ(in.version.major, 13);
        EXPECT_EQ(in.quality, PF_Quality_HI);
        EXPECT_EQ(in.width, 1920);
        EXPECT_EQ(in.height, 1080);
        EXPECT_EQ(in.extent_hint.right, 1920);
        EXPECT_EQ(in.in_flags, 0);
        EXPECT_EQ(in.global_data, nullptr);
        EXPECT_NE(in.pica_basicP, nullptr);
        // Every callback present, reserved slots and the audio record poison.
        EXPECT_NE(in.inter.checkout_param, nullptr);
        EXPECT_NE(in.inter.get_audio_data, nullptr);
        EXPECT_TRUE(Poisoned(in.inter.reserved_str));
        EXPECT_TRUE(Poisoned(in.inter.reserved));
        EXPECT_TRUE(Poisoned(in.reserved));
        EXPECT_TRUE(Poisoned(in.src_snd));
        EXPECT_NE(in.utils->begin_sampling, nullptr);
        EXPECT_NE(in.utils->get_pixel_data16, nullptr);
        EXPECT_TRUE(Poisoned(in.utils->reserved));
        // The out-data's members cleared, its audio record poison.
        EXPECT_EQ(out.out_flags, 0);
        EXPECT_EQ(out.return_msg[0], '\0');
        EXPECT_TRUE(Poisoned(out.dest_snd));
        return PF_Err_NONE;
    });
}

TEST(SimulatedHostRecords, EventsCarryTheirOwnMembersAndPoisonElsewhere) {
    sim::EventRecord draw(PF_Event_DRAW, PF_Window_COMP);
    EXPECT_EQ(draw.extra().evt_in_flags, 0);
    EXPECT_EQ(draw.extra().evt_out_flags, 0);
    EXPECT_TRUE(Poisoned(draw.extra().effect_win));
    EXPECT_TRUE(Poisoned(draw.extra().u.do_click.continue_refcon)) << "a draw event carries no click";
    EXPECT_NE(draw.extra().cbs.info_draw_text, nullptr);
    EXPECT_EQ((*draw.extra().contextH)->w_type, PF_Window_COMP);
    EXPECT_TRUE(Poisoned((*draw.extra().contextH)->reserved_drawref));

    sim::EventRecord click(PF_Event_DO_CLICK, PF_Window_LAYER);
    EXPECT_EQ(click.click().continue_refcon[0], 0);
    EXPECT_EQ(click.click().send_drag, 0);
    EXPECT_EQ(click.click().last_time, 0);
}

TEST(SimulatedHostRecords, WorldsAndParametersKeepReservedBytesPoison) {
    frames::World world(frames::PixelLayout::ARGB8, 4, 2);
    EXPECT_TRUE(Poisoned(world.def()->reserved0));
    EXPECT_TRUE(Poisoned(world.def()->platform_ref));
    EXPECT_TRUE(Poisoned(world.def()->reserved_long4));

    CheckedHost host;
    ASSERT_EQ(host.ParamsSetup(), PF_Err_NONE);
    const sim::ParamSet params = host.DefaultParams(world);
    const PF_ParamDef& opacity = params[kParamOpacity];
    EXPECT_EQ(opacity.u.fd.value, 100 * 65536);
    EXPECT_TRUE(Poisoned(opacity.unused));
    // The union's bytes past the fixed slider's record belong to other types.
    const auto* tail = reinterpret_cast<const unsigned char*>(&opacity.u) + sizeof(PF_FixedSliderDef);
    EXPECT_TRUE(frames::IsPoison(tail, sizeof opacity.u - sizeof(PF_FixedSliderDef)));
}

struct ForbiddenCase {
    const char* name;
    std::function<PF_Err(PF_InData&)> call;
};

class ForbiddenSlot : public ::testing::TestWithParam<ForbiddenCase> {};

// A slot the module has no business calling answers with an error and
// leaves a problem that fails the test (CheckedHost) or the fuzzer.
TEST_P(ForbiddenSlot, AnswersWithAnErrorAndIsReported) {
    sim::Host host(Module().entry());
    const PF_Err err = host.Run([](PF_InData& in, PF_OutData&) { return GetParam().call(in); });
    EXPECT_EQ(err, PF_Err_INVALID_CALLBACK);
    ASSERT_EQ(host.problems().size(), 1u);
    EXPECT_NE(host.problems()[0].find(GetParam().name), std::string::npos) << host.problems()[0];
    host.ClearProblems();
}

PF_Err ReleasedAfter(PF_InData& in, const char* suite, PF_Err err) {
    in.pica_basicP->ReleaseSuite(suite, 1);
    return err;
}

INSTANTIATE_TEST_SUITE_P(
    Slots, ForbiddenSlot,
    ::testing::Values(
        ForbiddenCase{"checkout_param",
                      [](PF_InData& in) { return in.inter.checkout_param(in.effect_ref, 1, 0, 1, 24, nullptr); }},
        ForbiddenCase{"copy",
                      [](PF_InData& in) { return in.utils->copy(in.effect_ref, nullptr, nullptr, nullptr, nullptr); }},
        ForbiddenCase{"app", [](PF_InData& in) { return in.utils->app(in.effect_ref, 1, 2, 3); }},
        ForbiddenCase{"PaintRect",
                      [](PF_InData& in) {
                          const auto* surface = Acquire<DRAWBOT_SurfaceSuite1>(in, kDRAWBOT_SurfaceSuite);
                          return ReleasedAfter(in, kDRAWBOT_SurfaceSuite,
                                               surface->PaintRect(nullptr, nullptr, nullptr));
                      }},
        ForbiddenCase{"iterate8.iterate_origin",
                      [](PF_InData& in) {
                          const auto* iterate = Acquire<PF_Iterate8Suite1>(in, kPFIterate8Suite);
                          return ReleasedAfter(
                              in, kPFIterate8Suite,
                              iterate->iterate_origin(&in, 0, 1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
                      }},
        ForbiddenCase{"info_draw_text",
                      [](PF_InData&) {
                          sim::EventRecord event(PF_Event_DRAW, PF_Window_COMP);
                          return event.extra().cbs.info_draw_text(nullptr, "a", "b");
                      }}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name) {
            if (c == '.') c = '_';
        }
        return name;
    });

// Typed values in 16.16 as the host sends them: nearest, halves to even, in
// any rounding mode; the plain encoding clamps, the checked one refuses.
struct EncodingCase {
    const char* name;
    double value;
    PF_Fixed clamped;
    std::optional<PF_Fixed> checked;
};

class ParamEncoding : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(ParamEncoding, RoundsToNearestEvenAndClampsOrRefusesWhatDoesNotFit) {
    const EncodingCase& c = GetParam();
    for (const int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        ASSERT_EQ(std::fesetround(mode), 0);
        const PF_Fixed clamped = FixedFromDoubleNearestTiesEven(c.value);
        const std::optional<PF_Fixed> checked = CheckedFixedFromDoubleNearestTiesEven(c.value);
        std::fesetround(FE_TONEAREST);
        SCOPED_TRACE(mode);
        EXPECT_EQ(clamped, c.clamped);
        EXPECT_EQ(checked, c.checked);
    }
}

constexpr double kUnit = 1.0 / 65536;
constexpr PF_Fixed kFixedMax = std::numeric_limits<PF_Fixed>::max();
constexpr PF_Fixed kFixedMin = std::numeric_limits<PF_Fixed>::min();
const double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Values, ParamEncoding,
    ::testing::Values(
        EncodingCase{"One", 1.0, 65536, 65536}, EncodingCase{"MinusOneAndAQuarter", -1.25, -81920, -81920},
        EncodingCase{"AThirdRoundsDown", 1.0 / 3, 21845, 21845},
        EncodingCase{"TwoThirdsRoundUp", 2.0 / 3, 43691, 43691}, EncodingCase{"HalfUnitToEvenZero", 0.5 * kUnit, 0, 0},
        EncodingCase{"MinusHalfUnitToEvenZero", -0.5 * kUnit, 0, 0},
        EncodingCase{"OneAndAHalfUnitsToTwo", 1.5 * kUnit, 2, 2},
        EncodingCase{"TwoAndAHalfUnitsToTwo", 2.5 * kUnit, 2, 2},
        EncodingCase{"MinusOneAndAHalfUnitsToMinusTwo", -1.5 * kUnit, -2, -2},
        EncodingCase{"Largest", 2147483647 * kUnit, kFixedMax, kFixedMax},
        EncodingCase{"HalfPastLargestRoundsOut", 2147483647.5 * kUnit, kFixedMax, std::nullopt},
        EncodingCase{"Lowest", -32768.0, kFixedMin, kFixedMin},
        EncodingCase{"HalfBelowLowestRoundsIn", -2147483648.5 * kUnit, kFixedMin, kFixedMin},
        EncodingCase{"BelowLowest", -2147483649.0 * kUnit, kFixedMin, std::nullopt},
        EncodingCase{"FortyThousand", 40000.0, kFixedMax, std::nullopt},
        EncodingCase{"Huge", -1e300, kFixedMin, std::nullopt}, EncodingCase{"Infinity", kInf, kFixedMax, std::nullopt},
        EncodingCase{"MinusInfinity", -kInf, kFixedMin, std::nullopt},
        EncodingCase{"NaN", std::numeric_limits<double>::quiet_NaN(), 0, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvel::test
