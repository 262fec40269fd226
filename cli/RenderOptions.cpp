#include "cli/RenderOptions.h"

#include <cctype>
#include <map>
#include <memory>
#include <optional>

#include "cli/ModuleOption.h"
#include "shots/ValueText.h"

namespace quorvel::cli {

namespace {

/// A popup, by its choices' names or by any whole number, passed through
/// unchecked.
void AddPopup(CommandLine& line, const std::string& name, const std::string& value_name, const std::string& help,
              const std::map<std::string, int>& choices, std::optional<A_long>& value) {
    std::string names;
    for (const auto& [choice, number] : choices) names += (names.empty() ? "" : ", ") + choice;
    CLI::Option* option = line.Value(name, value_name, help, [name, names, &value](const std::string& text) {
        // A choice's name arrives as its number.
        if (!text.empty() && (std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-' || text[0] == '+')) {
            value = shots::ParseInt(name, text);
        } else {
            throw UsageError("--" + name + ": '" + text + "' is not one of " + names + " or a number");
        }
    });
    CommandLine::NumberNames(option, choices);
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
    AddPopup(line, "mask-type", "ellipse|rectangle|N", "shape (default ellipse)", {{"ellipse", 1}, {"rectangle", 2}},
             s.mask_type);
    AddPopup(line, "composite", "add|subtract|intersect|create|N",
             "how the matte meets the layer's alpha (default create)",
             {{"add", 1}, {"subtract", 2}, {"intersect", 3}, {"create", 4}}, s.composite);
    AddPopup(line, "falloff", "linear|quadratic|cubic|gamma|gaussian|exponential|N", "feather profile (default linear)",
             {{"linear", 1}, {"quadratic", 2}, {"cubic", 3}, {"gamma", 4}, {"gaussian", 5}, {"exponential", 6}},
             s.falloff);
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

}  // namespace quorvel::cli
