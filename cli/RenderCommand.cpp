#include <iostream>

#include "Commands.h"
#include "FrameFiles.h"
#include "ImageFrames.h"
#include "ModuleOption.h"
#include "RenderSettings.h"
#include "SequenceCommand.h"
#include "Session.h"

namespace quorvel::cli {

namespace {

std::vector<OptionDef> OptionDefs() {
    std::vector<OptionDef> defs = {
        ModuleOptionDef(),
        {"in", "INPUT", "input frame: an image file or a .npy array, numbered for --frames (default: the test card)"},
        {"out", "OUTPUT", "output frame: an image file or a .npy array, numbered for --frames (required)"},
    };
    for (OptionDef& def : FrameOptionDefs()) defs.push_back(std::move(def));
    for (OptionDef& def : OutputFormatOptionDefs()) defs.push_back(std::move(def));
    for (OptionDef& def : RenderOptionDefs()) defs.push_back(std::move(def));
    for (OptionDef& def : SequenceOptionDefs()) defs.push_back(std::move(def));
    defs.push_back({"help", "", "show this help"});
    return defs;
}

constexpr const char* kUsage =
    "usage: quorvel-host render [--module PATH] [--in INPUT] --out OUTPUT [options]\n"
    "       quorvel-host render --frames LIST [--in INPUT.%04d.EXT] --out OUTPUT.%04d.EXT [--key ...] [options]\n"
    "\n"
    "Renders one frame through the module, as the host does: global setup,\n"
    "parameter setup, then the render command with the parameter values below\n"
    "(the defaults are those the module registers). Frames go by extension:\n"
    ".npy arrays of shape (H, W, 4) hold exact pixel data in the world's memory\n"
    "order (A,R,G,B with --host ae, B,G,R,A with --host premiere), uint8, uint16\n"
    "(0..32768) or float32. The output is written only when the render\n"
    "succeeds, and never half-written.\n";

constexpr const char* kFrameHelp =
    "Without --in the input is the built-in test card, 1920x1080 or --size WxH.\n"
    "--row-padding BYTES gives the input and output worlds that many bytes after\n"
    "each row (hosts often pad rows to an alignment); the padding holds a fixed\n"
    "pattern, which the module must neither read as pixels nor overwrite. It must\n"
    "keep rows on whole channels: a multiple of 2 at depth 16, of 4 at 32f.\n"
    "Both apply to single frames, not to --frames sequences.\n\n";

}  // namespace

int RunRender(const ToolContext& ctx, const std::vector<std::string>& argv) {
    const std::vector<OptionDef> defs = OptionDefs();
    const Args args(argv, defs);
    if (args.Has("help")) {
        std::cout << kUsage << kImageFramesHelp << "\n" << kFrameHelp << kSequenceHelp << OptionsHelp(defs);
        return 0;
    }
    if (WantsSequence(args)) return RunSequence(ctx, args);
    if (!args.positional().empty()) throw UsageError("unexpected argument '" + args.positional().front() + "'");
    const auto out = args.Get("out");
    if (!out) throw UsageError("render needs --out OUTPUT");
    RenderSettings settings = ParseRenderSettings(args);
    const FrameOptions frame_options = ParseFrameOptions(args);
    CheckOutputPath(*out);
    const sim::ImageWriteOptions out_options = ParseOutputFormat(args, *out);

    const auto in = args.Get("in");
    std::optional<sim::ImageFormat> in_format;
    const sim::World input = ReadInputFrame(in ? std::optional<std::filesystem::path>(*in) : std::nullopt, settings,
                                            frame_options, &in_format);
    Session session(ResolveModulePath(ctx.argv0, args), settings, input.width(), input.height());
    sim::World output = MakeFrame(settings.layout, input.width(), input.height(), frame_options.row_padding);
    sim::ParamSet params = session.Params(input);
    session.Render(params, output);
    if (!RowPaddingIntact(output)) throw ModuleFailure("the render wrote into the output frame's row padding");
    WriteOutputFrame(*out, output, in_format ? &*in_format : nullptr, out_options);
    std::cout << "wrote " << *out << " (" << output.width() << "x" << output.height() << ", "
              << sim::LayoutName(settings.layout);
    // As the worlds handed to the module had it, not as asked.
    const std::size_t padding = output.rowbytes() - std::size_t(output.width()) * sim::BytesPerPixel(output.layout());
    if (padding > 0) std::cout << ", rows padded by " << padding << " bytes";
    std::cout << ")\n";
    return 0;
}

}  // namespace quorvel::cli
