#include "cli/RenderOptions.h"

#include <cctype>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "cli/ModuleOption.h"
#include "effect/Controls.h"
#include "numeric/FixedPoint.h"
#include "shots/Keyframes.h"
#include "shots/ValueText.h"
#include "simhost/ParamRange.h"

namespace quorvel::cli {

namespace {

/// A popup control's option: its choices (the controls' own table), and
/// where its value goes.
struct PopupOption {
    const char* name;
    const char* help;
    std::span<const PopupChoice> words;
    std::optional<A_long> shots::RenderSettings::*value;

    /// The choices' words in the host's order, then any number.
    std::string ValueName() const {
        std::string text;
        for (const PopupChoice& choice : words) text += std::string(choice.word) + "|";
        return text + "N";
    }
    std::map<std::string, int> Choices() const {
        std::map<std::string, int> choices;
        for (const PopupChoice& choice : words) choices.emplace(choice.word, choice.number);
        return choices;
    }
};

const PopupOption kPopups[] = {
    {"mask-type", "shape (default ellipse)", kMaskTypeWords, &shots::RenderSettings::mask_type},
    {"composite", "how the matte meets the layer's alpha (default create)", kCompositeModeWords,
     &shots::RenderSettings::composite},
    {"falloff", "feather profile (default linear)", kFalloffWords, &shots::RenderSettings::falloff},
};

/// A popup, by its choices' names or by any whole number, passed through
/// unchecked.
void AddPopup(CommandLine& line, const PopupOption& popup, shots::RenderSettings& s) {
    const std::string name = popup.name;
    const std::map<std::string, int> choices = popup.Choices();
    std::string names;
    for (const auto& [choice, number] : choices) names += (names.empty() ? "" : ", ") + choice;
    std::optional<A_long>& value = s.*popup.value;
    CLI::Option* option =
        line.Value(name, popup.ValueName(), popup.help, [name, names, &value](const std::string& text) {
            // A choice's name arrives as its number.
            if (!text.empty() &&
                (std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-' || text[0] == '+')) {
                value = shots::ParseInt(name, text);
            } else {
                throw UsageError("--" + name + ": '" + text + "' is not one of " + names + " or a number");
            }
        });
    CommandLine::NumberNames(option, choices);
}

frames::PixelLayout LayoutFor(sim::HostApp app, const std::string& depth) {
    if (app == sim::HostApp::AfterEffects) {
        if (depth == "8") return frames::PixelLayout::ARGB8;
        if (depth == "16") return frames::PixelLayout::ARGB16;
        throw UsageError("--depth " + depth + " is not rendered by --host ae (use 8 or 16)");
    }
    if (depth == "8") return frames::PixelLayout::BGRA8;
    if (depth == "32f") return frames::PixelLayout::BGRA32f;
    throw UsageError("--depth " + depth + " is not rendered by --host premiere (use 8 or 32f)");
}

/// A value the host carries in 16.16, refused here rather than as a
/// surprise inside the encoding.
double FixedValue(const std::string& option, const std::string& text) {
    const double v = shots::ParseNumber(option, text);
    shots::ToFixed(option, v);
    return v;
}

}  // namespace

void AddRenderOptions(CommandLine& line, shots::RenderSettings& s) {
    CLI::Option* host = AddHostOption(
        line, s.app,
        "host to play: ae renders ARGB, premiere BGRA (default ae; premiere for image files deeper than 8 bits)");
    // The depth's meaning depends on the host, which may come later on the line.
    auto depth = std::make_shared<std::optional<std::string>>();
    line.Value("depth", "8|16|32f", "bits per channel: 8 or 16 with ae, 8 or 32f with premiere (default 8)",
               [depth](const std::string& v) { *depth = v; });
    line.Then([depth, host, &s] {
        s.app_given = CommandLine::Given(host);
        s.depth_given = depth->has_value();
        s.layout = LayoutFor(s.app, depth->value_or("8"));
    });
    line.Group(OptionGroup::Controls);
    for (const PopupOption& popup : kPopups) AddPopup(line, popup, s);
    line.Value("origin", "X,Y", "centre in layer pixels (default the layer's centre)", [&s](const std::string& v) {
        s.origin = shots::ParsePair("origin", v);
        shots::ToFixed("origin", s.origin->first);
        shots::ToFixed("origin", s.origin->second);
    });
    line.Value("width", "W", "width in pixels (default 300)",
               [&s](const std::string& v) { s.width = shots::ParseNumber("width", v); });
    line.Value("height", "H", "height in pixels (default 200)",
               [&s](const std::string& v) { s.height = shots::ParseNumber("height", v); });
    line.Value("feather", "F", "inward feather in pixels (default 0)",
               [&s](const std::string& v) { s.feather = shots::ParseNumber("feather", v); });
    line.Value("angle", "DEG", "rotation in degrees, clockwise (default 0)",
               [&s](const std::string& v) { s.angle = FixedValue("angle", v); });
    line.Value("opacity", "PCT", "opacity in percent (default 100)",
               [&s](const std::string& v) { s.opacity = FixedValue("opacity", v); });
    line.Flag("invert", "invert the matte", s.invert);
    line.Group(OptionGroup::Host);
    line.Value("downsample", "NX/DX,NY/DY", "the host's downsample factors (default 1/1,1/1)",
               [&s](const std::string& v) {
                   const auto comma = v.find(',');
                   if (comma == std::string::npos) {
                       throw UsageError("--downsample: expected NX/DX,NY/DY, got '" + v + "'");
                   }
                   s.downsample_x = shots::ParseRational("downsample", v.substr(0, comma));
                   s.downsample_y = shots::ParseRational("downsample", v.substr(comma + 1));
               });
    // The layer's own, as its header may say.
    line.Group(OptionGroup::Input);
    line.Value("par", "N/D",
               "pixel aspect ratio (default: the input image's header's, else keyframe text's Source Pixel Aspect "
               "Ratio, else 1/1)",
               [&s](const std::string& v) {
                   s.pixel_aspect_ratio = shots::ParseRational("par", v);
                   s.par_given = true;
               });
    line.Group(OptionGroup::Host);
    line.WholeNumber(
        "threads", "N", "worker threads of the host's pixel iteration (default: all cores)", 1, 256,
        [](const std::string&) { return "--threads must be between 1 and 256"; },
        [&s](int threads) { s.threads = threads; });
}

ValueOptions::ValueOptions(const sim::ParamSet& params) {
    for (int i = 1; i < params.size(); ++i) {
        const PF_ParamDef& def = params[i];
        Control c{shots::ControlNameAt(params, i), "", false, (def.flags & PF_ParamFlag_CANNOT_TIME_VARY) == 0};
        if (c.name.empty()) continue;
        const auto slider = [&](double value) {
            if (const std::optional<sim::ParamRange> range = sim::RangeOf(def); range && !range->Holds(value)) {
                const double held = range->Clamp(value);
                clamped_.push_back(c.name + " " + shots::NumberText(value) + " is outside " + def.name + "'s range, " +
                                   range->Text() + ": given as " + shots::NumberText(held) +
                                   ", as the control holds it");
                value = held;
            }
            return shots::NumberText(value);
        };
        switch (def.param_type) {
            case PF_Param_POINT:
                c.text = shots::NumberText(DoubleFromFixed(def.u.td.x_value)) + "," +
                         shots::NumberText(DoubleFromFixed(def.u.td.y_value));
                break;
            case PF_Param_FLOAT_SLIDER:
                c.text = slider(def.u.fs_d.value);
                break;
            case PF_Param_FIX_SLIDER:
                c.text = slider(DoubleFromFixed(def.u.fd.value));
                break;
            case PF_Param_ANGLE:
                c.text = shots::NumberText(DoubleFromFixed(def.u.ad.value));
                break;
            case PF_Param_POPUP:
                c.text = std::to_string(def.u.pd.value);
                for (const PopupOption& popup : kPopups) {
                    if (c.name != popup.name) continue;
                    for (const PopupChoice& choice : popup.words) {
                        if (choice.number == def.u.pd.value) c.text = choice.word;
                    }
                }
                break;
            case PF_Param_CHECKBOX:
                c.flag = true;
                c.text = def.u.bd.value ? "on" : "off";
                break;
            default:
                continue;
        }
        controls_.push_back(std::move(c));
    }
}

std::vector<std::string> ValueOptions::Options(const ValueOptions& other) const {
    std::vector<std::string> options;
    for (std::size_t i = 0; i < controls_.size() && i < other.controls_.size(); ++i) {
        const Control& c = controls_[i];
        if (c.text == other.controls_[i].text) continue;
        if (!c.flag) {
            options.insert(options.end(), {"--" + c.name, c.text});
        } else if (c.text == "on") {
            options.push_back("--" + c.name);  // a flag only sets
        }
    }
    return options;
}

std::vector<std::string> ValueOptions::Keys(const ValueOptions& other, int frame) const {
    std::vector<std::string> keys;
    for (std::size_t i = 0; i < controls_.size() && i < other.controls_.size(); ++i) {
        const Control& c = controls_[i];
        if (c.animatable && !c.flag && c.text != other.controls_[i].text) {
            keys.insert(keys.end(), {"--key", c.name + "@" + std::to_string(frame) + "=" + c.text});
        }
    }
    return keys;
}

}  // namespace quorvel::cli
