#include <iostream>

#include "cli/Commands.h"
#include "cli/FrameOptions.h"
#include "cli/ModuleOption.h"
#include "cli/RenderOptions.h"
#include "cli/ViewOptions.h"
#include "shots/FrameFiles.h"
#include "shots/OverlayPicture.h"
#include "shots/PixelAspect.h"
#include "shots/Session.h"

namespace quorvel::cli {

namespace {

constexpr const char* kUsage = "overlay [options] [--in INPUT] --out OUTPUT.png";

}  // namespace

int RunOverlay(const ToolContext& ctx, const std::vector<std::string>& argv) {
    std::optional<std::string> module_path;
    std::optional<std::filesystem::path> in;
    std::optional<std::string> out;
    shots::RenderSettings settings;
    sim::View view;
    CommandLine line(ctx, kUsage);
    AddModuleOption(line, module_path);
    line.Group(OptionGroup::Input);
    line.Value("in", "INPUT", "input frame: an image file or a .npy array (default: the built-in test card)",
               [&](const std::string& v) { in = v; });
    line.Group(OptionGroup::Output);
    line.Value("out", "OUTPUT.png", "the window picture (required)", [&](const std::string& v) { out = v; });
    AddImageInputOptions(line, settings.image);
    AddRenderOptions(line, settings);
    AddViewOptions(line, view);
    if (!line.Parse(argv, std::cout)) return 0;
    if (!out) throw UsageError("overlay needs --out OUTPUT.png");
    shots::CheckOverlayPictureOutput(*out);

    std::optional<sim::ImageFormat> in_format;
    const sim::World input = shots::ReadInputFrame(in, settings, {}, &in_format);
    if (in) shots::SettlePixelAspect(settings, in_format ? &*in_format : nullptr, in->string());
    // As render places it: on an image's display window, overscan around it.
    const shots::LayerPlace place = shots::LayerPlaceOf(input, in_format ? &*in_format : nullptr);
    shots::Session session(ResolveModulePath(ctx.argv0, module_path), settings, place.width, place.height);
    session.Place(place);
    sim::World frame(settings.layout, input.width(), input.height());
    sim::ParamSet params = session.Params(input);
    session.Render(params, frame);
    shots::WriteOverlayPicture(session, params, frame, view, *out);
    std::cout << "wrote " << *out << "\n";
    return 0;
}

}  // namespace quorvel::cli
