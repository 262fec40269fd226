#include <cstdio>
#include <iostream>

#include "cli/ModuleOption.h"
#include "cli/RenderRequest.h"
#include "cli/SettingFlags.h"
#include "shots/Shot.h"

namespace quorvel::cli {

namespace {

/// The exit status of a run stopped by Ctrl-C: 128 + SIGINT, as shells report it.
constexpr int kInterruptedStatus = 130;

/// "frames 1001-1040 complete; 1041-1240 not rendered", with the way on
/// where a rerun can finish the shot: a stopped run, or an output that
/// could not be written. A fault of the input or the module comes back.
std::string CompletionText(const shots::SequenceOutcome& outcome) {
    const bool rerun = !outcome.failure || outcome.failure->kind == frames::ErrorKind::output;
    return "frames " + shots::FrameRangesText(outcome.complete) + " complete; " +
           shots::FrameRangesText(outcome.missing) + " not rendered" +
           (rerun ? " (rerun with --skip-existing to render only those)" : "");
}

std::string Plural(std::size_t n, const char* word) { return std::to_string(n) + " " + word + (n == 1 ? "" : "s"); }

}  // namespace

// A build that renders shots has nothing to add: the manual says how.
const char* const kSequenceHelp = "";

int RunSequence(const ToolContext& ctx, const RenderRequest& r) {
    for (const CLI::Option* option : r.frame_options) {
        if (CommandLine::Given(option)) {
            throw UsageError(CommandLine::NameOf(option) + " applies to single frames, not to --frames sequences");
        }
    }
    const ShotChoice& choice = r.choice;
    shots::ShotSettings settings = r.shot;
    if (choice.chunk && settings.frames.empty())
        throw UsageError("--chunk SIZE:INDEX is a share of --frames LIST: give the frames");
    if (settings.frames.empty()) {
        for (const auto& [option, name] : {std::pair{"out", settings.output}, std::pair{"in", settings.input}}) {
            if (name && shots::FramePattern::LooksNumbered(*name)) {
                throw UsageError("--" + std::string(option) + " '" + *name +
                                 "' is a numbered file name: give the frames to render with --frames");
            }
        }
        throw UsageError("sequence options need --frames LIST");
    }
    // Keyframe text lands where the shot begins, whichever share of it renders.
    settings.list_first = settings.frames.front();
    if (choice.chunk) {
        if (settings.contact_sheet) {
            throw UsageError("--contact-sheet draws the whole shot: with --chunk every task would write its own");
        }
        const std::vector<int> all = std::move(settings.frames);
        settings.frames = shots::FramesOfChunk(all, *choice.chunk);
        if (settings.frames.empty()) {
            // An array rounded up to whole chunks has tasks with nothing to do.
            const std::size_t chunks =
                (all.size() + std::size_t(choice.chunk->size) - 1) / std::size_t(choice.chunk->size);
            std::cout << "chunk " << choice.chunk->index << " is past the last of --frames "
                      << shots::FrameRangesText(all) << " (" << Plural(chunks, "chunk") << " of " << choice.chunk->size
                      << "): nothing to render\n";
            return 0;
        }
    }
    shots::Shot shot(
        settings,
        [&](const shots::FrameRate& rate, const shots::KeyLanding& landing) {
            return ReadAnimation(choice.keys, rate, landing);
        },
        Say);
    shot.Load(ResolveModulePath(ctx.argv0, r.module));
    for (const frames::Message& note : shot.Notes()) Say(note);
    if (settings.dry_run) {
        for (const std::string& line : shot.Describe()) std::cout << line << "\n";
        return 0;
    }

    shots::Progress progress(shots::Progress::ForStderr(choice.quiet), std::cerr, int(shot.frames().size()));
    const shots::ShotResult result = shot.Render(progress);
    const shots::SequenceOutcome& outcome = result.outcome;
    if (outcome.failure) {
        std::cerr << "quorvel-host: " << Spelled(outcome.failure->message) << "\n"
                  << "quorvel-host: stopped: " << CompletionText(outcome) << "\n";
        return StatusOf(outcome.failure->kind);
    }
    if (outcome.interrupted) {
        std::cerr << "quorvel-host: interrupted: " << CompletionText(outcome) << "\n";
        if (settings.contact_sheet) std::cerr << "quorvel-host: the contact sheet was not written\n";
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
        std::cout << "wrote " << settings.contact_sheet->path.string() << " (a thumbnail every "
                  << Plural(std::size_t(result.sheet_every), "frame") << ")\n";
    }
    return 0;
}

}  // namespace quorvel::cli
