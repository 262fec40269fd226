// The parameter set as the host registers, shows and saves it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ModuleFixture.h"

namespace quorvel::test {
namespace {

class ParamsSetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(host.GlobalSetup(), PF_Err_NONE);
        ASSERT_EQ(host.ParamsSetup(), PF_Err_NONE);
        ASSERT_EQ(host.registered_params().size(), 10u);
    }
    const PF_ParamDef& Def(int index) const { return host.registered_params().at(std::size_t(index - 1)); }

    CheckedHost host;
};

TEST_F(ParamsSetupTest, RegistersTenControlsWithTheirPersistentIdsInOrder) {
    std::vector<A_long> ids;
    for (const PF_ParamDef& def : host.registered_params()) ids.push_back(def.uu.id);
    EXPECT_EQ(ids, (std::vector<A_long>{2, 8, 1, 3, 4, 5, 6, 7, 9, 10}));
    EXPECT_EQ(host.out_data().num_params, 11);
    for (const std::string& call : host.log().Strings("add_param")) EXPECT_EQ(call.substr(0, 13), "add_param(-1,");
}

struct Expected {
    int index;
    const char* name;
    PF_ParamType type;
    PF_ParamFlags flags;
};

TEST_F(ParamsSetupTest, NamesTypesAndAnimationFlags) {
    const Expected table[] = {
        {1, "Mask Type", PF_Param_POPUP, PF_ParamFlag_CANNOT_TIME_VARY},
        {2, "Composite mode", PF_Param_POPUP, PF_ParamFlag_CANNOT_TIME_VARY},
        {3, "Point of origin", PF_Param_POINT, 0},
        {4, "Width", PF_Param_FLOAT_SLIDER, 0},
        {5, "Height", PF_Param_FLOAT_SLIDER, 0},
        {6, "Angle", PF_Param_ANGLE, 0},
        {7, "Feather", PF_Param_FLOAT_SLIDER, 0},
        {8, "Opacity", PF_Param_FIX_SLIDER, 0},
        {9, "Invert", PF_Param_CHECKBOX, PF_ParamFlag_CANNOT_TIME_VARY},
        {10, "Alpha falloff", PF_Param_POPUP, PF_ParamFlag_CANNOT_TIME_VARY},
    };
    for (const Expected& e : table) {
        SCOPED_TRACE(e.name);
        const PF_ParamDef& def = Def(e.index);
        EXPECT_STREQ(def.name, e.name);
        EXPECT_EQ(def.param_type, e.type);
        EXPECT_EQ(def.flags, e.flags);
        EXPECT_EQ(def.ui_flags, 0);
        EXPECT_EQ(def.ui_width, 0);
        EXPECT_EQ(def.ui_height, 0);
    }
}

TEST_F(ParamsSetupTest, PopupsChoicesAndDefaults) {
    struct Popup {
        int index;
        const char* choices;
        int count;
        int dephault;
    };
    const Popup table[] = {
        {1, "Ellipse|Rectangle|", 2, 1},
        {2, "Add|Subtract|Intersect|Create", 4, 4},
        {10, "Linear|Quadratic|Cubic|Gamma 2.2|Gaussian|Exponential", 6, 1},
    };
    for (const Popup& p : table) {
        const PF_PopupDef& pd = Def(p.index).u.pd;
        EXPECT_STREQ(pd.u.namesptr, p.choices);
        EXPECT_EQ(pd.num_choices, p.count);
        EXPECT_EQ(pd.dephault, p.dephault);
        EXPECT_EQ(pd.value, p.dephault);
    }
}

