// Geometry and interaction arithmetic of the on-screen controls, with the
// host's coordinate callbacks and ANSI suite played by tiny fakes: a view
// that offsets and zooms by whole pixels, and a basic suite that hands out
// an ANSI table backed by the C library.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "numeric/Saturate.h"
#include "overlay/OverlayDraw.h"
#include "overlay/OverlayEvent.h"
#include "overlay/OverlayGeometry.h"
#include "overlay/OverlayInteraction.h"
#include "shell/Params.h"

namespace quorvel {
namespace {

constexpr A_long kAfterEffects = 0x46585443;  // 'FXTC'; anything but 'PrMr'
constexpr A_long kPremiere = PF_APPL_ID_PREMIERE;
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

constexpr PF_Fixed Fx(std::int32_t pixels) { return PF_Fixed(pixels * 65536); }

const char* HostName(A_long appl_id) { return appl_id == kPremiere ? "Premiere" : "AfterEffects"; }

// ---- Fake host ------------------------------------------------------------

/// A window: layer -> composition adds `comp_offset`; source -> window
/// multiplies by `zoom` and adds `frame_offset`. Whole-pixel offsets keep
/// every mapping exact. Each callback leaves a letter in `log`.
struct FakeView {
    PF_FixedPoint comp_offset{0, 0};
    A_long zoom = 1;
    PF_FixedPoint frame_offset{0, 0};
    std::string log;
    A_long seen_time = -1;
    A_long seen_scale = -1;
};

FakeView& ViewOf(void* refcon) { return *static_cast<FakeView*>(refcon); }

PF_Err FakeLayerToComp(void* refcon, PF_ContextH, A_long time, A_long scale, PF_FixedPoint* pt) {
    FakeView& v = ViewOf(refcon);
    v.log += 'L';
    v.seen_time = time;
    v.seen_scale = scale;
    pt->x += v.comp_offset.x;
    pt->y += v.comp_offset.y;
    return PF_Err_NONE;
}

PF_Err FakeCompToLayer(void* refcon, PF_ContextH, A_long time, A_long scale, PF_FixedPoint* pt) {
    FakeView& v = ViewOf(refcon);
    v.log += 'C';
    v.seen_time = time;
    v.seen_scale = scale;
    pt->x -= v.comp_offset.x;
    pt->y -= v.comp_offset.y;
    return PF_Err_NONE;
}

PF_Err FakeSourceToFrame(void* refcon, PF_ContextH, PF_FixedPoint* pt) {
    FakeView& v = ViewOf(refcon);
    v.log += 'S';
    pt->x = pt->x * v.zoom + v.frame_offset.x;
    pt->y = pt->y * v.zoom + v.frame_offset.y;
    return PF_Err_NONE;
}

PF_Err FakeFrameToSource(void* refcon, PF_ContextH, PF_FixedPoint* pt) {
    FakeView& v = ViewOf(refcon);
    v.log += 'F';
    pt->x = (pt->x - v.frame_offset.x) / v.zoom;
    pt->y = (pt->y - v.frame_offset.y) / v.zoom;
    return PF_Err_NONE;
}

const PF_ANSICallbacksSuite1 kFakeAnsi = [] {
    PF_ANSICallbacksSuite1 ansi{};
    ansi.cos = [](double v) { return std::cos(v); };
    ansi.sin = [](double v) { return std::sin(v); };
    ansi.fabs = [](double v) { return std::fabs(v); };
    return ansi;
}();

SPErr AcquireAnsiOnly(const char* name, A_long version, const void** suite) {
    if (std::strcmp(name, kPFANSISuite) == 0 && version == kPFANSISuiteVersion1) {
        *suite = &kFakeAnsi;
        return kSPNoError;
    }
    return kSPSuiteNotFoundError;
}

SPErr AcquireNothing(const char*, A_long, const void**) { return kSPSuiteNotFoundError; }

SPErr ReleaseAny(const char*, A_long) { return kSPNoError; }

/// The eleven parameters, defaulting to a 300 x 200 ellipse at (100, 100),
/// angle 0, feather 0, opacity 100 %.
struct ParamSet {
    PF_ParamDef defs[kNumParams]{};
    PF_ParamDef* ptrs[kNumParams]{};

    ParamSet() {
        for (A_long i = 0; i < kNumParams; ++i) ptrs[i] = &defs[i];
        defs[kParamMaskType].u.pd.value = kMaskEllipse;
        SetOrigin(100, 100);
        defs[kParamWidth].u.fs_d.value = 300.0;
        defs[kParamHeight].u.fs_d.value = 200.0;
        defs[kParamOpacity].u.fd.value = Fx(100);
    }
    void SetOrigin(std::int32_t x, std::int32_t y) {
        defs[kParamOrigin].u.td.x_value = Fx(x);
        defs[kParamOrigin].u.td.y_value = Fx(y);
    }
    double& width() { return defs[kParamWidth].u.fs_d.value; }
    double& height() { return defs[kParamHeight].u.fs_d.value; }
    double& feather() { return defs[kParamFeather].u.fs_d.value; }
    PF_Fixed& angle() { return defs[kParamAngle].u.ad.value; }
    PF_Fixed& opacity() { return defs[kParamOpacity].u.fd.value; }
};

/// In-data, view, window context, event record and parameters of one event.
struct FakeHost {
    explicit FakeHost(A_long appl_id = kAfterEffects, PF_WindowType window = PF_Window_LAYER) {
        basic.AcquireSuite = AcquireAnsiOnly;
        basic.ReleaseSuite = ReleaseAny;
        in.appl_id = appl_id;
        in.height = 500;  // rotation handle 100 pixels from the origin
        in.pixel_aspect_ratio = {1, 1};
        in.current_time = 1234;
        in.time_scale = 25;
        in.pica_basicP = &basic;
        context.w_type = window;
        event.contextH = &context_ptr;
        event.cbs.refcon = &view;
        event.cbs.layer_to_comp = FakeLayerToComp;
        event.cbs.comp_to_layer = FakeCompToLayer;
        event.cbs.source_to_frame = FakeSourceToFrame;
        event.cbs.frame_to_source = FakeFrameToSource;
    }
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    /// Zoom 2 with offsets, so window, composition and layer pixels all differ.
    void Zoom() {
        view.comp_offset = {Fx(30), Fx(40)};
        view.zoom = 2;
        view.frame_offset = {Fx(5), Fx(7)};
    }
    OverlayParams values() const { return ReadOverlayParams(params.ptrs); }

