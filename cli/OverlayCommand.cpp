#include <iostream>

#include "cli/Commands.h"
#include "cli/ControlsFrame.h"
#include "cli/ViewOptions.h"
#include "shots/OverlayPicture.h"
#include "shots/Session.h"

namespace quorvel::cli {

namespace {

constexpr const char* kUsage = "overlay [options] [--in INPUT] --out OUTPUT.png";

}  // namespace

int RunOverlay(const ToolContext& ctx, const std::vector<std::string>& argv) {
    ControlsRequest request;
    std::optional<std::string> out;
    frames::View view;
    CommandLine line(ctx, kUsage);
    AddControlsOptions(line, request, "overlay", false);
    line.Group(OptionGroup::Output);
    line.Value("out", "OUTPUT.png", "the window picture (required)", [&](const std::string& v) { out = v; });
    AddViewOptions(line, view);
    if (!line.Parse(argv, std::cout)) return 0;
    if (!out) throw UsageError("overlay needs --out OUTPUT.png");
    shots::CheckOverlayPictureOutput(*out);

    const std::unique_ptr<ControlsFrame> frame = OpenControlsFrame(ctx, request, true);
    const frames::World& input = frame->input();
    frames::World rendered(input.layout(), input.width(), input.height());
    frame->session().Render(frame->params(), rendered);
    shots::WriteOverlayPicture(frame->session(), frame->params(), rendered, view, *out);
    std::cout << "wrote " << *out << "\n";
    return 0;
}

}  // namespace quorvel::cli
