/// The options only shots take: the frames, the clock, the keys, how many
/// frames at once, resuming, progress and a contact sheet.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/KeyOptions.h"
#include "shots/ContactSheet.h"
#include "shots/FramePattern.h"
#include "shots/FrameRate.h"

namespace quorvel::cli {

struct ShotChoice {
    std::optional<std::vector<int>> frames;  ///< ascending, without repeats
    std::optional<shots::FrameChunk> chunk;  ///< the share of --frames to render
    shots::FrameRate rate;
    KeyChoice keys;
    bool dry_run = false;
    std::optional<int> jobs;
    bool skip_existing = false;
    bool quiet = false;
    std::optional<shots::ContactSheetSettings> contact_sheet;
    /// Whether any option but --quiet was given: a single frame shows no
    /// progress, so --quiet asks for nothing more there.
    bool asks_for_shot = false;
};

void AddSequenceOptions(CommandLine& line, ShotChoice& choice);
/// --fps: the host's clock of a shot.
CLI::Option* AddFrameRateOption(CommandLine& line, shots::FrameRate& rate);

/// What render's help says of shots in this build: only that a build
/// without them has none.
extern const char* const kSequenceHelp;

}  // namespace quorvel::cli
