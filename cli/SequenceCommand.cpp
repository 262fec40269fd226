#include "SequenceCommand.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <thread>

#include "ContactSheet.h"
#include "FrameMemory.h"
#include "FrameFiles.h"
#include "Interrupt.h"
#include "KeysCommand.h"
#include "ModuleOption.h"
#include "Parse.h"
#include "SequenceRender.h"

namespace quorvel::cli {

namespace {

/// The exit status of a run stopped by Ctrl-C: 128 + SIGINT, as shells report it.
constexpr int kInterruptedStatus = 130;

int ParseCount(const Args& args, const std::string& option, int min, int max, int fallback) {
    const auto v = args.Get(option);
    if (!v) return fallback;
    const int n = ParseInt(option, *v);
    if (n < min || n > max) {
        throw UsageError("--" + option + " must be between " + std::to_string(min) + " and " + std::to_string(max));
    }
    return n;
}

std::optional<ContactSheetSettings> ParseContactSheet(const Args& args) {
    const auto path = args.Get("contact-sheet");
    if (!path) {
        for (const char* option : {"contact-every", "contact-columns", "contact-width"}) {
            if (args.Has(option)) throw UsageError(std::string("--") + option + " needs --contact-sheet PATH.png");
        }
        return std::nullopt;
    }
    ContactSheetSettings s;
    s.path = *path;
    s.every = ParseCount(args, "contact-every", 1, 1 << 30, 0);
    s.columns = ParseCount(args, "contact-columns", 1, 100, s.columns);
    s.thumbnail_width = ParseCount(args, "contact-width", 16, 4096, s.thumbnail_width);
    return s;
}

int HardwareThreads() { return std::max(1, int(std::thread::hardware_concurrency())); }

/// "frames 1001-1040 complete; 1041-1240 not rendered"
std::string CompletionText(const SequenceOutcome& outcome) {
    return "frames " + FrameRangesText(outcome.complete) + " complete; " + FrameRangesText(outcome.missing) +
           " not rendered (rerun with --skip-existing to render only those)";
}

std::string Plural(std::size_t n, const char* word) { return std::to_string(n) + " " + word + (n == 1 ? "" : "s"); }

}  // namespace

const char* const kSequenceHelp =
    "Sequences: with --frames, every frame of the list is rendered by a render\n"
    "command of its own, at the frame's time (--fps, default 24). --in and --out\n"
    "then name numbered files, printf style (shot.%04d.exr) or one hash a digit\n"
    "(shot.####.exr); an --in without a number is every frame's input, and\n"
    "without --in the test card is. Frame lists: 1001-1240, 1001, 1-100x5\n"
    "(every fifth frame), or several of those joined by commas.\n"
    "\n"
    "Keyframes: --key NAME@FRAME=VALUE[:linear|hold|ease] keys an animatable\n"
    "control (origin, width, height, angle, feather, opacity; VALUE is X,Y for\n"
    "the origin). From a key, linear (the default) runs straight to the next\n"
    "key, hold keeps the value until the next key, and ease slows the value to\n"
    "a stop at the key on both of its sides. Before the first key and after the\n"
    "last, the value stays. --keys FILE.json holds longer animations:\n"
    "  {\"width\": [{\"frame\": 1001, \"value\": 300, \"interpolation\": \"ease\"},\n"
    "             {\"frame\": 1240, \"value\": 900}],\n"
    "   \"origin\": [{\"frame\": 1001, \"value\": [960, 540]}]}\n"
    "--keys also reads the keyframe text the compositing host copies and\n"
    "trackers export (told by its first line): this effect's blocks key their\n"
    "controls, other blocks are listed and skipped, and a point track drives\n"
    "the origin with --track origin (or on its own when it is all the file\n"
    "holds), moved by --track-offset X,Y. Its first frame lands on the first of\n"
    "--frames, or on --keys-start FRAME; data at another rate than --fps is\n"
    "converted by time, or refused with --strict-timing. 'quorvel-host keys'\n"
    "writes keys as that text.\n"
    "--dry-run prints every frame's values instead of rendering.\n"
    "\n"
    "--jobs frames render at once, each on an effect instance of its own, while\n"
    "others are read and written; at most twice --jobs frames are in memory.\n"
    "Progress goes to stderr (a bar on a terminal, a line per frame otherwise).\n"
    "Ctrl-C finishes the frames in progress, lists the complete ones and exits\n"
    "with status 130; --skip-existing keeps output frames that are complete, so\n"
    "a stopped run, or a render-farm task run again, renders only what is missing.\n\n";

std::vector<OptionDef> SequenceOptionDefs() {
    std::vector<OptionDef> defs = {
        {"frames", "LIST", "render a sequence: the frames, such as 1001-1240"},
        {"fps", "RATE", "frames per second of the host's clock: 24, 25, 23.976, 30000/1001... (default 24)"},
    };
    for (OptionDef& def : KeyOptionDefs()) defs.push_back(std::move(def));
    std::vector<OptionDef> rest = {
        {"dry-run", "", "print each frame's parameter values instead of rendering"},
        {"jobs", "N", "frames rendered at once (default: one per core)"},
        {"skip-existing", "", "keep output frames that are already complete"},
        {"quiet", "", "no progress on stderr"},
        {"contact-sheet", "PATH.png", "also write thumbnails of every n-th frame with the controls drawn"},
        {"contact-every", "N", "a thumbnail every N frames (default: at most 24 thumbnails)"},
        {"contact-columns", "N", "thumbnails a row (default 6)"},
        {"contact-width", "PX", "thumbnail width in pixels (default 320)"},
    };
    defs.insert(defs.end(), rest.begin(), rest.end());
    return defs;
}

bool WantsSequence(const Args& args) {
    for (const OptionDef& def : SequenceOptionDefs()) {
        // A single frame shows no progress, so --quiet asks for nothing more there.
        if (def.name != "quiet" && args.Has(def.name)) return true;
    }
    for (const char* option : {"in", "out"}) {
        if (const auto v = args.Get(option); v && FramePattern::LooksNumbered(*v)) return true;
    }
    return false;
}

int RunSequence(const ToolContext& ctx, const Args& args) {
    for (const OptionDef& def : FrameOptionDefs()) {
        if (args.Has(def.name))
            throw UsageError("--" + def.name + " applies to single frames, not to --frames sequences");
    }
    const auto frames_text = args.Get("frames");
    if (!frames_text) {
        for (const char* option : {"out", "in"}) {
            if (const auto v = args.Get(option); v && FramePattern::LooksNumbered(*v)) {
                throw UsageError("--" + std::string(option) + " '" + *v +
                                 "' is a numbered file name: give the frames to render with --frames");
            }
        }
        throw UsageError("sequence options need --frames LIST");
    }
    SequencePlan plan;
    plan.frames = ParseFrameList("frames", *frames_text);
    const bool dry_run = args.Has("dry-run");
    const auto out = args.Get("out");
    if (!out && !dry_run) throw UsageError("render needs --out OUTPUT");
    if (out) {
        plan.output = FramePattern("out", *out);
        if (!plan.output.numbered() && plan.frames.size() > 1) {
            throw UsageError("--out '" + *out + "' has no frame number field (such as %04d or ####) to hold " +
                             std::to_string(plan.frames.size()) + " frames");
        }
    }
    const auto in = args.Get("in");
    if (in) {
        FramePattern pattern("in", *in);
        if (pattern.numbered()) plan.input = pattern;
    }
    if (const auto v = args.Get("fps")) plan.rate = ParseFrameRate("fps", *v);
    for (int frame : {plan.frames.front(), plan.frames.back()}) plan.rate.TimeOf(frame);
    const int jobs = std::min(ParseCount(args, "jobs", 1, 256, HardwareThreads()), int(plan.frames.size()));
    plan.skip_existing = args.Has("skip-existing");
    plan.settings = ParseRenderSettings(args);

    Animation animation = ReadAnimation(args, plan.rate, plan.frames.front());
    const std::optional<ContactSheetSettings> sheet_settings = ParseContactSheet(args);
    if (!dry_run) {
        CheckOutputPath(plan.output.PathFor(plan.frames.front()));
        if (sheet_settings) CheckOutputPath(sheet_settings->path);
        plan.out_options = ParseOutputFormat(args, plan.output.PathFor(plan.frames.front()));
    }

    // The first frame's input decides the layer's size and, for .npy
    // files, the depth of the whole shot.
    std::optional<std::filesystem::path> first_path;
    if (in) first_path = plan.input ? plan.input->PathFor(plan.frames.front()) : std::filesystem::path(*in);
    std::optional<sim::ImageFormat> first_format;
    const sim::World first = ReadInputFrame(first_path, plan.settings, {}, &first_format);
    plan.layer_width = first.width();
    plan.layer_height = first.height();
    if (!plan.input) {
        plan.still = &first;  // read once, shared: the module only reads its input
        if (first_format) plan.still_format = &*first_format;
    }
    if (plan.input && out && !dry_run) {
        std::error_code ec;
        if (std::filesystem::weakly_canonical(*first_path, ec) ==
            std::filesystem::weakly_canonical(plan.output.PathFor(plan.frames.front()), ec)) {
            throw UsageError("--out names the input files: the render would replace its own input");
        }
    }

    // Frames share the cores: each instance's pixel iteration gets its share.
    if (plan.settings.threads == 0) plan.settings.threads = std::max(1, HardwareThreads() / jobs);
    plan.in_flight = 2 * jobs;
    // Each frame in flight holds its input and its output (a still is
    // shared, and read already).
    if (!dry_run) {
        CheckFramesFit(plan.settings.layout, plan.layer_width, plan.layer_height, 0,
                       plan.input ? 2 * plan.in_flight : plan.in_flight,
                       "the " + std::to_string(plan.in_flight) + " frames in flight of --jobs " +
                           std::to_string(jobs) + " (use fewer jobs)");
    }

    const sim::LoadedModule module(ResolveModulePath(ctx.argv0, args));
    std::vector<std::unique_ptr<Session>> owned;
    owned.push_back(std::make_unique<Session>(module.entry(), plan.settings, plan.layer_width, plan.layer_height));
    animation.Resolve(owned.front()->Params(first), EffectDisplayName(module.descriptor()));
    for (const std::string& name : animation.KeyedNames()) {
        if (args.Has(name)) {
            throw UsageError("--" + name + " and keys on " + name + " both set it: with keys, the keys decide");
        }
    }
    for (const std::string& note : animation.Notes()) std::cerr << "quorvel-host: " << note << "\n";
    plan.animation = &animation;

    if (dry_run) {
        for (int frame : plan.frames) {
            const sim::ParamSet params = ParamsAtFrame(*owned.front(), plan, first, frame);
            std::cout << frame << " time=" << plan.rate.TimeOf(frame) << "/" << plan.rate.time_scale << " "
                      << DescribeAnimatable(params) << "\n";
        }
        return 0;
    }

    for (int i = 1; i < jobs; ++i) {
        owned.push_back(std::make_unique<Session>(module.entry(), plan.settings, plan.layer_width, plan.layer_height));
    }
    std::vector<Session*> instances;
    for (const auto& session : owned) instances.push_back(session.get());
    std::optional<ContactSheet> sheet;
    if (sheet_settings) sheet.emplace(*sheet_settings, plan.frames, plan.layer_width, plan.layer_height);
    const int removed = RemoveAbandonedTemporaries(plan);

    Progress progress(Progress::ForStderr(args.Has("quiet")), std::cerr, int(plan.frames.size()));
    SequenceOutcome outcome;
    {
        InterruptScope interrupts;
        outcome = RenderSequence(plan, instances, progress, sheet ? &*sheet : nullptr,
                                 [] { return InterruptScope::Requested(); });
    }
    progress.Finish();

    if (outcome.failure) {
        std::cerr << "quorvel-host: " << outcome.failure->message << "\n"
                  << "quorvel-host: stopped: " << CompletionText(outcome) << "\n";
        return outcome.failure->status;
    }
    if (outcome.interrupted) {
        std::cerr << "quorvel-host: interrupted: " << CompletionText(outcome) << "\n";
        if (sheet) std::cerr << "quorvel-host: the contact sheet was not written\n";
        return kInterruptedStatus;
    }

    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f", progress.Rate());
    std::cout << "rendered " << Plural(std::size_t(progress.rendered()), "frame") << " of "
              << FrameRangesText(plan.frames) << " to " << plan.output.text() << " in "
              << Progress::DurationText(progress.Elapsed()) << " (" << rate << " frames/s, " << jobs << " at once)";
    if (progress.skipped() > 0) std::cout << "; " << progress.skipped() << " already complete";
    if (removed > 0)
        std::cout << "; removed " << Plural(std::size_t(removed), "unfinished file") << " of an earlier run";
    std::cout << "\n";
    if (sheet) {
        sheet->Write();
        std::cout << "wrote " << sheet_settings->path.string() << " (a thumbnail every "
                  << Plural(std::size_t(sheet->every()), "frame") << ")\n";
    }
    return 0;
}

}  // namespace quorvel::cli
