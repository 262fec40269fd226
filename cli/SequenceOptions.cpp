#include "cli/SequenceOptions.h"

#include <memory>

#include "shots/FramePattern.h"
#include "shots/ValueText.h"

namespace quorvel::cli {

namespace {

int Count(const std::string& option, const std::string& text, int min, int max) {
    const int n = shots::ParseInt(option, text);
    if (n < min || n > max) {
        throw UsageError("--" + option + " must be between " + std::to_string(min) + " and " + std::to_string(max));
    }
    return n;
}

}  // namespace

void AddSequenceOptions(CommandLine& line, ShotChoice& c) {
    std::vector<CLI::Option*> shot_only = {
        line.Value("frames", "LIST", "render a sequence: the frames, such as 1001-1240",
                   [&c](const std::string& v) { c.frames = shots::ParseFrameList("frames", v); }),
        line.Value("chunk", "SIZE:INDEX",
                   "render only the INDEX-th (from 0) run of SIZE frames of --frames, as a scheduler's array task "
                   "(--chunk 8:$SLURM_ARRAY_TASK_ID)",
                   [&c](const std::string& v) { c.chunk = shots::ParseFrameChunk("chunk", v); }),
        line.Value("fps", "RATE", "frames per second of the host's clock: 24, 25, 23.976, 30000/1001... (default 24)",
                   [&c](const std::string& v) { c.rate = shots::ParseFrameRate("fps", v); }),
    };
    const std::size_t before_keys = line.Declared();
    AddKeyOptions(line, c.keys);
    for (CLI::Option* option : line.DeclaredSince(before_keys)) shot_only.push_back(option);
    shot_only.push_back(line.Flag("dry-run", "print each frame's parameter values instead of rendering", c.dry_run));
    shot_only.push_back(line.Value("jobs", "N", "frames rendered at once (default: one per core)",
                                   [&c](const std::string& v) { c.jobs = Count("jobs", v, 1, 256); }));
    shot_only.push_back(line.Flag("skip-existing", "keep output frames that are already complete", c.skip_existing));
    line.Flag("quiet", "no progress on stderr", c.quiet);
    // The sheet's settings are filled in as they come and kept only when the
    // sheet itself is asked for.
    auto sheet = std::make_shared<shots::ContactSheetSettings>();
    CLI::Option* path =
        line.Value("contact-sheet", "PATH.png", "also write thumbnails of every n-th frame with the controls drawn",
                   [sheet](const std::string& v) { sheet->path = v; });
    shot_only.push_back(path);
    for (CLI::Option* option : {
             line.Value("contact-every", "N", "a thumbnail every N frames (default: at most 24 thumbnails)",
                        [sheet](const std::string& v) { sheet->every = Count("contact-every", v, 1, 1 << 30); }),
             line.Value("contact-columns", "N", "thumbnails a row (default 6)",
                        [sheet](const std::string& v) { sheet->columns = Count("contact-columns", v, 1, 100); }),
             line.Value(
                 "contact-width", "PX", "thumbnail width in pixels (default 320)",
                 [sheet](const std::string& v) { sheet->thumbnail_width = Count("contact-width", v, 16, 4096); }),
         }) {
        CommandLine::Needs(option, path);
        shot_only.push_back(option);
    }
    line.Then([shot_only, path, sheet, &c] {
        if (CommandLine::Given(path)) c.contact_sheet = *sheet;
        for (const CLI::Option* option : shot_only) c.asks_for_shot = c.asks_for_shot || CommandLine::Given(option);
    });
}

}  // namespace quorvel::cli
