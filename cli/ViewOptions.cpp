#include "cli/ViewOptions.h"

#include <tuple>

#include "shots/ValueText.h"

namespace quorvel::cli {

namespace {

/// A scale factor, where a zero or huge one would make nothing visible.
double Scale(const std::string& option, const std::string& text) {
    const double v = shots::ParseNumber(option, text);
    if (!(v > 0 && v <= 64)) throw UsageError("--" + option + " must be above 0 and at most 64");
    return v;
}

}  // namespace

void AddViewOptions(CommandLine& line, frames::View& view) {
    line.Group(OptionGroup::View);
    CLI::Option* window =
        line.Value("window", "comp|layer", "the window the overlay is in (default comp)",
                   [&view](const std::string& v) { view.window = v == "layer" ? PF_Window_LAYER : PF_Window_COMP; });
    CommandLine::OneOf(window, {"comp", "layer"},
                       [](const std::string& v) { return "--window must be comp or layer, not '" + v + "'"; });
    line.Value("zoom", "Z", "window pixels per source pixel (default 1)",
               [&view](const std::string& v) { view.zoom = Scale("zoom", v); });
    line.Value("pan", "X,Y", "window position of the source's (0, 0) (default 0,0)",
               [&view](const std::string& v) { std::tie(view.pan_x, view.pan_y) = shots::ParsePair("pan", v); });
    line.Value("layer-position", "X,Y", "composition position of the layer's (0, 0) (default 0,0)",
               [&view](const std::string& v) {
                   std::tie(view.layer_x, view.layer_y) = shots::ParsePair("layer-position", v);
               });
    line.Value("layer-scale", "S", "the layer's scale in the composition (default 1)",
               [&view](const std::string& v) { view.layer_scale = Scale("layer-scale", v); });
}

}  // namespace quorvel::cli
