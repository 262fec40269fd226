#include "cli/ControlsFrame.h"

#include "cli/FrameOptions.h"
#include "cli/ModuleOption.h"
#include "cli/RenderOptions.h"
#include "cli/SequenceOptions.h"
#include "cli/SettingFlags.h"
#include "imagefiles/TestCard.h"
#include "shots/FramePattern.h"
#include "shots/PixelAspect.h"
#include "shots/ValueText.h"

namespace quorvel::cli {

namespace {

/// A single frame, read and set up as a single-frame render does.
class StillFrame : public ControlsFrame {
public:
    StillFrame(const ToolContext& ctx, ControlsRequest& r, bool pixels)
        : input_(Read(r, pixels, format_)),
          place_(shots::LayerPlaceOf(input_, format_ ? &*format_ : nullptr)),
          session_(ResolveModulePath(ctx.argv0, r.module), r.shot.render, place_.width, place_.height),
          params_(session_.Params(input_)) {
        // As render places it: on an image's display window, overscan around it.
        session_.Place(place_);
    }

    shots::Session& session() override { return session_; }
    const frames::World& input() const override { return input_; }
    sim::ParamSet& params() override { return params_; }

private:
    static frames::World Read(ControlsRequest& r, bool pixels, std::optional<imagefiles::ImageFormat>& format) {
        if (!r.shot.input && !pixels) {
            // Where nothing is drawn only the test card's size matters.
            const auto [width, height] =
                r.card.card_size.value_or(std::pair{imagefiles::kTestCardWidth, imagefiles::kTestCardHeight});
            return frames::World(r.shot.render.layout, width, height);
        }
        const std::optional<std::filesystem::path> path =
            r.shot.input ? std::optional<std::filesystem::path>(*r.shot.input) : std::nullopt;
        frames::World input = shots::ReadInputFrame(path, r.shot.render, r.card, &format);
        SayReadingNotes(format ? &*format : nullptr);
        if (r.shot.input) {
            if (const auto note = shots::SettlePixelAspect(r.shot.render, format ? &*format : nullptr, *r.shot.input))
                Say(*note);
        }
        return input;
    }

    std::optional<imagefiles::ImageFormat> format_;
    frames::World input_;
    shots::LayerPlace place_;
    shots::Session session_;
    sim::ParamSet params_;
};

}  // namespace

void AddControlsOptions(CommandLine& line, ControlsRequest& r, const std::string& command, bool size) {
    AddModuleOption(line, r.module);
    line.Group(OptionGroup::Input);
    CLI::Option* in =
        line.Value("in", "INPUT",
                   "the layer: an image file or a .npy array, numbered for --frames (default: the built-in test card)",
                   [&r](const std::string& v) { r.shot.input = v; });
    std::vector<CLI::Option*> single_only;
    if (size) {
        CLI::Option* card = line.Value("size", "WxH", "the test card's size when there is no --in (default 1920x1080)",
                                       [&r](const std::string& v) { r.card.card_size = shots::ParseSize("size", v); });
        // An input file's layer has its own size.
        line.Excludes(card, in);
        single_only.push_back(card);
    }
    AddImageInputOptions(line, r.shot.render.image);
    AddRenderOptions(line, r.shot.render);
    line.Group(OptionGroup::Shot);
    CLI::Option* frames = line.Value(
        "frames", "F", "show frame F of a shot: the keys' values at F, and F's file of a numbered --in",
        [&r, command](const std::string& v) {
            const std::vector<int> list = shots::ParseFrameList("frames", v);
            if (list.size() != 1) {
                throw UsageError("--frames " + v + ": " + command + " shows one frame of a shot, such as --frames " +
                                 std::to_string(list.front()));
            }
            r.frame = list.front();
        });
    const std::size_t before_shot = line.Declared();
    AddFrameRateOption(line, r.shot.rate);
    AddKeyOptions(line, r.keys);
    // The clock and the keys are a shot's, which --frames says which frame of.
    for (CLI::Option* option : line.DeclaredSince(before_shot)) CommandLine::Needs(option, frames);
    line.Then([&r, frames, single_only] {
        for (const CLI::Option* option : single_only) {
            if (CommandLine::Given(option) && CommandLine::Given(frames)) {
                throw UsageError(CommandLine::NameOf(option) + " applies to single frames, not to a shot's --frames");
            }
        }
        if (!r.frame && r.shot.input && shots::FramePattern::LooksNumbered(*r.shot.input)) {
            throw UsageError("--in '" + *r.shot.input +
                             "' is a numbered file name: give the frame to show with --frames F");
        }
    });
}

std::unique_ptr<ControlsFrame> OpenControlsFrame(const ToolContext& ctx, ControlsRequest& request, bool pixels) {
    if (request.frame) return OpenShotFrame(ctx, request);
    return std::make_unique<StillFrame>(ctx, request, pixels);
}

}  // namespace quorvel::cli
