#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <thread>

#include "ModuleFile.h"
#include "cli/ModuleOption.h"
#include "cli/RenderRequest.h"
#include "shots/ContactSheet.h"
#include "shots/FrameFiles.h"
#include "shots/FrameMemory.h"
#include "shots/Interrupt.h"
#include "shots/SequenceRender.h"

namespace quorvel::cli {

namespace {

/// The exit status of a run stopped by Ctrl-C: 128 + SIGINT, as shells report it.
constexpr int kInterruptedStatus = 130;

int HardwareThreads() { return std::max(1, int(std::thread::hardware_concurrency())); }

/// "frames 1001-1040 complete; 1041-1240 not rendered"
std::string CompletionText(const shots::SequenceOutcome& outcome) {
    return "frames " + shots::FrameRangesText(outcome.complete) + " complete; " +
           shots::FrameRangesText(outcome.missing) + " not rendered (rerun with --skip-existing to render only those)";
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

int RunSequence(const ToolContext& ctx, const RenderRequest& r) {
    for (const CLI::Option* option : r.frame_options) {
        if (CommandLine::Given(option)) {
            throw UsageError(CommandLine::NameOf(option) + " applies to single frames, not to --frames sequences");
        }
    }
    const ShotChoice& shot = r.shot;
    if (!shot.frames) {
        for (const auto& [option, name] : {std::pair{"out", r.out}, std::pair{"in", r.in}}) {
            if (name && shots::FramePattern::LooksNumbered(*name)) {
                throw UsageError("--" + std::string(option) + " '" + *name +
                                 "' is a numbered file name: give the frames to render with --frames");
            }
        }
        throw UsageError("sequence options need --frames LIST");
    }
    shots::SequencePlan plan;
    plan.frames = *shot.frames;
    const bool dry_run = shot.dry_run;
    if (!r.out && !dry_run) throw UsageError("render needs --out OUTPUT");
    if (r.out) {
        plan.output = shots::FramePattern("out", *r.out);
        if (!plan.output.numbered() && plan.frames.size() > 1) {
            throw UsageError("--out '" + *r.out + "' has no frame number field (such as %04d or ####) to hold " +
                             std::to_string(plan.frames.size()) + " frames");
        }
    }
    if (r.in) {
        shots::FramePattern pattern("in", *r.in);
        if (pattern.numbered()) plan.input = pattern;
    }
    plan.rate = shot.rate;
    for (int frame : {plan.frames.front(), plan.frames.back()}) plan.rate.TimeOf(frame);
    const int jobs = std::min(shot.jobs.value_or(HardwareThreads()), int(plan.frames.size()));
    plan.skip_existing = shot.skip_existing;
    plan.settings = r.settings;

    shots::Animation animation = ReadAnimation(shot.keys, plan.rate, plan.frames.front());
    const std::optional<shots::ContactSheetSettings>& sheet_settings = shot.contact_sheet;
    if (!dry_run) {
        shots::CheckOutputPath(plan.output.PathFor(plan.frames.front()));
        if (sheet_settings) shots::CheckOutputPath(sheet_settings->path);
        plan.out_options = OutputFormatFor(r.out_format, plan.output.PathFor(plan.frames.front()));
    }

    // The first frame's input decides the layer's size and, for .npy
    // files, the depth of the whole shot.
    std::optional<std::filesystem::path> first_path;
    if (r.in) first_path = plan.input ? plan.input->PathFor(plan.frames.front()) : std::filesystem::path(*r.in);
    std::optional<sim::ImageFormat> first_format;
    const sim::World first = shots::ReadInputFrame(first_path, plan.settings, {}, &first_format);
    plan.layer_width = first.width();
    plan.layer_height = first.height();
    if (!plan.input) {
        plan.still = &first;  // read once, shared: the module only reads its input
        if (first_format) plan.still_format = &*first_format;
    }
    if (plan.input && r.out && !dry_run) {
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
        shots::CheckFramesFit(plan.settings.layout, plan.layer_width, plan.layer_height, 0,
                              plan.input ? 2 * plan.in_flight : plan.in_flight,
                              "the " + std::to_string(plan.in_flight) + " frames in flight of --jobs " +
                                  std::to_string(jobs) + " (use fewer jobs)");
    }

    const sim::LoadedModule module(ResolveModulePath(ctx.argv0, r.module));
    std::vector<std::unique_ptr<shots::Session>> owned;
    owned.push_back(
        std::make_unique<shots::Session>(module.entry(), plan.settings, plan.layer_width, plan.layer_height));
    animation.Resolve(owned.front()->Params(first), shots::EffectDisplayName(module.descriptor()));
    for (const std::string& name : animation.KeyedNames()) {
        if (r.settings.Sets(name)) {
            throw UsageError("--" + name + " and keys on " + name + " both set it: with keys, the keys decide");
        }
    }
    for (const std::string& note : animation.Notes()) std::cerr << "quorvel-host: " << note << "\n";
    plan.animation = &animation;

    if (dry_run) {
        for (int frame : plan.frames) {
            const sim::ParamSet params = shots::ParamsAtFrame(*owned.front(), plan, first, frame);
            std::cout << frame << " time=" << plan.rate.TimeOf(frame) << "/" << plan.rate.time_scale << " "
                      << shots::DescribeAnimatable(params) << "\n";
        }
        return 0;
    }

    for (int i = 1; i < jobs; ++i) {
        owned.push_back(
            std::make_unique<shots::Session>(module.entry(), plan.settings, plan.layer_width, plan.layer_height));
    }
    std::vector<shots::Session*> instances;
    for (const auto& session : owned) instances.push_back(session.get());
    std::optional<shots::ContactSheet> sheet;
    if (sheet_settings) sheet.emplace(*sheet_settings, plan.frames, plan.layer_width, plan.layer_height);
    const int removed = shots::RemoveAbandonedTemporaries(plan);

    shots::Progress progress(shots::Progress::ForStderr(shot.quiet), std::cerr, int(plan.frames.size()));
    shots::SequenceOutcome outcome;
    {
        shots::InterruptScope interrupts;
        outcome = shots::RenderSequence(plan, instances, progress, sheet ? &*sheet : nullptr,
                                        [] { return shots::InterruptScope::Requested(); });
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
              << shots::FrameRangesText(plan.frames) << " to " << plan.output.text() << " in "
              << shots::Progress::DurationText(progress.Elapsed()) << " (" << rate << " frames/s, " << jobs
              << " at once)";
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
