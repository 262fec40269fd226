// The sequence renderer's parts in-process: numbered file names, frame
// lists, frame rates, keyframe interpolation, the parameter values and
// times the host sends for each frame, and the progress report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>

#include "effect/Controls.h"
#include "imagefiles/AtomicFile.h"
#include "imagefiles/TestCard.h"
#include "shots/FramePattern.h"
#include "shots/FrameRate.h"
#include "shots/Keyframes.h"
#include "shots/Progress.h"
#include "shots/SequenceRender.h"
#include "shots/ShotError.h"
#include "tests/ModuleFixture.h"

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;
using shots::Interpolation;
using shots::Keyframe;
using shots::ShotError;

// ---- Numbered file names ----

struct PatternCase {
    const char* text;
    int frame;
    const char* path;
};

void PrintTo(const PatternCase& c, std::ostream* os) { *os << c.text << " @ " << c.frame; }

class FramePatternPaths : public ::testing::TestWithParam<PatternCase> {};

TEST_P(FramePatternPaths, PutTheFrameNumberInTheField) {
    const shots::FramePattern pattern("out", GetParam().text);
    EXPECT_EQ(pattern.PathFor(GetParam().frame).string(), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(Cases, FramePatternPaths,
                         ::testing::Values(PatternCase{"shot.%04d.exr", 1001, "shot.1001.exr"},
                                           PatternCase{"shot.%04d.exr", 7, "shot.0007.exr"},
                                           PatternCase{"shot.%04d.exr", 12345, "shot.12345.exr"},
                                           PatternCase{"shot.%04d.exr", -5, "shot.-005.exr"},
                                           PatternCase{"shot.%d.png", 7, "shot.7.png"},
                                           PatternCase{"shot.%08d.tif", 42, "shot.00000042.tif"},
                                           PatternCase{"shot.####.exr", 7, "shot.0007.exr"},
                                           PatternCase{"shot.#.exr", 1001, "shot.1001.exr"},
                                           PatternCase{"dir/####/f.npy", 3, "dir/0003/f.npy"},
                                           PatternCase{"100%%_%03d.png", 9, "100%_009.png"},
                                           PatternCase{"still.png", 9, "still.png"}));

TEST(FramePattern, TellsNumberedNamesFromPlainOnes) {
    EXPECT_TRUE(shots::FramePattern("in", "a.%04d.exr").numbered());
    EXPECT_TRUE(shots::FramePattern("in", "a.##.exr").numbered());
    EXPECT_FALSE(shots::FramePattern("in", "a.exr").numbered());
    EXPECT_FALSE(shots::FramePattern("in", "100%%.exr").numbered());
    EXPECT_TRUE(shots::FramePattern::LooksNumbered("a.%04d.exr"));
    EXPECT_TRUE(shots::FramePattern::LooksNumbered("a.#.exr"));
    EXPECT_FALSE(shots::FramePattern::LooksNumbered("a.exr"));
    EXPECT_FALSE(shots::FramePattern::LooksNumbered("100%%.exr"));
}

class FramePatternRefuses : public ::testing::TestWithParam<const char*> {};

TEST_P(FramePatternRefuses, MalformedFields) { EXPECT_THROW(shots::FramePattern("out", GetParam()), ShotError); }

INSTANTIATE_TEST_SUITE_P(Cases, FramePatternRefuses,
                         ::testing::Values("a.%04d.%04d.exr", "a.##.%d.exr", "a.%s.exr", "a.%4d.exr", "a.%0d.exr",
                                           "a.%.exr", "a.%", "a.%099d.exr", "a.%02147483649d.exr"));

// ---- Frame lists ----

struct FrameListCase {
    const char* text;
    std::vector<int> frames;
};

void PrintTo(const FrameListCase& c, std::ostream* os) { *os << c.text; }

class FrameLists : public ::testing::TestWithParam<FrameListCase> {};

TEST_P(FrameLists, ParseToAscendingFramesWithoutRepeats) {
    EXPECT_EQ(shots::ParseFrameList("frames", GetParam().text), GetParam().frames);
}

INSTANTIATE_TEST_SUITE_P(Cases, FrameLists,
                         ::testing::Values(FrameListCase{"1001-1005", {1001, 1002, 1003, 1004, 1005}},
                                           FrameListCase{"7", {7}}, FrameListCase{"1-10x3", {1, 4, 7, 10}},
                                           FrameListCase{"1-9:4", {1, 5, 9}},
                                           FrameListCase{"5-6,1,3-4", {1, 3, 4, 5, 6}},
                                           FrameListCase{"1-3,2-4", {1, 2, 3, 4}}, FrameListCase{"-3--1", {-3, -2, -1}},
                                           FrameListCase{"-1-1", {-1, 0, 1}}, FrameListCase{"+2", {2}},
                                           FrameListCase{"5-6x9223372036854775807", {5}},
                                           // Ranges merged whatever their order: a long one with frames inside it.
                                           FrameListCase{"-2-8x2,5,-0,9-9,1-3", {-2, 0, 1, 2, 3, 4, 5, 6, 8, 9}}));

class FrameListsRefused : public ::testing::TestWithParam<const char*> {};

TEST_P(FrameListsRefused, WithAUsageError) { EXPECT_THROW(shots::ParseFrameList("frames", GetParam()), ShotError); }

INSTANTIATE_TEST_SUITE_P(Cases, FrameListsRefused,
                         ::testing::Values("", "a", "10-1", "1-", "1-10x0", "1-10x", "1,,2", "1-10y2", "1 - 10",
                                           "1-99999999", "3000000000"));

TEST(FrameRangesText, JoinsRunsOfConsecutiveFrames) {
    EXPECT_EQ(shots::FrameRangesText({}), "none");
    EXPECT_EQ(shots::FrameRangesText({4}), "4");
    EXPECT_EQ(shots::FrameRangesText({1, 2, 3, 5, 7, 8}), "1-3, 5, 7-8");
    EXPECT_EQ(shots::FrameRangesText({-2, -1, 0}), "-2-0");
}

// ---- Frame rates ----

struct RateCase {
    const char* text;
    A_u_long scale;
    A_long step;
};

void PrintTo(const RateCase& c, std::ostream* os) { *os << c.text; }

class FrameRates : public ::testing::TestWithParam<RateCase> {};

TEST_P(FrameRates, BecomeTheHostsTimeScaleAndStep) {
    const shots::FrameRate rate = shots::ParseFrameRate("fps", GetParam().text);
    EXPECT_EQ(rate.time_scale, GetParam().scale);
    EXPECT_EQ(rate.time_step, GetParam().step);
}

INSTANTIATE_TEST_SUITE_P(Cases, FrameRates,
                         ::testing::Values(RateCase{"24", 24, 1}, RateCase{"25", 25, 1}, RateCase{"12.5", 25, 2},
                                           RateCase{"23.976", 24000, 1001}, RateCase{"29.97", 30000, 1001},
                                           RateCase{"59.94", 60000, 1001}, RateCase{"24000/1001", 24000, 1001},
                                           RateCase{"50/2", 25, 1}, RateCase{"0.5", 1, 2}, RateCase{"0.001", 1, 1000}));

TEST(FrameRates, RefuseWhatIsNoRate) {
    for (const char* text : {"0", "-24", "abc", "24/0", "1.", ".5", "24fps", "1e3", "5000", "0.0009", "1/1001"}) {
        EXPECT_THROW(shots::ParseFrameRate("fps", text), ShotError) << text;
    }
}

TEST(FrameRates, TimeIsFrameTimesStepAndMustFitTheHost) {
    const shots::FrameRate ntsc{24000, 1001};
    EXPECT_EQ(ntsc.TimeOf(1001), 1001 * 1001);
    EXPECT_EQ(ntsc.TimeOf(-2), -2002);
    EXPECT_THROW(ntsc.TimeOf(3'000'000), ShotError);
}

// ---- Interpolation ----

Keyframe Key(double frame, double value, Interpolation interpolation = Interpolation::Linear) {
    return Keyframe{frame, {value}, interpolation};
}

struct InterpolationCase {
    const char* name;
    std::vector<Keyframe> keys;
    double frame;
    double expected;
};

void PrintTo(const InterpolationCase& c, std::ostream* os) { *os << c.name; }

class Interpolate : public ::testing::TestWithParam<InterpolationCase> {};

TEST_P(Interpolate, GivesTheValueUsersExpect) {
    EXPECT_DOUBLE_EQ(shots::Evaluate(GetParam().keys, GetParam().frame).at(0), GetParam().expected);
}

const auto H = Interpolation::Hold;
const auto E = Interpolation::Ease;

// Ease at both ends follows 3s^2 - 2s^3 (0.15625 at a quarter, 0.5 half way,
// 0.84375 at three quarters); easing out of the first key only follows
// 2s^2 - s^3, into the second only s + s^2 - s^3.
INSTANTIATE_TEST_SUITE_P(
    Cases, Interpolate,
    ::testing::Values(InterpolationCase{"LinearAtFirstKey", {Key(10, 100), Key(20, 200)}, 10, 100},
                      InterpolationCase{"LinearAtLastKey", {Key(10, 100), Key(20, 200)}, 20, 200},
                      InterpolationCase{"LinearBetween", {Key(10, 100), Key(20, 200)}, 13, 130},
                      InterpolationCase{"LinearHalfFrame", {Key(10, 100), Key(20, 200)}, 12.5, 125},
                      InterpolationCase{"LinearDown", {Key(0, 8), Key(4, 0)}, 1, 6},
                      InterpolationCase{"BeforeFirstKeyHoldsIt", {Key(10, 100), Key(20, 200)}, -50, 100},
                      InterpolationCase{"AfterLastKeyHoldsIt", {Key(10, 100), Key(20, 200)}, 1e6, 200},
                      InterpolationCase{"SingleKeyEverywhere", {Key(5, 42)}, 1000, 42},
                      InterpolationCase{"SingleKeyBefore", {Key(5, 42)}, -1000, 42},
                      InterpolationCase{"ThirdSegment", {Key(0, 0), Key(10, 10), Key(20, 0), Key(30, 30)}, 25, 15},
                      InterpolationCase{"SecondSegment", {Key(0, 0), Key(10, 10), Key(20, 0), Key(30, 30)}, 14, 6},
                      InterpolationCase{"HoldKeepsTheValue", {Key(0, 5, H), Key(10, 50)}, 9.99, 5},
                      InterpolationCase{"HoldJumpsAtTheNextKey", {Key(0, 5, H), Key(10, 50)}, 10, 50},
                      InterpolationCase{"HoldThenLinear", {Key(0, 5, H), Key(10, 50), Key(20, 100)}, 15, 75},
                      InterpolationCase{"LinearIntoHold", {Key(0, 0), Key(10, 50, H), Key(20, 100)}, 5, 25},
                      InterpolationCase{"HoldAfterLastKey", {Key(0, 0), Key(10, 50, H)}, 30, 50},
                      InterpolationCase{"EaseBothHalfWay", {Key(0, 0, E), Key(8, 100, E)}, 4, 50},
                      InterpolationCase{"EaseBothQuarter", {Key(0, 0, E), Key(8, 100, E)}, 2, 15.625},
                      InterpolationCase{"EaseBothThreeQuarters", {Key(0, 0, E), Key(8, 100, E)}, 6, 84.375},
                      InterpolationCase{"EaseBothAtKey", {Key(0, 0, E), Key(8, 100, E)}, 8, 100},
                      InterpolationCase{"EaseOutOfFirstHalfWay", {Key(0, 0, E), Key(8, 100)}, 4, 37.5},
                      InterpolationCase{"EaseIntoSecondHalfWay", {Key(0, 0), Key(8, 100, E)}, 4, 62.5},
                      InterpolationCase{"EaseDown", {Key(0, 100, E), Key(8, 0, E)}, 2, 84.375},
                      InterpolationCase{"EaseBeforeFirstKey", {Key(0, 0, E), Key(8, 100, E)}, -3, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Interpolate, EasedSegmentsStayBetweenTheirKeysAndNeverTurnBack) {
    for (const auto& [from, to] :
         {std::pair{E, E}, std::pair{E, Interpolation::Linear}, std::pair{Interpolation::Linear, E}}) {
        double previous = 0.0;
        for (int i = 0; i <= 100; ++i) {
            const double w = shots::SegmentWeight(from, to, i / 100.0);
            EXPECT_GE(w, previous);
            EXPECT_LE(w, 1.0);
            previous = w;
        }
        EXPECT_EQ(shots::SegmentWeight(from, to, 0.0), 0.0);
    }
}

TEST(Interpolate, PointsMoveOnBothAxesWithTheSameTiming) {
    const std::vector<Keyframe> keys = {{0, {0, 100}, E}, {8, {200, 300}, E}};
    EXPECT_EQ(shots::Evaluate(keys, 2), (std::vector<double>{31.25, 131.25}));
}

// ---- Keys against the module's controls ----

/// A parameter array at the module's defaults, over a small layer.
class ModuleParams : public ::testing::Test {
protected:
    ModuleParams() : input_(frames::PixelLayout::ARGB8, 40, 30) {
        EXPECT_EQ(host_.GlobalSetup(), PF_Err_NONE);
        EXPECT_EQ(host_.ParamsSetup(), PF_Err_NONE);
    }
    sim::ParamSet Params() const { return host_.DefaultParams(input_); }

    CheckedHost host_;
    frames::World input_;
};

TEST_F(ModuleParams, KeysOnTheAnimatableControlsReachTheArrayInTheHostsEncodings) {
    shots::Animation animation;
    for (const char* key :
         {"origin@0=10,20", "origin@10=20.5,40", "width@0=100", "width@10=200", "height@4=77", "angle@0=0",
          "angle@10=-90", "feather@0=0:hold", "feather@10=30", "opacity@0=0:ease", "opacity@10=100:ease"}) {
        animation.AddKeyOption(key);
    }
    animation.Resolve(Params());
    sim::ParamSet params = Params();
    animation.Apply(5, params);
    const PF_ParamDef& origin = params[params.IndexOfId(kIdOrigin)];
    EXPECT_EQ(origin.u.td.x_value, PF_Fixed(15.25 * 65536));
    EXPECT_EQ(origin.u.td.y_value, PF_Fixed(30 * 65536));
    EXPECT_EQ(params[params.IndexOfId(kIdWidth)].u.fs_d.value, 150.0);
    EXPECT_EQ(params[params.IndexOfId(kIdHeight)].u.fs_d.value, 77.0);
    EXPECT_EQ(params[params.IndexOfId(kIdAngle)].u.ad.value, PF_Fixed(-45 * 65536));
    EXPECT_EQ(params[params.IndexOfId(kIdFeather)].u.fs_d.value, 0.0);
    EXPECT_EQ(params[params.IndexOfId(kIdOpacity)].u.fd.value, PF_Fixed(50 * 65536));
    // Controls without keys keep their values.
    EXPECT_EQ(params[params.IndexOfId(kIdMaskType)].u.pd.value, 1);
    EXPECT_EQ(shots::DescribeAnimatable(params), "origin=15.25,30 width=150 height=77 angle=-45 feather=0 opacity=50");
}

TEST_F(ModuleParams, SixteenDotSixteenValuesRoundToNearest) {
    shots::Animation animation;
    animation.AddKeyOption("angle@0=0");
    animation.AddKeyOption("angle@3=1");
    animation.Resolve(Params());
    sim::ParamSet params = Params();
    animation.Apply(1, params);
    EXPECT_EQ(params[params.IndexOfId(kIdAngle)].u.ad.value, 21845);  // 65536 / 3 = 21845.33
    animation.Apply(2, params);
    EXPECT_EQ(params[params.IndexOfId(kIdAngle)].u.ad.value, 43691);  // 43690.67
}

class KeyOnFixedControl : public ModuleParams, public ::testing::WithParamInterface<const char*> {};

TEST_P(KeyOnFixedControl, IsRefusedBecauseTheModuleMarksItSo) {
    const A_long id = std::string(GetParam()) == "mask-type"   ? kIdMaskType
                      : std::string(GetParam()) == "composite" ? kIdCompositeMode
                      : std::string(GetParam()) == "invert"    ? kIdInvert
                                                               : kIdFalloff;
    const sim::ParamSet params = Params();
    ASSERT_TRUE(params[params.IndexOfId(id)].flags & PF_ParamFlag_CANNOT_TIME_VARY);
    shots::Animation animation;
    animation.AddKeyOption(std::string(GetParam()) + "@1=1");
    try {
        animation.Resolve(params);
        ADD_FAILURE() << "a key on " << GetParam() << " was taken";
    } catch (const ShotError& e) {
        EXPECT_NE(std::string(e.what()).find("cannot vary in time"), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Controls, KeyOnFixedControl, ::testing::Values("mask-type", "composite", "invert", "falloff"),
                         [](const auto& info) {
                             std::string name = info.param;
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

TEST_F(ModuleParams, EveryControlWithoutTheFlagTakesKeys) {
    const sim::ParamSet params = Params();
    int animatable = 0;
    for (int i = 1; i < params.size(); ++i) animatable += (params[i].flags & PF_ParamFlag_CANNOT_TIME_VARY) ? 0 : 1;
    EXPECT_EQ(animatable, 6);
    shots::Animation animation;
    for (const char* key : {"origin@1=1,1", "width@1=1", "height@1=1", "angle@1=1", "feather@1=1", "opacity@1=1"}) {
        animation.AddKeyOption(key);
    }
    EXPECT_NO_THROW(animation.Resolve(params));
}

struct BadKey {
    const char* name;
    std::vector<std::string> keys;
    const char* message_part;
};

void PrintTo(const BadKey& b, std::ostream* os) { *os << b.name; }

class BadKeys : public ModuleParams, public ::testing::WithParamInterface<BadKey> {};

TEST_P(BadKeys, AreUsageErrorsThatSayWhy) {
    try {
        shots::Animation animation;
        for (const std::string& key : GetParam().keys) animation.AddKeyOption(key);
        animation.Resolve(Params());
        ADD_FAILURE() << "taken";
    } catch (const ShotError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().message_part), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadKeys,
    ::testing::Values(BadKey{"NoAt", {"width=3"}, "NAME@FRAME=VALUE"},
                      BadKey{"NoEquals", {"width@3"}, "NAME@FRAME=VALUE"},
                      BadKey{"UnknownName", {"size@1=3"}, "no control is called 'size'"},
                      BadKey{"FrameNotANumber", {"width@x=3"}, "not a number"},
                      BadKey{"ValueNotANumber", {"width@1=wide"}, "not a number"},
                      BadKey{"PointNeedsTwo", {"origin@1=5"}, "two numbers"},
                      BadKey{"NumberGivenTwo", {"width@1=5,6"}, "not a number"},
                      BadKey{"UnknownInterpolation", {"width@1=5:bounce"}, "not linear, hold or ease"},
                      BadKey{"TwoKeysOneFrame", {"width@1=5", "width@1=6"}, "already has a key at frame 1"},
                      BadKey{"AngleBeyondFixed", {"angle@1=40000"}, "outside the host's range"},
                      BadKey{"OriginBeyondFixed", {"origin@1=0,-40000"}, "outside the host's range"}),
    [](const auto& info) { return std::string(info.param.name); });

/// A new scratch folder (never one a process of the same id left behind),
/// removed at the end of the test.
class Scratch {
public:
    Scratch() {
        std::string name = (fs::temp_directory_path() / "quorvel-seq-XXXXXX").string();
        if (::mkdtemp(name.data()) == nullptr) throw std::runtime_error("cannot make a scratch folder in " + name);
        path_ = name;
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    fs::path operator/(const std::string& name) const { return path_ / name; }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

TEST_F(ModuleParams, KeyFilesHoldTheSameKeysAsOptions) {
    Scratch dir;
    {
        std::ofstream file(dir / "keys.json");
        file << R"({"width": [{"frame": 10, "value": 200}, {"frame": 0, "value": 100, "interpolation": "ease"}],
                    "origin": [{"frame": 0, "value": [1, 2], "interpolation": "hold"}, {"frame": 10, "value": [3, 4]}]})";
    }
    shots::Animation from_file;
    from_file.AddKeyFile(dir / "keys.json");
    shots::Animation from_options;
    for (const char* key : {"width@0=100:ease", "width@10=200", "origin@0=1,2:hold", "origin@10=3,4"}) {
        from_options.AddKeyOption(key);
    }
    from_file.Resolve(Params());
    from_options.Resolve(Params());
    for (double frame : {-1.0, 0.0, 3.0, 9.5, 10.0, 11.0}) {
        sim::ParamSet a = Params();
        sim::ParamSet b = Params();
        from_file.Apply(frame, a);
        from_options.Apply(frame, b);
        EXPECT_EQ(shots::DescribeAnimatable(a), shots::DescribeAnimatable(b)) << frame;
    }
    EXPECT_EQ(from_file.KeysOf("width").size(), 2u);
    EXPECT_EQ(from_file.KeysOf("width").front().frame, 0.0);
}

struct BadFile {
    const char* name;
    const char* json;
    const char* message_part;
};

void PrintTo(const BadFile& b, std::ostream* os) { *os << b.name; }

class BadKeyFiles : public ::testing::TestWithParam<BadFile> {};

TEST_P(BadKeyFiles, AreUsageErrorsThatSayWhere) {
    Scratch dir;
    {
        std::ofstream file(dir / "keys.json");
        file << GetParam().json;
    }
    shots::Animation animation;
    try {
        animation.AddKeyFile(dir / "keys.json");
        ADD_FAILURE() << "taken";
    } catch (const ShotError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().message_part), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadKeyFiles,
    ::testing::Values(BadFile{"BrokenJson", "{width", "keys.json: the JSON breaks at line 1, column 2: '{width'"},
                      BadFile{"BrokenOnALaterLine", "{\n  \"width\": [1,]\n}",
                              "the JSON breaks at line 2, column 15: '  \"width\": [1,]'"},
                      BadFile{"AChannelFile", "0 1.5 2\n1 2 3\n",
                              "keys.json is neither keyframe text nor JSON (it starts with '0 1.5 2')"},
                      BadFile{"AnImage", "\x89PNG\r\n\x1a\n", "nor JSON (it starts with '\\x89PNG')"},
                      BadFile{"Empty", " \n", "keys.json is empty"},
                      BadFile{"NotAnObject", "[1, 2]", "expected an object"},
                      BadFile{"ListNotArray", R"({"width": 3})", "width: expected a list"},
                      BadFile{"UnknownName", R"({"size": []})", "no control is called 'size'"},
                      BadFile{"NoFrame", R"({"width": [{"value": 3}]})", "width[0]: needs a number \"frame\""},
                      BadFile{"NoValue", R"({"width": [{"frame": 3}]})", "\"value\" must be"},
                      BadFile{"ThreeNumbers", R"({"origin": [{"frame": 3, "value": [1, 2, 3]}]})", "\"value\" must be"},
                      BadFile{"UnknownField", R"({"width": [{"frame": 3, "value": 1, "ease": true}]})",
                              "unknown field 'ease'"},
                      BadFile{"BadInterpolation", R"({"width": [{"frame": 3, "value": 1, "interpolation": "smooth"}]})",
                              "not linear, hold or ease"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KeyFiles, AMissingFileIsAUsageError) {
    shots::Animation animation;
    EXPECT_THROW(animation.AddKeyFile("/nonexistent/keys.json"), ShotError);
}

// ---- What the module receives, frame by frame ----

struct SeenRender {
    A_long current_time;
    A_long time_step;
    A_u_long time_scale;
    double width;
    PF_Fixed angle;
    PF_Fixed origin_x;
};

std::mutex g_seen_mutex;
std::vector<SeenRender> g_seen;

/// The module's entry point, with the render commands' records noted on the way in.
PF_Err ProbeEntry(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output,
                  void* extra) {
    if (cmd == PF_Cmd_RENDER) {
        std::lock_guard lock(g_seen_mutex);
        g_seen.push_back({in_data->current_time, in_data->time_step, in_data->time_scale, params[4]->u.fs_d.value,
                          params[6]->u.ad.value, params[3]->u.td.x_value});
    }
    return Module().entry()(cmd, in_data, out_data, params, output, extra);
}

TEST(SequenceRender, EveryFrameIsItsOwnRenderCommandAtItsTimeWithItsValues) {
    Scratch dir;
    const frames::World card = imagefiles::MakeTestCard(frames::PixelLayout::ARGB8, 48, 32);
    shots::SequencePlan plan;
    plan.frames = shots::ParseFrameList("frames", "100-112");
    plan.still = &card;
    plan.output = shots::FramePattern("out", (dir / "o.%04d.npy").string());
    plan.rate = shots::FrameRate{24000, 1001};
    plan.layer_width = card.width();
    plan.layer_height = card.height();
    plan.in_flight = 6;
    plan.settings.threads = 1;
    shots::Animation animation;
    for (const char* key : {"width@100=10", "width@112=130", "angle@104=30:hold", "angle@110=60", "origin@0=3,0"}) {
        animation.AddKeyOption(key);
    }
    std::vector<std::unique_ptr<shots::Session>> owned;
    std::vector<shots::Session*> instances;
    for (int i = 0; i < 3; ++i) {
        owned.push_back(std::make_unique<shots::Session>(&ProbeEntry, plan.settings, card.width(), card.height()));
        instances.push_back(owned.back().get());
    }
    animation.Resolve(owned.front()->Params(card));
    plan.animation = &animation;
    g_seen.clear();
    std::ostringstream log;
    shots::Progress progress(shots::Progress::Style::Quiet, log, int(plan.frames.size()));

    const shots::SequenceOutcome outcome =
        shots::RenderSequence(plan, instances, progress, nullptr, [] { return false; });

    EXPECT_FALSE(outcome.failure.has_value());
    EXPECT_FALSE(outcome.interrupted);
    EXPECT_EQ(outcome.complete, plan.frames);
    ASSERT_EQ(g_seen.size(), plan.frames.size());
    std::sort(g_seen.begin(), g_seen.end(),
              [](const SeenRender& a, const SeenRender& b) { return a.current_time < b.current_time; });
    for (std::size_t i = 0; i < g_seen.size(); ++i) {
        const int frame = 100 + int(i);
        SCOPED_TRACE(frame);
        EXPECT_EQ(g_seen[i].current_time, frame * 1001);
        EXPECT_EQ(g_seen[i].time_step, 1001);
        EXPECT_EQ(g_seen[i].time_scale, 24000u);
        EXPECT_EQ(g_seen[i].width, 10.0 + 10.0 * (frame - 100));
        EXPECT_EQ(g_seen[i].angle, frame < 110 ? 30 << 16 : 60 << 16);
        EXPECT_EQ(g_seen[i].origin_x, 3 * 65536);
        EXPECT_TRUE(fs::exists(plan.output.PathFor(frame)));
    }
    EXPECT_EQ(progress.rendered(), int(plan.frames.size()));
}

TEST(SequenceRender, AStopBeforeTheStartRendersNothing) {
    Scratch dir;
    const frames::World card = imagefiles::MakeTestCard(frames::PixelLayout::ARGB8, 8, 8);
    shots::SequencePlan plan;
    plan.frames = {1, 2, 3};
    plan.still = &card;
    plan.output = shots::FramePattern("out", (dir / "o.%d.npy").string());
    plan.layer_width = plan.layer_height = 8;
    shots::Session session(Module().entry(), plan.settings, 8, 8);
    std::ostringstream log;
    shots::Progress progress(shots::Progress::Style::Lines, log, 3);
    const shots::SequenceOutcome outcome =
        shots::RenderSequence(plan, {&session}, progress, nullptr, [] { return true; });
    EXPECT_TRUE(outcome.interrupted);
    EXPECT_TRUE(outcome.complete.empty());
    EXPECT_EQ(outcome.missing, plan.frames);
    EXPECT_TRUE(fs::is_empty(dir.path()));
    EXPECT_EQ(log.str(), "");
}

TEST(AtomicFile, TellsItsTemporaryFilesAndTheirOwner) {
    EXPECT_EQ(imagefiles::TemporaryFileOwner(".tmp-123-7-o.0001.png", "o.0001.png"), 123);
    EXPECT_EQ(imagefiles::TemporaryFileOwner(".tmp-123-7-o.0001.png", "o.0002.png"), std::nullopt);
    EXPECT_EQ(imagefiles::TemporaryFileOwner(".tmp-123-o.0001.png", "o.0001.png"), std::nullopt);
    EXPECT_EQ(imagefiles::TemporaryFileOwner("tmp-123-7-o.0001.png", "o.0001.png"), std::nullopt);
    EXPECT_EQ(imagefiles::TemporaryFileOwner(".tmp-x-7-o.0001.png", "o.0001.png"), std::nullopt);
    EXPECT_EQ(imagefiles::TemporaryFileOwner(".tmp-123-7-o.0001.png.bak", "o.0001.png"), std::nullopt);
}

TEST(AtomicFile, ItsTemporaryFilesAreTheOnesItNames) {
    Scratch dir;
    std::vector<std::string> seen;
    imagefiles::WriteAtomically(dir / "target.txt", [&](const fs::path& temp) {
        seen.push_back(temp.filename().string());
        std::ofstream(temp) << "x";
    });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(imagefiles::TemporaryFileOwner(seen[0], "target.txt"), long(::getpid()));
}

// ---- Progress ----

/// A clock the test moves by hand.
struct FakeClock {
    double now = 100.0;
    shots::Progress::Clock Function() {
        return [this] { return now; };
    }
};

TEST(Progress, LinesGiveOneLinePerFrameWithRateAndTimeLeft) {
    FakeClock clock;
    std::ostringstream out;
    shots::Progress progress(shots::Progress::Style::Lines, out, 4, clock.Function());
    clock.now += 2.0;
    progress.Rendered(1);  // 1 frame in 2 s: 0.5 frames/s, 3 left: 6 s
    clock.now += 2.0;
    progress.Rendered(2);  // 2 in 4 s: 0.5 frames/s, 2 left: 4 s
    progress.Skipped(3);   // skipped frames take no time: 1 left, 2 s
    clock.now += 61.0;
    progress.Rendered(4);  // 3 in 65 s
    progress.Finish();
    EXPECT_EQ(out.str(),
              "frame 1 rendered  1/4 frames  0.5 frames/s  0:06 left\n"
              "frame 2 rendered  2/4 frames  0.5 frames/s  0:04 left\n"
              "frame 3 skipped (already complete)  3/4 frames  0.5 frames/s  0:02 left\n"
              "frame 4 rendered  4/4 frames  0.0 frames/s  1:05 taken\n");
    EXPECT_EQ(progress.rendered(), 3);
    EXPECT_EQ(progress.skipped(), 1);
}

TEST(Progress, TheBarIsRedrawnInPlaceAtMostTenTimesASecond) {
    FakeClock clock;
    std::ostringstream out;
    shots::Progress progress(shots::Progress::Style::Bar, out, 4, clock.Function());
    clock.now += 1.0;
    progress.Rendered(1);
    clock.now += 0.01;
    progress.Rendered(2);  // too soon after the last drawing
    clock.now += 0.5;
    progress.Rendered(3);
    progress.Rendered(4);  // the last frame is always drawn
    progress.Finish();
    const std::string text = out.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 3);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
    EXPECT_EQ(text.back(), '\n');
    // A 30-character bar: a quarter done fills 7 of it.
    EXPECT_NE(text.find("[" + std::string(7, '#') + std::string(23, '-') + "] 1/4 frames"), std::string::npos) << text;
    EXPECT_NE(text.find("[" + std::string(30, '#') + "] 4/4 frames"), std::string::npos) << text;
    EXPECT_EQ(text.find("2/4"), std::string::npos) << text;
}

TEST(Progress, QuietSaysNothing) {
    std::ostringstream out;
    shots::Progress progress(shots::Progress::Style::Quiet, out, 2);
    progress.Rendered(1);
    progress.Skipped(2);
    progress.Finish();
    EXPECT_EQ(out.str(), "");
}

TEST(Progress, DurationsReadAsClockTimes) {
    EXPECT_EQ(shots::Progress::DurationText(0), "0:00");
    EXPECT_EQ(shots::Progress::DurationText(7.4), "0:07");
    EXPECT_EQ(shots::Progress::DurationText(245), "4:05");
    EXPECT_EQ(shots::Progress::DurationText(3 * 3600 + 5 * 60 + 9), "3:05:09");
    EXPECT_EQ(shots::Progress::DurationText(-3), "0:00");
}

}  // namespace
}  // namespace quorvel::test
