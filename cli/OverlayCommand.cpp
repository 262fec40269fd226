#include <iostream>

#include "cli/Commands.h"
#include "cli/ControlsFrame.h"
#include "cli/ViewOptions.h"
#include "shots/OverlayPicture.h"
#include "shots/Session.h"

namespace quorvel::cli {

namespace {

constexpr const char* kUsage =
    "usage: quorvel-host overlay [--in INPUT] --out OUTPUT.png [render options] [view options]\n"
    "       quorvel-host overlay --frames F [--in IN.%04d.EXT] [keys] --out OUT.png\n"
    "\n"
    "Renders the frame through the module, then sends it a draw event for the\n"
    "composition or layer window and saves the window as the host would show it:\n"
    "the rendered frame over a checkerboard at the window's zoom, with the\n"
    "module's outline and handles drawn on top. The window shows the layer: an\n"
    "image's display window, whose top-left corner is the layer's (0, 0); a data\n"
    "window beyond it (overscan) is rendered, and lies outside the window.\n"
    "With --frames F it shows frame F of the shot the keys animate (--key, --keys,\n"
    "the clock and keyframe text options as render takes them), a numbered --in\n"
    "giving frame F's file: the frame render --frames renders, with its values.\n\n";

}  // namespace

int RunOverlay(const ToolContext& ctx, const std::vector<std::string>& argv) {
    ControlsRequest request;
    std::optional<std::string> out;
    sim::View view;
    CommandLine line(kUsage);
    AddControlsOptions(line, request, "overlay", false);
    line.Value("out", "OUTPUT.png", "the window picture (required)", [&](const std::string& v) { out = v; });
    AddViewOptions(line, view);
    if (!line.Parse(argv, std::cout)) return 0;
    if (!out) throw UsageError("overlay needs --out OUTPUT.png");
    shots::CheckOverlayPictureOutput(*out);

    const std::unique_ptr<ControlsFrame> frame = OpenControlsFrame(ctx, request, true);
    const sim::World& input = frame->input();
    sim::World rendered(input.layout(), input.width(), input.height());
    frame->session().Render(frame->params(), rendered);
    shots::WriteOverlayPicture(frame->session(), frame->params(), rendered, view, *out);
    std::cout << "wrote " << *out << "\n";
    return 0;
}

}  // namespace quorvel::cli
