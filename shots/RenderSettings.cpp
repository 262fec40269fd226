#include "shots/RenderSettings.h"

#include <map>

#include "effect/Controls.h"
#include "frames/ParamEncoding.h"
#include "shots/Keyframes.h"
#include "shots/ShotError.h"
#include "shots/ValueText.h"
#include "simhost/ParamRange.h"

namespace quorvel::shots {

namespace {

PF_ParamDef& Param(sim::ParamSet& params, A_long id) {
    const int index = params.IndexOfId(id);
    if (index < 0) throw ShotError("the module registered no control with id " + std::to_string(id));
    return params[index];
}

/// A slider's value as its option gives it: refused outside the range the
/// module registers, as the host's control refuses a typed value.
PF_ParamDef& Slider(sim::ParamSet& params, A_long id, const char* option, double value) {
    PF_ParamDef& def = Param(params, id);
    if (const std::optional<sim::ParamRange> range = sim::RangeOf(def); range && !range->Holds(value)) {
        throw ShotError(frames::Mention(option) + " " + NumberText(value) + " is outside " + def.name + "'s range, " +
                        range->Text());
    }
    return def;
}

}  // namespace

bool RenderSettings::Sets(std::string_view name) const {
    if (name == "origin") return origin.has_value();
    if (name == "width") return width.has_value();
    if (name == "height") return height.has_value();
    if (name == "feather") return feather.has_value();
    if (name == "angle") return angle.has_value();
    if (name == "opacity") return opacity.has_value();
    if (name == "mask-type") return mask_type.has_value();
    if (name == "composite") return composite.has_value();
    if (name == "falloff") return falloff.has_value();
    if (name == "invert") return invert;
    return false;
}

sim::Host::Options HostOptionsFor(const RenderSettings& s, int layer_width, int layer_height) {
    sim::Host::Options o;
    o.app = s.app;
    o.threads = s.threads;
    o.downsample_x = s.downsample_x;
    o.downsample_y = s.downsample_y;
    o.pixel_aspect_ratio = s.pixel_aspect_ratio;
    o.layer_width = layer_width;
    o.layer_height = layer_height;
    return o;
}

void ApplyParams(const RenderSettings& s, sim::ParamSet& params) {
    if (s.mask_type) Param(params, kIdMaskType).u.pd.value = *s.mask_type;
    if (s.composite) Param(params, kIdCompositeMode).u.pd.value = *s.composite;
    if (s.falloff) Param(params, kIdFalloff).u.pd.value = *s.falloff;
    if (s.origin) frames::SetPoint(Param(params, kIdOrigin), s.origin->first, s.origin->second);
    if (s.width) Slider(params, kIdWidth, "width", *s.width).u.fs_d.value = *s.width;
    if (s.height) Slider(params, kIdHeight, "height", *s.height).u.fs_d.value = *s.height;
    if (s.feather) Slider(params, kIdFeather, "feather", *s.feather).u.fs_d.value = *s.feather;
    if (s.angle) frames::SetAngle(Param(params, kIdAngle), *s.angle);
    if (s.opacity) frames::SetFixedSlider(Slider(params, kIdOpacity, "opacity", *s.opacity), *s.opacity);
    if (s.invert) Param(params, kIdInvert).u.bd.value = 1;
}

}  // namespace quorvel::shots
