#include <iostream>

#include "Commands.h"
#include "FrameFiles.h"
#include "ImageFile.h"
#include "ModuleOption.h"
#include "OverlayPicture.h"
#include "RenderSettings.h"
#include "Session.h"
#include "ViewSettings.h"

namespace quorvel::cli {

namespace {

std::vector<OptionDef> OptionDefs() {
    std::vector<OptionDef> defs = {
        ModuleOptionDef(),
        {"in", "INPUT", "input frame: an image file or a .npy array (default: the built-in test card)"},
        {"out", "OUTPUT.png", "the window picture (required)"},
    };
    for (OptionDef& def : RenderOptionDefs()) defs.push_back(std::move(def));
    for (OptionDef& def : ViewOptionDefs()) defs.push_back(std::move(def));
    defs.push_back({"help", "", "show this help"});
    return defs;
}

constexpr const char* kUsage =
    "usage: quorvel-host overlay [--in INPUT] --out OUTPUT.png [render options] [view options]\n"
    "\n"
    "Renders the frame through the module, then sends it a draw event for the\n"
    "composition or layer window and saves the window as the host would show it:\n"
    "the rendered frame over a checkerboard at the window's zoom, with the\n"
    "module's outline and handles drawn on top.\n\n";

}  // namespace

int RunOverlay(const ToolContext& ctx, const std::vector<std::string>& argv) {
    const std::vector<OptionDef> defs = OptionDefs();
    const Args args(argv, defs);
    if (args.Has("help")) {
        std::cout << kUsage << OptionsHelp(defs);
        return 0;
    }
    if (!args.positional().empty()) throw UsageError("unexpected argument '" + args.positional().front() + "'");
    const auto out = args.Get("out");
    if (!out) throw UsageError("overlay needs --out OUTPUT.png");
    RenderSettings settings = ParseRenderSettings(args);
    const sim::View view = ParseView(args);
    CheckOverlayPictureOutput(*out);

    const auto in = args.Get("in");
    const sim::World input =
        ReadInputFrame(in ? std::optional<std::filesystem::path>(*in) : std::nullopt, settings);
    Session session(ResolveModulePath(ctx.argv0, args), settings, input.width(), input.height());
    sim::World frame(settings.layout, input.width(), input.height());
    sim::ParamSet params = session.Params(input);
    session.Render(params, frame);
    WriteOverlayPicture(session, params, frame, view, *out);
    std::cout << "wrote " << *out << "\n";
    return 0;
}

}  // namespace quorvel::cli
