// Drawing the on-screen controls through the entry point, recorded by the
// simulated host: which strokes, in which order, in which colours, at which
// places, and how every drawing failure ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/Params.h"
#include "tests/ModuleFixture.h"

namespace quorvel::test {
namespace {

using frames::PathSegment;
using sim::HostApp;
using Kind = frames::PathSegment::Kind;

/// A host with the parameters registered, a 1920x1080 layer and an event.
struct DrawRig {
    explicit DrawRig(HostApp app = HostApp::AfterEffects, PF_WindowType window = PF_Window_COMP)
        : host(app), layer(frames::PixelLayout::ARGB8, 8, 8), params(Setup()), event(PF_Event_DRAW, window) {}

    PF_Err Draw() { return host.Event(event, params); }
    const std::vector<frames::Stroke>& strokes() { return host.drawing().strokes(); }

    CheckedHost host;
    frames::World layer;
    sim::ParamSet params;
    sim::EventRecord event;

private:
    sim::ParamSet Setup() {
        EXPECT_EQ(host.GlobalSetup(), PF_Err_NONE);
        EXPECT_EQ(host.ParamsSetup(), PF_Err_NONE);
        host.log().Clear();
        return host.DefaultParams(layer);
    }
};

std::string Shape(const frames::Stroke& stroke) {
    std::string s;
    for (const PathSegment& seg : stroke.segments) {
        s += seg.kind == Kind::Move ? 'M' : seg.kind == Kind::Line ? 'L' : seg.kind == Kind::Arc ? 'A' : 'Z';
    }
    return s;
}

const std::string kEllipseShape = "M" + std::string(65, 'L');
const std::vector<std::string> kAfterEllipse = {"MLLLZ", "MLLLZ", "MLLLZ", "MLLLZ", "MLLLZ",
                                                "AAAA",  "ML",    "A",     "ML",    "MLLLZ"};

struct DrawCase {
    HostApp app;
    A_long mask_type;
    const char* name;
};

class DrawStrokes : public ::testing::TestWithParam<DrawCase> {};

TEST_P(DrawStrokes, InOrderWithTheHostsLook) {
    DrawRig rig(GetParam().app);
    rig.params[kParamMaskType].u.pd.value = GetParam().mask_type;
    ASSERT_EQ(rig.Draw(), PF_Err_NONE);
    EXPECT_EQ(rig.event.extra().evt_out_flags, PF_EO_HANDLED_EVENT);

    std::vector<std::string> expected;
    if (GetParam().mask_type == kMaskEllipse) expected.push_back(kEllipseShape);
    expected.insert(expected.end(), kAfterEllipse.begin(), kAfterEllipse.end());
    std::vector<std::string> shapes;
    for (const frames::Stroke& s : rig.strokes()) shapes.push_back(Shape(s));
    EXPECT_EQ(shapes, expected);

    const bool premiere = GetParam().app == HostApp::Premiere;
    for (std::size_t i = 0; i < rig.strokes().size(); ++i) {
        const frames::Stroke& s = rig.strokes()[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(s.theme, !premiere);
        if (!premiere) {
            EXPECT_TRUE(s.shadow);
            continue;
        }
        const bool ellipse = GetParam().mask_type == kMaskEllipse && i == 0;
        EXPECT_EQ(s.width, 1.0f);
        EXPECT_EQ(s.color.red, 0.9f);
        EXPECT_EQ(s.color.green, 0.9f);
        EXPECT_EQ(s.color.blue, ellipse ? 0.9f : 0.0f);
        EXPECT_EQ(s.color.alpha, 1.0f);
    }
    // Every object made was released (the host checks when the test ends).
    EXPECT_EQ(rig.host.drawing().live_objects(), 0u);
    EXPECT_EQ(rig.host.Acquired(kDRAWBOT_PathSuite), rig.host.Released(kDRAWBOT_PathSuite));
}

INSTANTIATE_TEST_SUITE_P(HostsAndShapes, DrawStrokes,
                         ::testing::Values(DrawCase{HostApp::AfterEffects, kMaskEllipse, "AeEllipse"},
                                           DrawCase{HostApp::AfterEffects, kMaskRectangle, "AeRectangle"},
                                           DrawCase{HostApp::Premiere, kMaskEllipse, "PrEllipse"},
                                           DrawCase{HostApp::Premiere, kMaskRectangle, "PrRectangle"}),
                         [](const auto& info) { return std::string(info.param.name); });

void ExpectPoint(const PathSegment& s, float x, float y) {
    EXPECT_FLOAT_EQ(s.x, x);
    EXPECT_FLOAT_EQ(s.y, y);
}

TEST(DrawPlaces, DefaultControlsOnAnIdentityView) {
    DrawRig rig(HostApp::Premiere);
    rig.params[kParamMaskType].u.pd.value = kMaskRectangle;
    ASSERT_EQ(rig.Draw(), PF_Err_NONE);
    const auto& s = rig.strokes();
    ASSERT_EQ(s.size(), 10u);
    // The 300x200 box about the layer's centre (960, 540).
    ExpectPoint(s[0].segments[0], 810, 440);
    ExpectPoint(s[0].segments[1], 1110, 440);
    ExpectPoint(s[0].segments[2], 1110, 640);
    ExpectPoint(s[0].segments[3], 810, 640);
    // Corner squares, 3 pixels each way: top-left, top-right, bottom-right, bottom-left.
    ExpectPoint(s[1].segments[0], 807, 437);
    ExpectPoint(s[2].segments[0], 1107, 437);
    ExpectPoint(s[3].segments[0], 1107, 637);
    ExpectPoint(s[4].segments[0], 807, 637);
    // Feather 0: the feather circles sit on the box's edge middles, top, bottom, left, right.
    ExpectPoint(s[5].segments[0], 960, 440);
    ExpectPoint(s[5].segments[1], 960, 640);
    ExpectPoint(s[5].segments[2], 810, 540);
    ExpectPoint(s[5].segments[3], 1110, 540);
    EXPECT_EQ(s[5].segments[0].radius, 4.0f);
    EXPECT_EQ(s[5].segments[0].sweep, 360.0f);
    // Rotation handle: a fifth of the layer's height straight above the origin.
    ExpectPoint(s[6].segments[0], 960, 540);
    ExpectPoint(s[6].segments[1], 960, 324);
    ExpectPoint(s[7].segments[0], 960, 324);
    EXPECT_EQ(s[7].segments[0].radius, 6.0f);
    // Opacity scale 40 pixels left of the origin, marker at its top for 100 %.
    ExpectPoint(s[8].segments[0], 920, 490);
    ExpectPoint(s[8].segments[1], 920, 590);
    ExpectPoint(s[9].segments[0], 915, 488);
    ExpectPoint(s[9].segments[1], 926, 488);
    ExpectPoint(s[9].segments[2], 926, 492);
    ExpectPoint(s[9].segments[3], 915, 492);
}

TEST(DrawPlaces, OpacityMarkerFollowsTheValueAndKeepsItsPixelSizeAtAnyZoom) {
    DrawRig rig(HostApp::AfterEffects);
    rig.host.view().zoom = 2.0;
    rig.params[kParamOpacity].u.fd.value = 0;
    ASSERT_EQ(rig.Draw(), PF_Err_NONE);
    const auto& s = rig.strokes();
    ASSERT_EQ(s.size(), 11u);
    const float ox = 1920, oy = 1080;  // the origin at zoom 2
    ExpectPoint(s[9].segments[0], ox - 40, oy - 50);
    ExpectPoint(s[9].segments[1], ox - 40, oy + 50);
    ExpectPoint(s[10].segments[0], ox - 45, oy + 48);
}

TEST(DrawPlaces, CompositionWindowMapsThroughTheLayerAndLayerWindowDoesNot) {
    for (PF_WindowType window : {PF_Window_COMP, PF_Window_LAYER}) {
        DrawRig rig(HostApp::Premiere, window);
        frames::View& view = rig.host.view();
        view.window = window;
        view.layer_x = 100;
        view.layer_y = 50;
        view.zoom = 2;
        view.pan_x = 10;
        view.pan_y = 20;
        ASSERT_EQ(rig.Draw(), PF_Err_NONE);
        const float shift_x = window == PF_Window_COMP ? 100 : 0;
        const float shift_y = window == PF_Window_COMP ? 50 : 0;
        const auto& s = rig.strokes();
        ASSERT_EQ(s.size(), 11u);
        // The box's top-left corner and the rotation segment's start (the origin).
        ExpectPoint(s[1].segments[0], (810 + shift_x) * 2 + 10, (440 + shift_y) * 2 + 20);
        ExpectPoint(s[7].segments[0], (960 + shift_x) * 2 + 10, (540 + shift_y) * 2 + 20);
        EXPECT_EQ(rig.host.log().Count("layer_to_comp") > 0, window == PF_Window_COMP);
    }
}

TEST(DrawFailure, NullDrawingReferenceDrawsNothingAndReleasesTheFourSuites) {
    DrawRig rig;
    rig.host.faults().NullDrawingReference();
    ASSERT_EQ(rig.Draw(), PF_Err_NONE);
    EXPECT_TRUE(rig.strokes().empty());
    EXPECT_EQ(rig.event.extra().evt_out_flags, PF_EO_HANDLED_EVENT);
    for (const char* suite : {kDRAWBOT_DrawSuite, kDRAWBOT_SupplierSuite, kDRAWBOT_SurfaceSuite, kDRAWBOT_PathSuite}) {
        EXPECT_EQ(rig.host.Acquired(suite), 1) << suite;
        EXPECT_EQ(rig.host.Released(suite), 1) << suite;
    }
    for (const char* call : {"GetSupplier", "GetSurface", "NewPath", "NewPen", "MoveTo", "PF_StrokePath"}) {
        EXPECT_EQ(rig.host.log().Count(call), 0u) << call;
    }
}

TEST(DrawFailure, FirstStrokeFailingStopsTheDrawingQuietly) {
    for (HostApp app : {HostApp::AfterEffects, HostApp::Premiere}) {
        DrawRig rig(app);
        const char* stroke = app == HostApp::Premiere ? "StrokePath" : "PF_StrokePath";
        rig.host.faults().FailCall(stroke, 1, 1313);
        ASSERT_EQ(rig.Draw(), PF_Err_NONE);
        EXPECT_EQ(rig.host.log().Count(stroke), 1u);
        EXPECT_EQ(rig.event.extra().evt_out_flags, PF_EO_HANDLED_EVENT);
        EXPECT_EQ(rig.host.out_data().out_flags, 0);
        EXPECT_EQ(rig.host.out_data().return_msg[0], '\0');
    }
}

TEST(DrawFailure, FailedPathOrPenComesBackAsItsCodeWithNothingLeaked) {
    struct Case {
        HostApp app;
        const char* call;
        int nth;
    };
    for (const Case& c : {Case{HostApp::AfterEffects, "NewPath", 1}, Case{HostApp::AfterEffects, "NewPath", 7},
                          Case{HostApp::Premiere, "NewPen", 1}, Case{HostApp::Premiere, "NewPen", 3},
                          Case{HostApp::Premiere, "NewPath", 9}}) {
        SCOPED_TRACE(std::string(c.call) + " #" + std::to_string(c.nth));
        DrawRig rig(c.app);
        rig.host.faults().FailCall(c.call, c.nth, 4242);
        EXPECT_EQ(rig.Draw(), 4242);
        EXPECT_EQ(rig.host.drawing().live_objects(), 0u);
        EXPECT_EQ(rig.host.Acquired(kDRAWBOT_SupplierSuite), rig.host.Released(kDRAWBOT_SupplierSuite));
    }
}

TEST(DrawFailure, FailedReleaseComesBackAsItsCodeWithoutCrashing) {
    for (int nth : {1, 2, 5}) {
        DrawRig rig(HostApp::Premiere);
        rig.host.faults().FailCall("ReleaseObject", nth, 5151);
        EXPECT_EQ(rig.Draw(), 5151);
        // The object whose release failed stays with the host; nothing else does.
        EXPECT_EQ(rig.host.drawing().live_objects(), 1u);
        rig.host.ClearProblems();
        for (const char* suite :
             {kDRAWBOT_DrawSuite, kDRAWBOT_SupplierSuite, kDRAWBOT_SurfaceSuite, kDRAWBOT_PathSuite}) {
            EXPECT_EQ(rig.host.Acquired(suite), rig.host.Released(suite)) << suite;
        }
    }
}

TEST(DrawFailure, MissingLazySuiteReturns516WithEverythingReleased) {
    struct Case {
        HostApp app;
        const char* suite;
    };
    for (const Case& c : {Case{HostApp::AfterEffects, kPFEffectCustomUISuite},
                          Case{HostApp::AfterEffects, kPFEffectCustomUIOverlayThemeSuite},
                          Case{HostApp::AfterEffects, kPFANSISuite}, Case{HostApp::Premiere, kPFEffectCustomUISuite}}) {
        SCOPED_TRACE(c.suite);
        DrawRig rig(c.app);
        rig.host.faults().MissingSuite(c.suite);
        EXPECT_EQ(rig.Draw(), PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_NE(rig.event.extra().evt_out_flags, PF_EO_HANDLED_EVENT);
        EXPECT_EQ(rig.host.drawing().live_objects(), 0u);
    }
}

TEST(DrawFailure, DrawingSuitesUnavailableReportsAndMarksHandled) {
    DrawRig rig;
    rig.host.faults().MissingSuite(kDRAWBOT_PathSuite);
    ASSERT_EQ(rig.Draw(), PF_Err_NONE);
    EXPECT_TRUE(rig.strokes().empty());
    EXPECT_STREQ(rig.host.out_data().return_msg, "Not able to acquire AEFX Suite.");
    EXPECT_EQ(rig.host.out_data().out_flags, PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    EXPECT_EQ(rig.event.extra().evt_out_flags, PF_EO_HANDLED_EVENT);
}

TEST(DrawRouting, EffectControlsWindowIsIgnored) {
    DrawRig rig(HostApp::AfterEffects, PF_Window_EFFECT);
    ASSERT_EQ(rig.Draw(), PF_Err_NONE);
    EXPECT_TRUE(rig.host.log().calls().empty());
    EXPECT_EQ(rig.event.extra().evt_out_flags, 0);
}

}  // namespace
}  // namespace quorvel::test
