/// The options only shots take: the frames, the clock, the keys, how many
/// frames at once, resuming, progress and a contact sheet. What the engine
/// takes goes straight into its settings; the rest is the command line's.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/KeyOptions.h"
#include "shots/ContactSheet.h"
#include "shots/FramePattern.h"
#include "shots/FrameRate.h"
#include "shots/ShotSettings.h"

namespace quorvel::cli {

/// What of the shot options is the command line's own, not the engine's.
struct ShotChoice {
    std::optional<shots::FrameChunk> chunk;  ///< the share of --frames to render
    KeyChoice keys;
    bool quiet = false;
    /// Whether any option but --quiet was given: a single frame shows no
    /// progress, so --quiet asks for nothing more there.
    bool asks_for_shot = false;
};

/// --frames into `shot.frames` (all of them: --chunk is kept apart and
/// applied by the command), and the rest of the shot options.
void AddSequenceOptions(CommandLine& line, shots::ShotSettings& shot, ShotChoice& choice);
/// --fps: the host's clock of a shot.
CLI::Option* AddFrameRateOption(CommandLine& line, shots::FrameRate& rate);

/// What render's help says of shots in this build: only that a build
/// without them has none.
extern const char* const kSequenceHelp;

}  // namespace quorvel::cli