    PF_Err Send(PF_EventType type, A_long h, A_long v) {
        event.e_type = type;
        event.u.do_click.screen_point = {h, v};
        return HandleOverlayEvent(&in, nullptr, params.ptrs, nullptr, &event);
    }
    /// A drag with `handle` held.
    PF_Err Drag(A_long handle, A_long h, A_long v, bool last = false) {
        event.u.do_click.continue_refcon[0] = handle;
        event.u.do_click.send_drag = 1;
        event.u.do_click.last_time = last ? 1 : 0;
        return Send(PF_Event_DRAG, h, v);
    }

    SPBasicSuite basic{};
    PF_InData in{};
    FakeView view;
    PF_Context context{};
    PF_Context* context_ptr = &context;
    PF_EventExtra event{};
    ParamSet params;
};

/// The parameter records byte for byte, to show that nothing was written.
struct ParamBytes {
    explicit ParamBytes(const ParamSet& set) { std::memcpy(bytes, set.defs, sizeof bytes); }
    bool operator==(const ParamBytes& other) const { return std::memcmp(bytes, other.bytes, sizeof bytes) == 0; }
    unsigned char bytes[sizeof(ParamSet::defs)];
};

class PerHost : public ::testing::TestWithParam<A_long> {};
INSTANTIATE_TEST_SUITE_P(Hosts, PerHost, ::testing::Values(kAfterEffects, kPremiere),
                         [](const auto& info) { return std::string(HostName(info.param)); });

// ---- Conversions ------------------------------------------------------------

struct RoundCase {
    double v;
    PF_Fixed expected;
};

class RoundToFixedTable : public ::testing::TestWithParam<RoundCase> {};

TEST_P(RoundToFixedTable, RoundsHalvesAwayFromZeroAndSaturates) {
    EXPECT_EQ(RoundToFixed(GetParam().v), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, RoundToFixedTable,
    ::testing::Values(RoundCase{1.0, 65536}, RoundCase{-1.0, -65536}, RoundCase{1.25, 81920}, RoundCase{-1.25, -81920},
                      // Exactly half a 16.16 step goes away from zero, on both sides.
                      RoundCase{0.5 / 65536, 1}, RoundCase{-0.5 / 65536, -1}, RoundCase{1.5 / 65536, 2},
                      RoundCase{-1.5 / 65536, -2}, RoundCase{0.49 / 65536, 0}, RoundCase{-0.49 / 65536, 0},
                      RoundCase{0.0, 0}, RoundCase{-0.0, 0},
                      // Largest representable values, then the first ones beyond.
                      RoundCase{2147483647.0 / 65536, kMax}, RoundCase{-2147483648.0 / 65536, kMin},
                      RoundCase{32768.0, kMax}, RoundCase{-32768.5, kMin}, RoundCase{1e300, kMax},
                      RoundCase{-1e300, kMin}, RoundCase{kInf, kMax}, RoundCase{-kInf, kMin}, RoundCase{kNaN, 0}));

struct SaturateCase {
    double v;
    std::int32_t expected;
};

class SaturateTable : public ::testing::TestWithParam<SaturateCase> {};

TEST_P(SaturateTable, TruncatesTowardZeroWithinRangeAndClampsBeyond) {
    EXPECT_EQ(SaturateToInt32(GetParam().v), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, SaturateTable,
                         ::testing::Values(SaturateCase{1.9, 1}, SaturateCase{-1.9, -1}, SaturateCase{-0.9, 0},
                                           SaturateCase{2147483647.9, kMax}, SaturateCase{2147483648.0, kMax},
                                           SaturateCase{-2147483648.9, kMin}, SaturateCase{-2147483649.0, kMin},
                                           SaturateCase{1e20, kMax}, SaturateCase{-1e20, kMin},
                                           SaturateCase{kInf, kMax}, SaturateCase{-kInf, kMin}, SaturateCase{kNaN, 0}));

TEST(ClampToInt32, ClampsSixtyFourBitSums) {
    EXPECT_EQ(ClampToInt32(std::int64_t{kMax} + 1), kMax);
    EXPECT_EQ(ClampToInt32(std::int64_t{kMin} - 1), kMin);
    EXPECT_EQ(ClampToInt32(-5), -5);
}

TEST(NarrowToFloat, OverflowsToInfinityExactlyWhereRoundToNearestWould) {
    constexpr double kFltMax = std::numeric_limits<float>::max();
    // 2^128 - 2^103 is FLT_MAX plus half its last place: the tie rounds to even, i.e. to infinity.
    const double tie = std::ldexp(1.0, 128) - std::ldexp(1.0, 103);
    const double below_tie = tie - std::ldexp(1.0, 75);
    EXPECT_EQ(NarrowToFloat(kFltMax), std::numeric_limits<float>::max());
    EXPECT_EQ(NarrowToFloat(below_tie), std::numeric_limits<float>::max());
    EXPECT_EQ(NarrowToFloat(tie), std::numeric_limits<float>::infinity());
    EXPECT_EQ(NarrowToFloat(-tie), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(NarrowToFloat(1e300), std::numeric_limits<float>::infinity());
    EXPECT_EQ(NarrowToFloat(1.5), 1.5f);
    EXPECT_TRUE(std::isnan(NarrowToFloat(kNaN)));
}

// ---- Mask and feather boxes -----------------------------------------------

struct BoxCase {
    const char* name;
    double width, height, feather;
    A_long par_num;
    PF_FixedRect mask, feather_box;
};

class BoxTable : public ::testing::TestWithParam<BoxCase> {};

TEST_P(BoxTable, MaskAndFeatherBoxesInLayerSpace) {
    const BoxCase& c = GetParam();
    FakeHost host;
    host.params.SetOrigin(100, 100);
    host.params.width() = c.width;
    host.params.height() = c.height;
    host.params.feather() = c.feather;
    host.in.pixel_aspect_ratio = {c.par_num, 1};
    const OverlayBoxes boxes = ComputeOverlayBoxes(&host.in, host.values());
    const auto expect_rect = [](const PF_FixedRect& got, const PF_FixedRect& want) {
        EXPECT_EQ(got.left, want.left);
        EXPECT_EQ(got.top, want.top);
        EXPECT_EQ(got.right, want.right);
        EXPECT_EQ(got.bottom, want.bottom);
    };
    expect_rect(boxes.mask, c.mask);
    expect_rect(boxes.feather, c.feather_box);
}

// Origin (100, 100) throughout; extents worked out by hand.
INSTANTIATE_TEST_SUITE_P(
    Cases, BoxTable,
    ::testing::Values(
        // Feather 0: the feather box is the mask box.
        BoxCase{"NoFeather", 300, 200, 0, 1, {Fx(-50), Fx(0), Fx(250), Fx(200)}, {Fx(-50), Fx(0), Fx(250), Fx(200)}},
        // Vertical inset Feather x Height / Width = 20 x 150 / 300 = 10.
        BoxCase{"Feather", 300, 150, 20, 1, {Fx(-50), Fx(25), Fx(250), Fx(175)}, {Fx(-30), Fx(35), Fx(230), Fx(165)}},
        // Non-square pixels: horizontal sizes halved in layer pixels, vertical ones unchanged.
        BoxCase{
            "PixelAspect2", 300, 150, 20, 2, {Fx(25), Fx(25), Fx(175), Fx(175)}, {Fx(35), Fx(35), Fx(165), Fx(165)}},
        // A feather wider than half the box turns the feather box inside out.
        BoxCase{"FeatherBeyondHalf",
                300,
                150,
                200,
                1,
                {Fx(-50), Fx(25), Fx(250), Fx(175)},
                {Fx(150), Fx(125), Fx(50), Fx(75)}},
        // Zero Height or Width: no vertical inset.
        BoxCase{
            "ZeroHeight", 300, 0, 20, 1, {Fx(-50), Fx(100), Fx(250), Fx(100)}, {Fx(-30), Fx(100), Fx(230), Fx(100)}},
        BoxCase{"ZeroWidth", 0, 200, 20, 1, {Fx(100), Fx(0), Fx(100), Fx(200)}, {Fx(120), Fx(0), Fx(80), Fx(200)}},
        BoxCase{"ZeroBoth", 0, 0, 20, 1, {Fx(100), Fx(100), Fx(100), Fx(100)}, {Fx(120), Fx(100), Fx(80), Fx(100)}},
        // A huge Width saturates its half to INT32_MAX, 2^31 as a float: the
        // left edge lands at 6553600 - 2^31, the right edge sticks at the top.
        BoxCase{"HugeWidth", 1e12, 200, 0, 1, {-2140930048, Fx(0), kMax, Fx(200)}, {-2140930048, Fx(0), kMax, Fx(200)}},
        BoxCase{"InfiniteWidth",
                kInf,
                200,
                10,
                1,
                {-2140930048, Fx(0), kMax, Fx(200)},
                {-2140930048 + Fx(10), Fx(0), kMax - Fx(10), Fx(200)}},
        BoxCase{"HugeHeight",
                300,
                1e12,
                0,
                1,
                {Fx(-50), Fx(100) - kMax, Fx(250), kMax},
                {Fx(-50), Fx(100) - kMax, Fx(250), kMax}},
        // A NaN size has no half: the box collapses onto the origin on that axis.
        BoxCase{"NaNWidth", kNaN, 200, 10, 1, {Fx(100), Fx(0), Fx(100), Fx(200)}, {Fx(110), Fx(0), Fx(90), Fx(200)}},
        BoxCase{
            "NaNHeight", 300, kNaN, 10, 1, {Fx(-50), Fx(100), Fx(250), Fx(100)}, {Fx(-40), Fx(100), Fx(240), Fx(100)}},
        BoxCase{
            "NaNFeather", 300, 200, kNaN, 1, {Fx(-50), Fx(0), Fx(250), Fx(200)}, {Fx(-50), Fx(0), Fx(250), Fx(200)}},
        // A huge feather saturates both insets; the edges then saturate or stay in range.
        BoxCase{"HugeFeather",
                300,
                150,
                1e12,
                1,
                {Fx(-50), Fx(25), Fx(250), Fx(175)},
                {Fx(-50) + kMax, kMax, Fx(250) - kMax, Fx(175) - kMax}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Mapping to and from the window -------------------------------------------

struct WindowCase {
    PF_WindowType window;
    PF_FixedPoint origin_in_window;  // layer (200, 200) through the zoomed view
    const char* to_window_log;
    const char* quad_log;
    const char* to_layer_log;
};

class WindowMapping : public ::testing::TestWithParam<WindowCase> {};

TEST_P(WindowMapping, MapsThroughTheWindowsOwnCallbacksOnly) {
    const WindowCase& c = GetParam();
    FakeHost host(kAfterEffects, c.window);
    host.Zoom();

    PF_FixedPoint p{Fx(200), Fx(200)};
    LayerToWindow(&host.in, &host.event, p);
    EXPECT_EQ(p.x, c.origin_in_window.x);
    EXPECT_EQ(p.y, c.origin_in_window.y);
    EXPECT_EQ(host.view.log, c.to_window_log);

    // Every layer-to-composition step comes before the first source-to-window one.
    host.view.log.clear();
    const OverlayQuad quad = RectToWindowQuad(&host.in, &host.event, {Fx(190), Fx(180), Fx(210), Fx(220)});
    EXPECT_EQ(host.view.log, c.quad_log);
    // Corners stay in their slots: left/right from x, top/bottom from y.
    EXPECT_EQ(quad.corner[kTopLeft].x, quad.corner[kBottomLeft].x);
    EXPECT_EQ(quad.corner[kTopRight].x, quad.corner[kBottomRight].x);
    EXPECT_EQ(quad.corner[kTopLeft].y, quad.corner[kTopRight].y);
    EXPECT_EQ(quad.corner[kBottomLeft].y, quad.corner[kBottomRight].y);
    EXPECT_EQ(quad.corner[kTopRight].x - quad.corner[kTopLeft].x, Fx(40));  // 20 layer pixels, zoom 2
    EXPECT_EQ(quad.corner[kBottomLeft].y - quad.corner[kTopLeft].y, Fx(80));

    host.view.log.clear();
    const PF_FixedPoint back =
        WindowToLayer(&host.in, &host.event, c.origin_in_window.x >> 16, c.origin_in_window.y >> 16);
    EXPECT_EQ(back.x, Fx(200));
    EXPECT_EQ(back.y, Fx(200));
    EXPECT_EQ(host.view.log, c.to_layer_log);

    if (c.window == PF_Window_COMP) {
        EXPECT_EQ(host.view.seen_time, 1234);
        EXPECT_EQ(host.view.seen_scale, 25);
    } else {
        EXPECT_EQ(host.view.seen_time, -1) << "a layer window needs no time";
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, WindowMapping,
                         ::testing::Values(
                             // (200 + 30) x 2 + 5, (200 + 40) x 2 + 7
                             WindowCase{PF_Window_COMP, {Fx(465), Fx(487)}, "LS", "LLLLSSSS", "FC"},
                             // 200 x 2 + 5, 200 x 2 + 7
                             WindowCase{PF_Window_LAYER, {Fx(405), Fx(407)}, "S", "SSSS", "F"}),
                         [](const auto& info) {
                             return std::string(info.param.window == PF_Window_COMP ? "Composition" : "Layer");
                         });

TEST(WindowMapping, MouseFarOutsideTheInt16RangeSaturatesInsteadOfWrapping) {
    FakeHost host;
    const PF_FixedPoint p = WindowToLayer(&host.in, &host.event, 40000, -40000);
    EXPECT_EQ(p.x, kMax);
    EXPECT_EQ(p.y, kMin);
}

TEST(WindowMapping, MissingCallbackIsABadCallbackParamNotACrash) {
    FakeHost host(kAfterEffects, PF_Window_COMP);
    host.event.cbs.layer_to_comp = nullptr;
    PF_FixedPoint p{0, 0};
    try {
        LayerToWindow(&host.in, &host.event, p);
        FAIL() << "no error raised";
    } catch (PF_Err err) {
        EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
    }
}

// ---- Rotation and layout ------------------------------------------------------

struct Corners {
    PF_FixedPoint tl, tr, bl, br;
};

struct LayoutCase {
    const char* name;
    A_long degrees;
    A_long par_num;
    Corners mask;  // window pixels, identity view, origin (200, 200), 300 x 200
    PF_FixedPoint rotation_layer;
};

class LayoutTable : public ::testing::TestWithParam<std::tuple<A_long, LayoutCase>> {};

TEST_P(LayoutTable, CornersAndRotationHandleTurnAboutTheOrigin) {
    const auto& [appl_id, c] = GetParam();
    FakeHost host(appl_id);
    host.params.SetOrigin(200, 200);
    host.params.angle() = Fx(c.degrees);
    host.in.pixel_aspect_ratio = {c.par_num, 1};

    const OverlayLayout layout = ComputeOverlayLayout(&host.in, &host.event, host.values());
    // Rotation by the float angle, truncated toward zero: a few 16.16 units of slack.
    constexpr double kSlack = 4;
    const auto expect_near = [&](PF_FixedPoint got, PF_FixedPoint want, const char* what) {
        EXPECT_NEAR(got.x, want.x, kSlack) << what;
        EXPECT_NEAR(got.y, want.y, kSlack) << what;
    };
    expect_near(layout.origin, {Fx(200), Fx(200)}, "origin");
    expect_near(layout.mask.corner[kTopLeft], c.mask.tl, "top-left");
    expect_near(layout.mask.corner[kTopRight], c.mask.tr, "top-right");
    expect_near(layout.mask.corner[kBottomLeft], c.mask.bl, "bottom-left");
    expect_near(layout.mask.corner[kBottomRight], c.mask.br, "bottom-right");
    // Feather 0: the feather quad is the mask quad.
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(layout.feather.corner[i].x, layout.mask.corner[i].x);
        EXPECT_EQ(layout.feather.corner[i].y, layout.mask.corner[i].y);
    }

    const PF_FixedPoint rotation = ComputeRotationHandlePoint(&host.in, host.values());
    expect_near(rotation, c.rotation_layer, "rotation handle");
}

INSTANTIATE_TEST_SUITE_P(
    Angles, LayoutTable,
    ::testing::Combine(::testing::Values(kAfterEffects, kPremiere),
                       ::testing::Values(
                           // Angle 0: axis-aligned; rotation handle height / 5 = 100 pixels straight up.
                           LayoutCase{"Angle0",
                                      0,
                                      1,
                                      {{Fx(50), Fx(100)}, {Fx(350), Fx(100)}, {Fx(50), Fx(300)}, {Fx(350), Fx(300)}},
                                      {Fx(200), Fx(100)}},
                           // Angle 90: p -> (c.x - (p.y - c.y), c.y + (p.x - c.x)); the top-left corner
                           // goes to the upper right, the rotation handle to the right of the origin.
                           LayoutCase{"Angle90",
                                      90,
                                      1,
                                      {{Fx(300), Fx(50)}, {Fx(300), Fx(350)}, {Fx(100), Fx(50)}, {Fx(100), Fx(350)}},
                                      {Fx(300), Fx(200)}},
                           LayoutCase{"Angle180",
                                      180,
                                      1,
                                      {{Fx(350), Fx(300)}, {Fx(50), Fx(300)}, {Fx(350), Fx(100)}, {Fx(50), Fx(100)}},
                                      {Fx(200), Fx(300)}},
                           // Pixel aspect 2: the box is half as wide in layer pixels, and so is
                           // the rotation handle's sideways offset; vertical sizes unchanged.
                           LayoutCase{"PixelAspect2Angle0",
                                      0,
                                      2,
                                      {{Fx(125), Fx(100)}, {Fx(275), Fx(100)}, {Fx(125), Fx(300)}, {Fx(275), Fx(300)}},
                                      {Fx(200), Fx(100)}},
                           LayoutCase{"PixelAspect2Angle90",
                                      90,
                                      2,
                                      {{Fx(300), Fx(125)}, {Fx(300), Fx(275)}, {Fx(100), Fx(125)}, {Fx(100), Fx(275)}},
                                      {Fx(250), Fx(200)}})),
    [](const auto& info) {
        return std::string(HostName(std::get<0>(info.param))) + "_" + std::get<1>(info.param).name;
    });

TEST_P(PerHost, RotationSaturatesInsteadOfOverflowing) {
    FakeHost host(GetParam());
    OverlayQuad quad;
    quad.corner.fill({kMax, kMax});
    // Half a turn about the far corner of the range throws every point beyond it.
    RotateQuad(&host.in, quad, {kMin, kMin}, 3.14159265f);
    for (const PF_FixedPoint& p : quad.corner) {
        EXPECT_EQ(p.x, kMin);
        EXPECT_EQ(p.y, kMin);
    }
}

TEST(RotateQuad, AfterEffectsWithoutTheAnsiSuiteRaisesBadCallbackParam) {
    FakeHost host(kAfterEffects);
    host.basic.AcquireSuite = AcquireNothing;
    OverlayQuad quad;
    try {
        RotateQuad(&host.in, quad, {0, 0}, 0.5f);
        FAIL() << "no error raised";
    } catch (PF_Err err) {
        EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
    }
}

TEST(RotateQuad, PremiereAsksTheHostForNoSuite) {
    FakeHost host(kPremiere);
    host.basic.AcquireSuite = AcquireNothing;
    OverlayQuad quad;
    quad.corner.fill({Fx(10), 0});
    EXPECT_NO_THROW(RotateQuad(&host.in, quad, {0, 0}, 0.5f));
}

// ---- Hit-test places ------------------------------------------------------------

TEST_P(PerHost, HitTestPlacesAtAngleZero) {
    FakeHost host(GetParam());
    host.params.SetOrigin(200, 200);
    host.params.height() = 150;
    host.params.feather() = 20;  // insets 20 sideways, 20 x 150 / 300 = 10 vertically
    host.params.opacity() = Fx(30);
    const OverlayParams values = host.values();
    const auto places = HitTestHandlePlaces(ComputeOverlayLayout(&host.in, &host.event, values),
                                            RotationHandleWindowPoint(&host.in, &host.event, values), values.opacity);
    const PF_Point expected[kHandleCount] = {
        {50, 125},  {350, 125}, {50, 275},  {350, 275},  // corners
        {200, 100},                                      // rotation: 100 above
        {70, 200},  {330, 200}, {200, 135}, {200, 265},  // feather left, right, top, bottom
        {160, 220},                                      // opacity: 40 left, 50 - 30 = 20 below
    };
    for (std::size_t i = 0; i < kHandleCount; ++i) {
        EXPECT_EQ(places[i].h, expected[i].h) << "handle " << i + 1;
        EXPECT_EQ(places[i].v, expected[i].v) << "handle " << i + 1;
    }
}

TEST(HitTestPlaces, CornersFloorAndEdgeMiddlesHalveTowardZeroFirst) {
    OverlayLayout layout;
    // Just left of and above pixel 0: floors to -2 and -1.
    layout.mask.corner[kTopLeft] = {-65537, -1};
    // Feather left edge from y = -1 to y = 0 (16.16 units): the sum -1 halves to 0, not -1.
    layout.feather.corner[kTopLeft] = {-1, -1};
    layout.feather.corner[kBottomLeft] = {-1, 0};
    const auto places = HitTestHandlePlaces(layout, {0, 0}, 0);
    EXPECT_EQ(places[HandleTopLeft - 1].h, -2);
    EXPECT_EQ(places[HandleTopLeft - 1].v, -1);
    EXPECT_EQ(places[HandleFeatherLeft - 1].h, -1);
    EXPECT_EQ(places[HandleFeatherLeft - 1].v, 0);
}

TEST(HitTestPlaces, ExtremeOpacityAndFarCornersStayInRange) {
    OverlayLayout layout;
    layout.origin = {Fx(100), Fx(100)};
    layout.feather.corner.fill({kMax, kMax});
    // Opacity INT32_MIN: 100 + 50 + 32768 pixels below the top, beyond the int32 range in 16.16.
    const auto places = HitTestHandlePlaces(layout, {0, 0}, kMin);
    EXPECT_EQ(places[HandleOpacity - 1].h, 60);
    EXPECT_EQ(places[HandleOpacity - 1].v, 32918);
    EXPECT_EQ(places[HandleFeatherTop - 1].h, 32767);
}

TEST_P(PerHost, HugeAndNaNSizesGiveSaturatedHandlePlaces) {
    FakeHost host(GetParam());
    host.params.width() = 1e30;
    host.params.height() = kNaN;
    host.params.feather() = kInf;
    const OverlayParams values = host.values();
    const auto places = HitTestHandlePlaces(ComputeOverlayLayout(&host.in, &host.event, values),
                                            RotationHandleWindowPoint(&host.in, &host.event, values), values.opacity);
    // Left edge at 6553600 - 2^31 = -32668 pixels, right edge saturated; a NaN
    // Height collapses the box onto the origin's row.
    EXPECT_EQ(places[HandleTopLeft - 1].h, -32668);
    EXPECT_EQ(places[HandleTopRight - 1].h, 32767);
    EXPECT_EQ(places[HandleTopLeft - 1].v, 100);
    EXPECT_EQ(places[HandleBottomRight - 1].v, 100);
}

// ---- Hit test -------------------------------------------------------------------

struct ToleranceCase {
    A_long dh, dv;
    bool hit;
};

class HitTolerance : public ::testing::TestWithParam<std::tuple<A_long, ToleranceCase>> {};

TEST_P(HitTolerance, ManhattanDistanceBelowSixteenHits) {
    const auto& [appl_id, c] = GetParam();
    FakeHost host(appl_id);
    host.params.SetOrigin(200, 200);  // top-left corner at (50, 100), nothing else within 30 pixels
    host.event.evt_out_flags = 0x40;
    host.event.u.do_click.continue_refcon[0] = 77;

    EXPECT_EQ(host.Send(PF_Event_DO_CLICK, 50 + c.dh, 100 + c.dv), PF_Err_NONE);
    if (c.hit) {
        EXPECT_EQ(host.event.u.do_click.continue_refcon[0], HandleTopLeft);
        EXPECT_EQ(host.event.u.do_click.send_drag, 1);
        EXPECT_EQ(host.event.evt_out_flags, PF_EO_HANDLED_EVENT);
    } else {
        // A miss leaves the record as the host gave it.
        EXPECT_EQ(host.event.u.do_click.continue_refcon[0], 77);
        EXPECT_EQ(host.event.u.do_click.send_drag, 0);
        EXPECT_EQ(host.event.evt_out_flags, 0x40);
    }
    EXPECT_EQ(host.event.e_type, PF_Event_DO_CLICK);
}

INSTANTIATE_TEST_SUITE_P(Distances, HitTolerance,
                         ::testing::Combine(::testing::Values(kAfterEffects, kPremiere),
                                            ::testing::Values(ToleranceCase{0, 0, true}, ToleranceCase{15, 0, true},
                                                              ToleranceCase{16, 0, false}, ToleranceCase{0, -15, true},
                                                              ToleranceCase{0, -16, false}, ToleranceCase{-8, 7, true},
                                                              ToleranceCase{-8, -8, false},
                                                              ToleranceCase{-100, 0, false})));

struct PriorityCase {
    const char* name;
    double width, height;
    A_long layer_height;
    A_long opacity_percent;
    A_long h, v;
    A_long expected;  // 0: no hit
};

class HitPriority : public ::testing::TestWithParam<std::tuple<A_long, PriorityCase>> {};

TEST_P(HitPriority, FirstHandleInNumberOrderWinsNotTheNearest) {
    const auto& [appl_id, c] = GetParam();
    FakeHost host(appl_id);
    host.params.SetOrigin(200, 200);
    host.params.width() = c.width;
    host.params.height() = c.height;
    host.params.opacity() = Fx(c.opacity_percent);
    host.in.height = c.layer_height;
    host.event.e_type = PF_Event_DO_CLICK;
    host.event.u.do_click.screen_point = {c.h, c.v};
    EXPECT_EQ(HitTestHandles(&host.in, host.params.ptrs, &host.event), c.expected != 0);
    EXPECT_EQ(host.event.u.do_click.continue_refcon[0], c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HitPriority,
    ::testing::Combine(::testing::Values(kAfterEffects, kPremiere),
                       ::testing::Values(
                           // 10 x 10 box: the feather handles (5 away) are nearer than the top-left corner (10 away).
                           PriorityCase{"CornerBeforeNearerFeather", 10, 10, 500, 100, 200, 200, HandleTopLeft},
                           // Top-right 1 away, top-left 11 away: the lower number wins.
                           PriorityCase{"LowerCornerBeforeNearerCorner", 10, 10, 500, 100, 206, 195, HandleTopLeft},
                           // Rotation handle (height 50 / 5 = 10 above) on the feather top handle.
                           PriorityCase{"RotationBeforeFeather", 300, 20, 50, 100, 200, 191, HandleRotation},
                           // Width 80: the feather left handle sits on the 50 % opacity marker.
                           PriorityCase{"FeatherBeforeOpacity", 80, 200, 500, 50, 161, 200, HandleFeatherLeft},
                           PriorityCase{"OpacityAlone", 300, 200, 500, 100, 160, 150, HandleOpacity},
                           PriorityCase{"Nothing", 300, 200, 500, 100, 600, 600, 0})),
    [](const auto& info) {
        return std::string(HostName(std::get<0>(info.param))) + "_" + std::get<1>(info.param).name;
    });

TEST(HitTest, ToleranceIsInWindowPixelsNotLayerPixels) {
    FakeHost host(kAfterEffects, PF_Window_COMP);
    host.Zoom();
    host.params.SetOrigin(200, 200);
    // Top-left corner (50, 100) -> composition (80, 140) -> window (165, 287).
    host.Send(PF_Event_DO_CLICK, 165 + 16, 287);
    EXPECT_EQ(host.event.u.do_click.continue_refcon[0], 0) << "8 layer pixels, but 16 window pixels";
    host.Send(PF_Event_DO_CLICK, 165 + 15, 287);
    EXPECT_EQ(host.event.u.do_click.continue_refcon[0], HandleTopLeft);
}

TEST(HitTest, AfterEffectsWithoutTheAnsiSuiteRaisesBadCallbackParam) {
    FakeHost host(kAfterEffects);
    host.basic.AcquireSuite = AcquireNothing;
    EXPECT_THROW(host.Send(PF_Event_DO_CLICK, 50, 100), PF_Err);
    EXPECT_EQ(host.event.evt_out_flags, 0);
}

TEST(HitTest, PremiereNeedsNoSuiteFromTheHost) {
    FakeHost host(kPremiere);
    host.basic.AcquireSuite = AcquireNothing;
    host.Send(PF_Event_DO_CLICK, -50, 0);  // top-left corner of the default box
    EXPECT_EQ(host.event.u.do_click.continue_refcon[0], HandleTopLeft);
}

// ---- Drags ----------------------------------------------------------------------

struct RotationCase {
    const char* name;
    A_long dh, dv;  // mouse relative to the origin, window = layer pixels
    double degrees;
};

class RotationDrag : public ::testing::TestWithParam<RotationCase> {};

TEST_P(RotationDrag, AngleIsTheMouseDirectionClockwiseFromUp) {
    const RotationCase& c = GetParam();
    FakeHost host;
    host.params.angle() = Fx(7);
    host.Drag(HandleRotation, 100 + c.dh, 100 + c.dv);
    EXPECT_NEAR(host.params.angle(), c.degrees * 65536.0, 1.0);
    EXPECT_EQ(host.params.defs[kParamAngle].uu.change_flags, PF_ChangeFlag_CHANGED_VALUE);
    EXPECT_EQ(host.params.defs[kParamWidth].uu.change_flags, 0);
    EXPECT_EQ(host.event.evt_out_flags, PF_EO_HANDLED_EVENT);
}

INSTANTIATE_TEST_SUITE_P(Directions, RotationDrag,
                         ::testing::Values(RotationCase{"Up", 0, -50, 0}, RotationCase{"Right", 50, 0, 90},
                                           RotationCase{"Down", 0, 50, 180}, RotationCase{"Left", -50, 0, 270},
                                           RotationCase{"OnOrigin", 0, 0, 270}, RotationCase{"UpRight", 50, -50, 45},
                                           RotationCase{"DownRight", 50, 50, 135},
                                           RotationCase{"DownLeft", -50, 50, 225},
                                           RotationCase{"UpLeft", -50, -50, 315}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RotationDrag, RightIsExactlyNinetyDegreesAsFixed) {
    FakeHost host;
    host.Drag(HandleRotation, 150, 100);
    EXPECT_EQ(host.params.angle(), 5898240);
}

struct CornerCase {
    const char* name;
    A_long handle;
    A_long degrees;
    A_long par_num;
    std::int32_t origin_x, origin_y;
    A_long dh, dv;  // mouse relative to the origin in layer pixels
    double width, height;
};

class CornerDrag : public ::testing::TestWithParam<std::tuple<PF_WindowType, CornerCase>> {};

TEST_P(CornerDrag, SizeIsTwiceTheCornersExtentAboutTheOrigin) {
    const auto& [window, c] = GetParam();
    FakeHost host(kAfterEffects, window);
    host.Zoom();
    host.params.SetOrigin(c.origin_x, c.origin_y);
    host.params.angle() = Fx(c.degrees);
    host.in.pixel_aspect_ratio = {c.par_num, 1};
    // The mouse goes where the wanted layer point shows in this window.
    PF_FixedPoint mouse{Fx(c.origin_x + c.dh), Fx(c.origin_y + c.dv)};
    LayerToWindow(&host.in, &host.event, mouse);
    host.Drag(c.handle, mouse.x >> 16, mouse.y >> 16);

    EXPECT_NEAR(host.params.width(), c.width, 1e-3);
    EXPECT_NEAR(host.params.height(), c.height, 1e-3);
    EXPECT_EQ(host.params.defs[kParamWidth].uu.change_flags, PF_ChangeFlag_CHANGED_VALUE);
    EXPECT_EQ(host.params.defs[kParamHeight].uu.change_flags, PF_ChangeFlag_CHANGED_VALUE);
    EXPECT_EQ(host.params.defs[kParamFeather].uu.change_flags, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CornerDrag,
    ::testing::Combine(
        ::testing::Values(PF_Window_COMP, PF_Window_LAYER),
        ::testing::Values(
            CornerCase{"BottomRight", HandleBottomRight, 0, 1, 100, 100, 100, 50, 200, 100},
            CornerCase{"TopLeftMirrored", HandleTopLeft, 0, 1, 100, 100, -100, -50, 200, 100},
            CornerCase{"TopRight", HandleTopRight, 0, 1, 100, 100, 100, -50, 200, 100},
            CornerCase{"BottomLeft", HandleBottomLeft, 0, 1, 100, 100, -100, 50, 200, 100},
            // Pixel aspect 2: 100 layer pixels on the corner's own side is Width 400, wherever the origin is.
            CornerCase{"TopLeftPar2", HandleTopLeft, 0, 2, 100, 100, -100, -50, 400, 100},
            CornerCase{"BottomRightPar2", HandleBottomRight, 0, 2, 100, 100, 100, 50, 400, 100},
            CornerCase{"BottomRightPar2ElsewhereOrigin", HandleBottomRight, 0, 2, 700, 30, 100, 50, 400, 100},
            // Turned by 90, the bottom-right corner of a 200 x 100 box lies at (-50, +100) from the origin.
            CornerCase{"BottomRightAngle90", HandleBottomRight, 90, 1, 100, 100, -50, 100, 200, 100},
            CornerCase{"TopLeftAngle90", HandleTopLeft, 90, 1, 100, 100, 50, -100, 200, 100},
            // Across the origin: negative, not clamped.
            CornerCase{"AcrossOrigin", HandleBottomRight, 0, 1, 100, 100, -20, 50, -40, 100})),
    [](const auto& info) {
        return std::string(std::get<0>(info.param) == PF_Window_COMP ? "Composition_" : "Layer_") +
               std::get<1>(info.param).name;
    });

struct FeatherCase {
    const char* name;
    A_long handle;
    double width, height;
    A_long par_num;
    A_long h, v;  // window = layer pixels; origin (100, 100)
    double feather;
};

class FeatherDrag : public ::testing::TestWithParam<FeatherCase> {};

TEST_P(FeatherDrag, FeatherIsTheDistanceInsideTheEdge) {
    const FeatherCase& c = GetParam();
    FakeHost host;
    host.params.width() = c.width;
    host.params.height() = c.height;
    host.params.feather() = 7;
    host.in.pixel_aspect_ratio = {c.par_num, 1};
    host.Drag(c.handle, c.h, c.v);
    EXPECT_TRUE(std::isfinite(host.params.feather()));
    EXPECT_NEAR(host.params.feather(), c.feather, 1e-4);
    EXPECT_EQ(host.params.defs[kParamFeather].uu.change_flags, PF_ChangeFlag_CHANGED_VALUE);
}

INSTANTIATE_TEST_SUITE_P(Cases, FeatherDrag,
                         ::testing::Values(
                             // Left edge at x = -50: 100 left of the origin is 50 inside.
                             FeatherCase{"Left", HandleFeatherLeft, 300, 200, 1, 0, 100, 50},
                             FeatherCase{"LeftOutsideClampsToZero", HandleFeatherLeft, 300, 200, 1, -60, 100, 0},
                             // Pixel aspect 2: 50 layer pixels left is 100 square pixels; 150 - 100 = 50.
                             FeatherCase{"LeftPar2", HandleFeatherLeft, 300, 200, 2, 50, 100, 50},
                             FeatherCase{"Right", HandleFeatherRight, 300, 200, 1, 230, 100, 20},
                             // Right handle is not clamped.
                             FeatherCase{"RightOutsideIsNegative", HandleFeatherRight, 300, 200, 1, 260, 100, -10},
                             // Top edge at y = 0: 30 inside, times Width / Height = 1.5.
                             FeatherCase{"Top", HandleFeatherTop, 300, 200, 1, 100, 30, 45},
                             FeatherCase{"Bottom", HandleFeatherBottom, 300, 200, 1, 100, 180, 30},
                             // Zero Height (ratio infinite) and zero Width too (ratio NaN): a finite 0.
                             FeatherCase{"TopZeroHeight", HandleFeatherTop, 300, 0, 1, 100, 30, 0},
                             FeatherCase{"BottomZeroHeight", HandleFeatherBottom, 300, 0, 1, 100, 180, 0},
                             FeatherCase{"TopZeroWidthAndHeight", HandleFeatherTop, 0, 0, 1, 100, 30, 0},
                             FeatherCase{"BottomTinyHeight", HandleFeatherBottom, 300, 1e-300, 1, 100, 180, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

struct OpacityCase {
    const char* name;
    A_long above;  // window pixels above the window-space origin
    A_long aside;
    double percent;
};

class OpacityDrag : public ::testing::TestWithParam<std::tuple<PF_WindowType, OpacityCase>> {};

TEST_P(OpacityDrag, OneWindowPixelIsOnePercentFromFiftyAtTheOrigin) {
    const auto& [window, c] = GetParam();
    FakeHost host(kAfterEffects, window);
    host.Zoom();
    PF_FixedPoint origin = host.values().origin;
    LayerToWindow(&host.in, &host.event, origin);
    host.Drag(HandleOpacity, (origin.x >> 16) + c.aside, (origin.y >> 16) - c.above);
    EXPECT_EQ(host.params.opacity(), PF_Fixed(c.percent * 65536));
    EXPECT_EQ(host.params.defs[kParamOpacity].uu.change_flags, PF_ChangeFlag_CHANGED_VALUE);
}

INSTANTIATE_TEST_SUITE_P(Cases, OpacityDrag,
                         ::testing::Combine(::testing::Values(PF_Window_COMP, PF_Window_LAYER),
                                            ::testing::Values(OpacityCase{"FiftyAbove", 50, 0, 100.0},
                                                              OpacityCase{"Level", 0, 95, 50.0},
                                                              OpacityCase{"SixtyAbove", 60, -40, 110.0},
                                                              OpacityCase{"SeventyBelow", -70, 0, -20.0})),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) == PF_Window_COMP ? "Composition_" : "Layer_") +
                                    std::get<1>(info.param).name;
                         });

// ---- Drag state and routing ---------------------------------------------------

class NoHandleHeld : public ::testing::TestWithParam<A_intptr_t> {};

TEST_P(NoHandleHeld, DragChangesNothingAndIsNotHandled) {
    FakeHost host;
    const ParamBytes before(host.params);
    host.event.evt_out_flags = 0x40;
    host.event.u.do_click.continue_refcon[0] = GetParam();
    host.event.u.do_click.send_drag = 0;
    host.event.u.do_click.last_time = 1;
    host.Send(PF_Event_DRAG, 150, 150);
    EXPECT_TRUE(ParamBytes(host.params) == before);
    EXPECT_EQ(host.event.evt_out_flags, 0x40);
    EXPECT_EQ(host.event.u.do_click.continue_refcon[0], GetParam());
    EXPECT_EQ(host.event.u.do_click.send_drag, 0);
}

INSTANTIATE_TEST_SUITE_P(Refcons, NoHandleHeld, ::testing::Values(A_intptr_t{0}, A_intptr_t{11}, A_intptr_t{-1}));

TEST(DragState, DragKeepsTheHandleAndAsksForMore) {
    FakeHost host;
    host.Drag(HandleBottomRight, 200, 150);
    EXPECT_EQ(host.event.u.do_click.continue_refcon[0], HandleBottomRight);
    EXPECT_EQ(host.event.u.do_click.send_drag, 1);
    EXPECT_EQ(host.params.width(), 200.0);
}

TEST(DragState, ReleaseWritesTheLastValuesThenEndsTheDrag) {
    FakeHost host;
    host.Drag(HandleBottomRight, 200, 150, /*last=*/true);
    EXPECT_EQ(host.params.width(), 200.0);
    EXPECT_EQ(host.params.height(), 100.0);
    EXPECT_EQ(host.event.u.do_click.continue_refcon[0], 0);
    EXPECT_EQ(host.event.u.do_click.send_drag, 0);
    EXPECT_EQ(host.event.evt_out_flags, PF_EO_HANDLED_EVENT);
}

TEST(Routing, ClickWithSendDragSetIsHandledAsADrag) {
    FakeHost host;
    host.event.u.do_click.continue_refcon[0] = HandleBottomRight;
    host.event.u.do_click.send_drag = 1;
    // Far from every handle: a click would miss, the drag writes.
    host.Send(PF_Event_DO_CLICK, 200, 150);
    EXPECT_EQ(host.event.e_type, PF_Event_DRAG);
    EXPECT_EQ(host.params.width(), 200.0);
    EXPECT_EQ(host.params.height(), 100.0);
    EXPECT_EQ(host.event.evt_out_flags, PF_EO_HANDLED_EVENT);
}

class OtherWindows : public ::testing::TestWithParam<std::tuple<PF_WindowType, PF_EventType>> {};

TEST_P(OtherWindows, EventsAreIgnored) {
    const auto& [window, type] = GetParam();
    FakeHost host(kAfterEffects, window);
    host.basic.AcquireSuite = AcquireNothing;  // nothing may be asked for either
    const ParamBytes before(host.params);
    host.event.evt_out_flags = 0x40;
    host.event.u.do_click.continue_refcon[0] = type == PF_Event_DO_CLICK ? 0 : HandleBottomRight;
    host.event.u.do_click.send_drag = type == PF_Event_DRAG ? 1 : 0;
    // On the top-left corner, where a click in a served window would hit.
    EXPECT_EQ(host.Send(type, -50, 0), PF_Err_NONE);
    EXPECT_TRUE(ParamBytes(host.params) == before);
    EXPECT_EQ(host.event.evt_out_flags, 0x40);
    EXPECT_EQ(host.view.log, "");
}

INSTANTIATE_TEST_SUITE_P(Windows, OtherWindows,
                         ::testing::Combine(::testing::Values(PF_Window_EFFECT, PF_Window_PREVIEW, PF_Window_NONE),
                                            ::testing::Values(PF_Event_DO_CLICK, PF_Event_DRAG, PF_Event_DRAW)));

TEST(Routing, UnhandledEventTypesDoNothing) {
    FakeHost host;
    host.basic.AcquireSuite = AcquireNothing;
    host.event.evt_out_flags = 0x40;
    for (const PF_EventType type : {PF_Event_NEW_CONTEXT, PF_Event_ACTIVATE, PF_Event_IDLE, PF_Event_KEYDOWN}) {
        EXPECT_EQ(host.Send(type, -50, 0), PF_Err_NONE);
    }
    EXPECT_EQ(host.event.evt_out_flags, 0x40);
    EXPECT_EQ(host.view.log, "");
}

// ---- Whole-pixel rounding for drawing -----------------------------------------

TEST(QuadPixels, RoundsToNearestPixelAsSixteenBitCoordinates) {
    OverlayQuad quad;
    quad.corner[kTopLeft] = {0x8000, 0x7FFF};        // 0.5 -> 1, just under -> 0
    quad.corner[kTopRight] = {-0x8000, -0x8001};     // -0.5 -> 0, just under -> -1
    quad.corner[kBottomLeft] = {Fx(-3) + 1, kMin};   // -3 + tiny -> -3; the bottom stays -32768
    quad.corner[kBottomRight] = {0x7FFF7FFF, kMax};  // just under 32767.5 -> 32767; 32768 wraps to -32768
    const QuadPixels px = ToQuadPixels(quad);
    EXPECT_EQ(px.corner[kTopLeft].x, 1);
    EXPECT_EQ(px.corner[kTopLeft].y, 0);
    EXPECT_EQ(px.corner[kTopRight].x, 0);
    EXPECT_EQ(px.corner[kTopRight].y, -1);
    EXPECT_EQ(px.corner[kBottomLeft].x, -3);
    EXPECT_EQ(px.corner[kBottomLeft].y, -32768);
    EXPECT_EQ(px.corner[kBottomRight].x, 32767);
    EXPECT_EQ(px.corner[kBottomRight].y, -32768);
}

}  // namespace
}  // namespace quorvel
