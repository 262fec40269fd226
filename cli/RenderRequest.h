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
#include "shots/RenderSettings.h"

namespace quorvel::cli {

struct RenderRequest {
    std::optional<std::string> module;
    std::optional<std::string> in;
    std::optional<std::string> out;
    shots::FrameOptions frame;
    std::vector<CLI::Option*> frame_options;  ///< single frames only
    imagefiles::ImageWriteOptions out_format;
    shots::RenderSettings settings;
    ShotChoice shot;

    /// A shot option, or a numbered --in or --out.
    bool WantsSequence() const;
};

/// Renders the request's shot. Exit status 0 when every frame is complete,
/// 1 when the module failed a frame, 2 for bad input, 130 when interrupted.
int RunSequence(const ToolContext& ctx, const RenderRequest& request);

}  // namespace quorvel::cli
