#include "shell/Params.h"

#include <cstring>

#include "numeric/FixedPoint.h"
#include "shell/Errors.h"
#include "shell/Strings.h"

namespace quorvel {

namespace {

/// Reuses one definition record for every control, cleared each time, and
/// stops at the host's first refusal.
class ParamRegistrar {
public:
    explicit ParamRegistrar(PF_InData* in_data) : in_data_(in_data) {}

    PF_ParamDef& Begin(PF_ParamType type, A_long id, const char* name, PF_ParamFlags flags = 0) {
        std::memset(&def_, 0, sizeof def_);
        def_.param_type = type;
        def_.uu.id = id;
        def_.flags = flags;
        in_data_->utils->ansi.strcpy(def_.name, name);
        return def_;
    }

    /// The host's refusal ends the command with its code.
    void Add() { RaiseIfError(in_data_->inter.add_param(in_data_->effect_ref, -1, &def_)); }

private:
    PF_InData* in_data_;
    PF_ParamDef def_{};
};

void SetFloatSlider(PF_FloatSliderDef& fs, double value, float min, float max) {
    fs.value = value;
    fs.dephault = float(value);
    fs.valid_min = min;
    fs.valid_max = max;
    fs.slider_min = min;
    fs.slider_max = max;
    fs.precision = 1;
    fs.curve_tolerance = 0.05f;
}

void SetPopup(PF_PopupDef& pd, A_short choices, A_short dephault, const char* names) {
    pd.num_choices = choices;
    pd.dephault = dephault;
    pd.value = dephault;
    pd.u.namesptr = names;
}

constexpr float kMaxSize = 15000.0f;

}  // namespace

PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data) {
    // Without these callbacks nothing can be registered; say so instead of crashing the host.
    if (in_data->utils == nullptr || in_data->utils->ansi.strcpy == nullptr || in_data->inter.add_param == nullptr ||
        in_data->inter.register_ui == nullptr) {
        RaiseError(PF_Err_INVALID_CALLBACK);
    }
    ParamRegistrar reg(in_data);

    {
        PF_ParamDef& def = reg.Begin(PF_Param_POPUP, kIdMaskType, LookupString(StrID_MaskType_Param_Name),
                                     PF_ParamFlag_CANNOT_TIME_VARY);
        SetPopup(def.u.pd, kMaskTypeCount, kMaskEllipse, LookupString(StrID_MaskType_Choices));
        reg.Add();
    }
    {
        PF_ParamDef& def = reg.Begin(PF_Param_POPUP, kIdCompositeMode, LookupString(StrID_CompositeMode_Param_Name),
                                     PF_ParamFlag_CANNOT_TIME_VARY);
        SetPopup(def.u.pd, kCompositeModeCount, kCompositeCreate, LookupString(StrID_CompositeMode_Choices));
        reg.Add();
    }
    {
        // A point default is a percentage of the layer: 50 %, 50 % is its centre.
        PF_ParamDef& def = reg.Begin(PF_Param_POINT, kIdOrigin, LookupString(StrID_Origin_Param_Name));
        def.u.td.x_value = def.u.td.x_dephault = FixedFromWholeSaturating(50);
        def.u.td.y_value = def.u.td.y_dephault = FixedFromWholeSaturating(50);
        def.u.td.restrict_bounds = 0;
        reg.Add();
    }
    {
        PF_ParamDef& def = reg.Begin(PF_Param_FLOAT_SLIDER, kIdWidth, LookupString(StrID_Width_Param_Name));
        SetFloatSlider(def.u.fs_d, 300.0, 0.0f, kMaxSize);
        reg.Add();
    }
    {
        PF_ParamDef& def = reg.Begin(PF_Param_FLOAT_SLIDER, kIdHeight, LookupString(StrID_Height_Param_Name));
        SetFloatSlider(def.u.fs_d, 200.0, 0.0f, kMaxSize);
        reg.Add();
    }
    {
        PF_ParamDef& def = reg.Begin(PF_Param_ANGLE, kIdAngle, LookupString(StrID_Angle_Param_Name));
        def.u.ad.value = def.u.ad.dephault = 0;
        reg.Add();
    }
    {
        PF_ParamDef& def = reg.Begin(PF_Param_FLOAT_SLIDER, kIdFeather, LookupString(StrID_Feather_Param_Name));
        SetFloatSlider(def.u.fs_d, 0.0, 0.0f, kMaxSize);
        reg.Add();
    }
    {
        PF_ParamDef& def = reg.Begin(PF_Param_FIX_SLIDER, kIdOpacity, LookupString(StrID_Opacity_Param_Name));
        PF_FixedSliderDef& fd = def.u.fd;
        fd.value = fd.dephault = FixedFromWholeSaturating(100);
        fd.valid_min = fd.slider_min = FixedFromWholeSaturating(0);
        fd.valid_max = fd.slider_max = FixedFromWholeSaturating(100);
        fd.precision = 1;
        fd.display_flags = PF_ValueDisplayFlag_PERCENT;
        reg.Add();
    }
    {
        PF_ParamDef& def = reg.Begin(PF_Param_CHECKBOX, kIdInvert, LookupString(StrID_Invert_Param_Name),
                                     PF_ParamFlag_CANNOT_TIME_VARY);
        def.u.bd.value = def.u.bd.dephault = 0;
        def.u.bd.u.nameptr = kInvertCheckboxText;
        reg.Add();
    }
    {
        PF_ParamDef& def = reg.Begin(PF_Param_POPUP, kIdFalloff, kFalloffParamName, PF_ParamFlag_CANNOT_TIME_VARY);
        SetPopup(def.u.pd, kFalloffCount, kFalloffLinear, kFalloffChoices);
        reg.Add();
    }

    PF_CustomUIInfo ui;
    std::memset(&ui, 0, sizeof ui);
    ui.events = PF_CustomEFlag_COMP | PF_CustomEFlag_LAYER;
    const PF_Err err = in_data->inter.register_ui(in_data->effect_ref, &ui);

    // Set whatever the host answered: the parameters are registered by now.
    out_data->num_params = kNumParams;
    RaiseIfError(err);
    return PF_Err_NONE;
}

}  // namespace quorvel
