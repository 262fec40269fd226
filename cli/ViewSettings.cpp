#include "ViewSettings.h"

#include "Parse.h"

namespace quorvel::cli {

std::vector<OptionDef> ViewOptionDefs() {
    return {
        {"window", "comp|layer", "the window the overlay is in (default comp)"},
        {"zoom", "Z", "window pixels per source pixel (default 1)"},
        {"pan", "X,Y", "window position of the source's (0, 0) (default 0,0)"},
        {"layer-position", "X,Y", "composition position of the layer's (0, 0) (default 0,0)"},
        {"layer-scale", "S", "the layer's scale in the composition (default 1)"},
    };
}

sim::View ParseView(const Args& args) {
    sim::View view;
    if (const auto w = args.Get("window")) {
        if (*w == "layer") {
            view.window = PF_Window_LAYER;
        } else if (*w != "comp") {
            throw UsageError("--window must be comp or layer, not '" + *w + "'");
        }
    }
    if (const auto v = args.Get("zoom")) {
        view.zoom = ParseNumber("zoom", *v);
        if (!(view.zoom > 0 && view.zoom <= 64)) throw UsageError("--zoom must be above 0 and at most 64");
    }
    if (const auto v = args.Get("pan")) std::tie(view.pan_x, view.pan_y) = ParsePair("pan", *v);
    if (const auto v = args.Get("layer-position")) {
        std::tie(view.layer_x, view.layer_y) = ParsePair("layer-position", *v);
    }
    if (const auto v = args.Get("layer-scale")) {
        view.layer_scale = ParseNumber("layer-scale", *v);
        if (!(view.layer_scale > 0 && view.layer_scale <= 64)) {
            throw UsageError("--layer-scale must be above 0 and at most 64");
        }
    }
    return view;
}

}  // namespace quorvel::cli