TEST_F(ParamsSetupTest, SlidersRangesAndDefaults) {
    struct Slider {
        int index;
        double value;
    };
    for (const Slider& s : {Slider{4, 300.0}, Slider{5, 200.0}, Slider{7, 0.0}}) {
        const PF_FloatSliderDef& fs = Def(s.index).u.fs_d;
        EXPECT_EQ(fs.value, s.value);
        EXPECT_EQ(fs.dephault, float(s.value));
        EXPECT_EQ(fs.valid_min, 0.0f);
        EXPECT_EQ(fs.valid_max, 15000.0f);
        EXPECT_EQ(fs.slider_min, 0.0f);
        EXPECT_EQ(fs.slider_max, 15000.0f);
        EXPECT_EQ(fs.precision, 1);
        EXPECT_EQ(fs.curve_tolerance, 0.05f);
        EXPECT_EQ(fs.phase, 0.0);
        EXPECT_EQ(fs.display_flags, 0);
        EXPECT_EQ(fs.fs_flags, 0u);
    }
    const PF_FixedSliderDef& opacity = Def(8).u.fd;
    EXPECT_EQ(opacity.value, 0x00640000);
    EXPECT_EQ(opacity.dephault, 0x00640000);
    EXPECT_EQ(opacity.valid_min, 0);
    EXPECT_EQ(opacity.slider_min, 0);
    EXPECT_EQ(opacity.valid_max, 100 << 16);
    EXPECT_EQ(opacity.slider_max, 100 << 16);
    EXPECT_EQ(opacity.precision, 1);
    EXPECT_EQ(opacity.display_flags, PF_ValueDisplayFlag_PERCENT);
    EXPECT_EQ(opacity.value_str[0], '\0');

    const PF_AngleDef& angle = Def(6).u.ad;
    EXPECT_EQ(angle.value, 0);
    EXPECT_EQ(angle.dephault, 0);
}

TEST_F(ParamsSetupTest, PointStartsAtTheLayerCentreAndCheckboxUnchecked) {
    const PF_PointDef& point = Def(3).u.td;
    EXPECT_EQ(point.x_dephault, 0x00320000);
    EXPECT_EQ(point.y_dephault, 0x00320000);
    EXPECT_EQ(point.restrict_bounds, 0);
    frames::World layer(frames::PixelLayout::ARGB8, 1920, 1080);
    sim::ParamSet params = host.DefaultParams(layer);
    EXPECT_EQ(params[3].u.td.x_value, 960 << 16);
    EXPECT_EQ(params[3].u.td.y_value, 540 << 16);

    const PF_CheckBoxDef& invert = Def(9).u.bd;
    EXPECT_EQ(invert.value, 0);
    EXPECT_EQ(invert.dephault, 0);
    EXPECT_STREQ(invert.u.nameptr, "Invert mask");
}

TEST_F(ParamsSetupTest, AsksForCompositionAndLayerWindowEventsOnly) {
    ASSERT_EQ(host.registered_ui().size(), 1u);
    const PF_CustomUIInfo& ui = host.registered_ui().front();
    EXPECT_EQ(ui.events, PF_CustomEFlag_COMP | PF_CustomEFlag_LAYER);
    EXPECT_EQ(ui.comp_ui_width, 0);
    EXPECT_EQ(ui.layer_ui_width, 0);
    EXPECT_EQ(ui.preview_ui_width, 0);
}

TEST(ParamsSetupFailure, AddParamRefusingTheFifthStopsThere) {
    CheckedHost host;
    host.faults().FailCall("add_param", 5, 42);
    EXPECT_EQ(host.ParamsSetup(), 42);
    EXPECT_EQ(host.log().Count("add_param"), 5u);
    EXPECT_EQ(host.log().Count("register_ui"), 0u);
    EXPECT_EQ(host.out_data().num_params, 0);
}

TEST(ParamsSetupFailure, RegisterUiRefusalIsReturnedButParamsStay) {
    CheckedHost host;
    host.faults().FailCall("register_ui", 1, 1234);
    EXPECT_EQ(host.ParamsSetup(), 1234);
    EXPECT_EQ(host.registered_params().size(), 10u);
    EXPECT_EQ(host.out_data().num_params, 11);
    EXPECT_EQ(host.out_data().out_flags, 0);
    EXPECT_EQ(host.out_data().return_msg[0], '\0');
}

}  // namespace
}  // namespace quorvel::test
