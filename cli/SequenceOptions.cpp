#include "cli/SequenceOptions.h"

#include <functional>
#include <memory>

#include "shots/FramePattern.h"
#include "shots/ValueText.h"

namespace quorvel::cli {

namespace {

/// A count from `min` to `max`.
CLI::Option* Count(CommandLine& line, const std::string& name, const std::string& value_name, const std::string& help,
                   int min, int max, std::function<void(int)> store) {
    const std::string refusal = "--" + name + " must be between " + std::to_string(min) + " and " + std::to_string(max);
    return line.WholeNumber(
        name, value_name, help, min, max, [refusal](const std::string&) { return refusal; }, std::move(store));
}

}  // namespace

CLI::Option* AddFrameRateOption(CommandLine& line, shots::FrameRate& rate) {
    return line.Value("fps", "RATE",
                      "frames per second of the host's clock: 24, 25, 23.976, 30000/1001... (default 24)",
                      [&rate](const std::string& v) { rate = shots::ParseFrameRate("fps", v); });
}

void AddSequenceOptions(CommandLine& line, shots::ShotSettings& s, ShotChoice& c) {
    line.Group(OptionGroup::Shot);
    std::vector<CLI::Option*> shot_only = {
        line.Value("frames", "LIST", "render a sequence: the frames, such as 1001-1240",
                   [&s](const std::string& v) { s.frames = shots::ParseFrameList("frames", v); }),
        line.Value("chunk", "SIZE:INDEX",
                   "render only the INDEX-th (from 0) run of SIZE frames of --frames, as a scheduler's array task "
                   "(--chunk 8:$SLURM_ARRAY_TASK_ID)",
                   [&c](const std::string& v) { c.chunk = shots::ParseFrameChunk("chunk", v); }),
        AddFrameRateOption(line, s.rate),
    };
    const std::size_t before_keys = line.Declared();
    AddKeyOptions(line, c.keys);
    for (CLI::Option* option : line.DeclaredSince(before_keys)) shot_only.push_back(option);
    line.Group(OptionGroup::Shot);
    shot_only.push_back(line.Flag("dry-run", "print each frame's parameter values instead of rendering", s.dry_run));
    shot_only.push_back(Count(line, "jobs", "N", "frames rendered at once (default: one per core)", 1, 256,
                              [&s](int n) { s.jobs = n; }));
    shot_only.push_back(line.Flag("skip-existing", "keep output frames that are already complete", s.skip_existing));
    line.Flag("quiet", "no progress on stderr", c.quiet);
    // The sheet's settings are filled in as they come and kept only when the
    // sheet itself is asked for.
    auto sheet = std::make_shared<shots::ContactSheetSettings>();
    CLI::Option* path =
        line.Value("contact-sheet", "PATH.png", "also write thumbnails of every n-th frame with the controls drawn",
                   [sheet](const std::string& v) { sheet->path = v; });
    shot_only.push_back(path);
    for (CLI::Option* option : {
             Count(line, "contact-every", "N", "a thumbnail every N frames (default: at most 24 thumbnails)", 1,
                   1 << 30, [sheet](int n) { sheet->every = n; }),
             Count(line, "contact-columns", "N", "thumbnails a row (default 6)", 1, 100,
                   [sheet](int n) { sheet->columns = n; }),
             Count(line, "contact-width", "PX", "thumbnail width in pixels (default 320)", 16, 4096,
                   [sheet](int n) { sheet->thumbnail_width = n; }),
         }) {
        CommandLine::Needs(option, path);
        shot_only.push_back(option);
    }
    line.Then([shot_only, path, sheet, &s, &c] {
        if (CommandLine::Given(path)) s.contact_sheet = *sheet;
        for (const CLI::Option* option : shot_only) c.asks_for_shot = c.asks_for_shot || CommandLine::Given(option);
    });
}

}  // namespace quorvel::cli
