#include <iostream>

#include "cli/Commands.h"
#include "cli/ModuleOption.h"
#include "cli/RenderOptions.h"
#include "cli/RenderRequest.h"
#include "cli/SettingFlags.h"
#include "shots/FrameFiles.h"
#include "shots/FramePattern.h"
#include "shots/ImageFrames.h"
#include "shots/Interrupt.h"
#include "shots/PixelAspect.h"
#include "shots/Session.h"
#include "shots/ValueText.h"

namespace quorvel::cli {

namespace {

constexpr int kInterruptedStatus = 130;

constexpr const char* kUsage =
    "render [options] [--in INPUT] --out OUTPUT\n"
    "render --frames LIST [options] --out OUTPUT.%04d.EXT";

}  // namespace

bool RenderRequest::WantsSequence() const {
    if (choice.asks_for_shot) return true;
    for (const auto& name : {shot.input, shot.output}) {
        if (name && shots::FramePattern::LooksNumbered(*name)) return true;
    }
    return false;
}

int RunRender(const ToolContext& ctx, const std::vector<std::string>& argv) {
    RenderRequest r;
    shots::ShotSettings& s = r.shot;
    CommandLine line(ctx, kUsage);
    line.Note(std::string(shots::kImageFramesHelp) + kSequenceHelp);
    AddModuleOption(line, r.module);
    line.Group(OptionGroup::Input);
    CLI::Option* in = line.Value("in", "INPUT",
                                 "input frame: an image file or a .npy array, numbered for --frames (default: the "
                                 "test card)",
                                 [&s](const std::string& v) { s.input = v; });
    line.Group(OptionGroup::Output);
    line.Value("out", "OUTPUT", "output frame: an image file or a .npy array, numbered for --frames (required)",
               [&s](const std::string& v) { s.output = v; });
    r.frame_options = AddFrameOptions(line, r.frame);
    // The test card's size; an input file's frame has its own.
    line.Excludes(r.frame_options.front(), in);
    AddImageInputOptions(line, s.render.image);
    AddOutputFormatOptions(line, s.out_options);
    AddRenderOptions(line, s.render);
    AddSequenceOptions(line, s, r.choice);
    if (!line.Parse(argv, std::cout)) return 0;
    if (r.WantsSequence()) return RunSequence(ctx, r);

    if (!s.output) throw UsageError("render needs --out OUTPUT");
    shots::CheckOutputPath(*s.output);
    const imagefiles::ImageWriteOptions out_options = shots::OutputOptionsFor(s.out_options, *s.output);
    // As in a shot: Ctrl-C (or a farm's SIGTERM) lets the frame finish or
    // stop before its file is written, never halfway through it.
    shots::InterruptScope interrupts;
    // What a killed run left beside the output, as a shot clears it.
    shots::RemoveAbandonedTemporariesOf({*s.output});
    std::optional<imagefiles::ImageFormat> in_format;
    const frames::World input = shots::ReadInputFrame(
        s.input ? std::optional<std::filesystem::path>(*s.input) : std::nullopt, s.render, r.frame, &in_format);
    SayReadingNotes(in_format ? &*in_format : nullptr);
    if (s.input) {
        if (const auto note = shots::SettlePixelAspect(s.render, in_format ? &*in_format : nullptr, *s.input))
            Say(*note);
    }
    const shots::LayerPlace place = shots::LayerPlaceOf(input, in_format ? &*in_format : nullptr);
    shots::Session session(ResolveModulePath(ctx.argv0, r.module), s.render, place.width, place.height);
    session.Place(place);
    frames::World output = shots::MakeFrame(s.render.layout, input.width(), input.height(), r.frame.row_padding);
    sim::ParamSet params = session.Params(input);
    session.Render(params, output);
    if (!shots::RowPaddingIntact(output)) {
        throw shots::ModuleFailure("the render wrote into the output frame's row padding");
    }
    if (shots::InterruptScope::Requested()) {
        std::cerr << "quorvel-host: interrupted: " << *s.output << " not written\n";
        return kInterruptedStatus;
    }
    imagefiles::WrittenImage written;
    for (const std::string& note :
         shots::WriteOutputFrame(*s.output, output, in_format ? &*in_format : nullptr, out_options, &written)) {
        std::cerr << "quorvel-host: note: " << shots::Printable(*s.output + ": " + note) << "\n";
    }
    if (shots::InterruptScope::Requested()) {
        // The signal came while the file was written, which was let finish.
        std::cerr << "quorvel-host: interrupted: wrote " << *s.output << " first\n";
        return kInterruptedStatus;
    }
    // What the file holds, which a format without overscan or of other data
    // formats holds otherwise than the frame rendered.
    std::cout << "wrote " << *s.output << " (" << written.width << "x" << written.height << ", "
              << imagefiles::ChannelTypesText(written.channel_types) << ", rendered at "
              << frames::LayoutName(s.render.layout);
    // As the worlds handed to the module had it, not as asked.
    const std::size_t padding =
        output.rowbytes() - std::size_t(output.width()) * frames::BytesPerPixel(output.layout());
    if (padding > 0) std::cout << ", rows padded by " << padding << " bytes";
    std::cout << ")\n";
    return 0;
}

}  // namespace quorvel::cli
