/// What `quorvel-host render` was asked for, typed: a single frame, or a
/// shot when the shot options or numbered file names say so.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/FrameOptions.h"
#include "cli/SequenceOptions.h"
#include "shots/FrameFiles.h"
#include "shots/ShotSettings.h"

namespace quorvel::cli {

struct RenderRequest {
    std::optional<std::string> module;
    shots::FrameOptions frame;
    std::vector<CLI::Option*> frame_options;  ///< single frames only
    /// Input, output and the render's settings, which a single frame takes
    /// from it too, and the shot options the engine takes.
    shots::ShotSettings shot;
    ShotChoice choice;

    /// A shot option, or a numbered --in or --out.
    bool WantsSequence() const;
};

/// Renders the request's shot. Exit status 0 when every frame is complete,
/// 1 when the module failed a frame, 2 for bad input, 130 when interrupted.
int RunSequence(const ToolContext& ctx, const RenderRequest& request);

}  // namespace quorvel::cli
