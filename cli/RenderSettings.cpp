#include "RenderSettings.h"

#include <map>

#include "ParamIds.h"
#include "Parse.h"

namespace quorvel::cli {

namespace {

/// A popup by choice name, or any whole number passed through unchecked.
A_long ParseChoice(const std::string& option, const std::string& text, const std::map<std::string, A_long>& names) {
    if (const auto it = names.find(text); it != names.end()) return it->second;
    if (!text.empty() && (std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-' || text[0] == '+')) {
        return ParseInt(option, text);
    }
    std::string choices;
    for (const auto& [name, value] : names) choices += (choices.empty() ? "" : ", ") + name;
    throw UsageError("--" + option + ": '" + text + "' is not one of " + choices + " or a number");
}

sim::PixelLayout LayoutFor(sim::HostApp app, const std::string& depth) {
    if (app == sim::HostApp::AfterEffects) {
        if (depth == "8") return sim::PixelLayout::ARGB8;
        if (depth == "16") return sim::PixelLayout::ARGB16;
        throw UsageError("--depth " + depth + " is not rendered by --host ae (use 8 or 16)");
    }
    if (depth == "8") return sim::PixelLayout::BGRA8;
    if (depth == "32f") return sim::PixelLayout::BGRA32f;
    throw UsageError("--depth " + depth + " is not rendered by --host premiere (use 8 or 32f)");
}

PF_ParamDef& Param(sim::ParamSet& params, A_long id) {
    const int index = params.IndexOfId(id);
    if (index < 0) throw UsageError("the module registered no control with id " + std::to_string(id));
    return params[index];
}

}  // namespace

std::vector<OptionDef> RenderOptionDefs() {
    return {
        {"host", "ae|premiere", "host to play: ae renders ARGB, premiere BGRA (default ae)"},
        {"depth", "8|16|32f", "bits per channel: 8 or 16 with ae, 8 or 32f with premiere (default 8)"},
        {"mask-type", "ellipse|rectangle|N", "shape (default ellipse)"},
        {"composite", "add|subtract|intersect|create|N", "how the matte meets the layer's alpha (default create)"},
        {"falloff", "linear|quadratic|cubic|gamma|gaussian|exponential|N", "feather profile (default linear)"},
        {"origin", "X,Y", "centre in layer pixels (default the layer's centre)"},
        {"width", "W", "width in pixels (default 300)"},
        {"height", "H", "height in pixels (default 200)"},
        {"feather", "F", "inward feather in pixels (default 0)"},
        {"angle", "DEG", "rotation in degrees, clockwise (default 0)"},
        {"opacity", "PCT", "opacity in percent (default 100)"},
        {"invert", "", "invert the matte"},
        {"downsample", "NX/DX,NY/DY", "the host's downsample factors (default 1/1,1/1)"},
        {"par", "N/D", "pixel aspect ratio (default 1/1)"},
        {"threads", "N", "worker threads of the host's pixel iteration (default: all cores)"},
    };
}

RenderSettings ParseRenderSettings(const Args& args) {
    RenderSettings s;
    if (const auto host = args.Get("host")) {
        if (*host == "premiere") {
            s.app = sim::HostApp::Premiere;
        } else if (*host != "ae") {
            throw UsageError("--host must be ae or premiere, not '" + *host + "'");
        }
    }
    s.depth_given = args.Has("depth");
    s.layout = LayoutFor(s.app, args.Get("depth").value_or("8"));

    if (const auto v = args.Get("mask-type")) {
        s.mask_type = ParseChoice("mask-type", *v, {{"ellipse", 1}, {"rectangle", 2}});
    }
    if (const auto v = args.Get("composite")) {
        s.composite = ParseChoice("composite", *v, {{"add", 1}, {"subtract", 2}, {"intersect", 3}, {"create", 4}});
    }
    if (const auto v = args.Get("falloff")) {
        s.falloff = ParseChoice("falloff", *v,
                                {{"linear", 1}, {"quadratic", 2}, {"cubic", 3}, {"gamma", 4}, {"gaussian", 5},
                                 {"exponential", 6}});
    }
    if (const auto v = args.Get("origin")) s.origin = ParsePair("origin", *v);
    if (const auto v = args.Get("width")) s.width = ParseNumber("width", *v);
    if (const auto v = args.Get("height")) s.height = ParseNumber("height", *v);
    if (const auto v = args.Get("feather")) s.feather = ParseNumber("feather", *v);
    if (const auto v = args.Get("angle")) s.angle = ParseNumber("angle", *v);
    if (const auto v = args.Get("opacity")) s.opacity = ParseNumber("opacity", *v);
    s.invert = args.Has("invert");
    if (const auto v = args.Get("downsample")) {
        const auto comma = v->find(',');
        if (comma == std::string::npos) throw UsageError("--downsample: expected NX/DX,NY/DY, got '" + *v + "'");
        s.downsample_x = ParseRational("downsample", v->substr(0, comma));
        s.downsample_y = ParseRational("downsample", v->substr(comma + 1));
    }
    if (const auto v = args.Get("par")) s.pixel_aspect_ratio = ParseRational("par", *v);
    if (const auto v = args.Get("threads")) {
        s.threads = ParseInt("threads", *v);
        if (s.threads < 1 || s.threads > 256) throw UsageError("--threads must be between 1 and 256");
    }
    // Range checks here rather than as a surprise inside the host's fixed-point encoding.
    if (s.origin) {
        ToFixed("origin", s.origin->first);
        ToFixed("origin", s.origin->second);
    }
    if (s.angle) ToFixed("angle", *s.angle);
    if (s.opacity) ToFixed("opacity", *s.opacity);
    return s;
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
    if (s.composite) Param(params, kIdComposite).u.pd.value = *s.composite;
    if (s.falloff) Param(params, kIdFalloff).u.pd.value = *s.falloff;
    if (s.origin) {
        PF_PointDef& td = Param(params, kIdOrigin).u.td;
        td.x_value = ToFixed("origin", s.origin->first);
        td.y_value = ToFixed("origin", s.origin->second);
    }
    if (s.width) Param(params, kIdWidth).u.fs_d.value = *s.width;
    if (s.height) Param(params, kIdHeight).u.fs_d.value = *s.height;
    if (s.feather) Param(params, kIdFeather).u.fs_d.value = *s.feather;
    if (s.angle) Param(params, kIdAngle).u.ad.value = ToFixed("angle", *s.angle);
    if (s.opacity) Param(params, kIdOpacity).u.fd.value = ToFixed("opacity", *s.opacity);
    if (s.invert) Param(params, kIdInvert).u.bd.value = 1;
}

}  // namespace quorvel::cli
