#include <cstdio>
#include <iostream>

#include "cli/ModuleOption.h"
#include "cli/RenderRequest.h"
#include "shots/Shot.h"

namespace quorvel::cli {

namespace {

/// The exit status of a run stopped by Ctrl-C: 128 + SIGINT, as shells report it.
constexpr int kInterruptedStatus = 130;

/// "frames 1001-1040 complete; 1041-1240 not rendered", with the way on
/// where a rerun can finish the shot: a stopped run, or an output that
/// could not be written. A fault of the input or the module comes back.
std::string CompletionText(const shots::SequenceOutcome& outcome) {
    const bool rerun = !outcome.failure || outcome.failure->output;
    return "frames " + shots::FrameRangesText(outcome.complete) + " complete; " +
           shots::FrameRangesText(outcome.missing) + " not rendered" +
           (rerun ? " (rerun with --skip-existing to render only those)" : "");
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
    "holds), moved by --track-offset X,Y; --track transform carries the matte\n"
    "with the layer's Anchor Point, Position, Scale and Rotation from\n"
    "--track-reference FRAME. Its first frame lands where the shot begins:\n"
    "on --keys-start FRAME, else on the first input frame on disk, else on the\n"
    "first of --frames (so give --keys-start to render a part of a longer shot\n"
    "of the test card); one line says where it landed. Data at another rate\n"
    "than --fps is converted by time, or refused with --strict-timing. Values\n"
    "outside a control's range are refused in options and --key, and clamped\n"
    "in key files, as the host clamps pasted keys. 'quorvel-host keys' writes\n"
    "keys as that text.\n"
    "--dry-run prints every frame's values instead of rendering.\n"
    "--chunk SIZE:INDEX renders the INDEX-th (from 0) run of SIZE frames of\n"
    "--frames, as an array task of a cluster scheduler: --chunk 8:$SLURM_ARRAY_TASK_ID\n"
    "(or AWS_BATCH_JOB_ARRAY_INDEX, JOB_COMPLETION_INDEX). An index past the last\n"
    "chunk renders nothing, says so and exits 0.\n"
    "Every input frame is checked from its header before the first renders:\n"
    "missing frames, and frames of another size or other channels than the\n"
    "first, are listed and nothing is written.\n"
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
    const ShotChoice& choice = r.shot;
    if (choice.chunk && !choice.frames)
        throw UsageError("--chunk SIZE:INDEX is a share of --frames LIST: give the frames");
    if (!choice.frames) {
        for (const auto& [option, name] : {std::pair{"out", r.out}, std::pair{"in", r.in}}) {
            if (name && shots::FramePattern::LooksNumbered(*name)) {
                throw UsageError("--" + std::string(option) + " '" + *name +
                                 "' is a numbered file name: give the frames to render with --frames");
            }
        }
        throw UsageError("sequence options need --frames LIST");
    }
    shots::ShotSettings settings;
    settings.frames = *choice.frames;
    if (choice.chunk) {
        if (choice.contact_sheet) {
            throw UsageError("--contact-sheet draws the whole shot: with --chunk every task would write its own");
        }
        settings.frames = shots::FramesOfChunk(*choice.frames, *choice.chunk);
        if (settings.frames.empty()) {
            // An array rounded up to whole chunks has tasks with nothing to do.
            const std::size_t chunks =
                (choice.frames->size() + std::size_t(choice.chunk->size) - 1) / std::size_t(choice.chunk->size);
            std::cout << "chunk " << choice.chunk->index << " is past the last of --frames "
                      << shots::FrameRangesText(*choice.frames) << " (" << Plural(chunks, "chunk") << " of "
                      << choice.chunk->size << "): nothing to render\n";
            return 0;
        }
    }
    settings.input = r.in;
    settings.output = r.out;
    settings.out_options = r.out_format;
    settings.render = r.settings;
    settings.rate = choice.rate;
    settings.jobs = choice.jobs;
    settings.skip_existing = choice.skip_existing;
    settings.dry_run = choice.dry_run;
    settings.contact_sheet = choice.contact_sheet;
    // Keyframe text lands where the shot begins, whichever share of it renders.
    settings.list_first = choice.frames->front();
    shots::Shot shot(settings, [&](const shots::FrameRate& rate, const shots::KeyLanding& landing) {
        return ReadAnimation(choice.keys, rate, landing);
    });
    shot.Load(ResolveModulePath(ctx.argv0, r.module));
    for (const std::string& note : shot.Notes()) std::cerr << "quorvel-host: " << note << "\n";
    if (choice.dry_run) {
        for (const std::string& line : shot.Describe()) std::cout << line << "\n";
        return 0;
    }

    shots::Progress progress(shots::Progress::ForStderr(choice.quiet), std::cerr, int(shot.frames().size()));
    const shots::ShotResult result = shot.Render(progress);
    const shots::SequenceOutcome& outcome = result.outcome;
    if (outcome.failure) {
        std::cerr << "quorvel-host: " << outcome.failure->message << "\n"
                  << "quorvel-host: stopped: " << CompletionText(outcome) << "\n";
        return outcome.failure->status;
    }
    if (outcome.interrupted) {
        std::cerr << "quorvel-host: interrupted: " << CompletionText(outcome) << "\n";
        if (choice.contact_sheet) std::cerr << "quorvel-host: the contact sheet was not written\n";
        return kInterruptedStatus;
    }

    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f", progress.Rate());
    std::cout << "rendered " << Plural(std::size_t(progress.rendered()), "frame") << " of "
              << shots::FrameRangesText(shot.frames()) << " to " << shot.output().text() << " in "
              << shots::Progress::DurationText(progress.Elapsed()) << " (" << rate << " frames/s, " << shot.jobs()
              << " at once)";
    if (progress.skipped() > 0) std::cout << "; " << progress.skipped() << " already complete";
    if (result.removed_temporaries > 0) {
        std::cout << "; removed " << Plural(std::size_t(result.removed_temporaries), "unfinished file")
                  << " of an earlier run";
    }
    std::cout << "\n";
    if (result.sheet_written) {
        std::cout << "wrote " << choice.contact_sheet->path.string() << " (a thumbnail every "
                  << Plural(std::size_t(result.sheet_every), "frame") << ")\n";
    }
    return 0;
}

}  // namespace quorvel::cli
