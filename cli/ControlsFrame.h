/// The frame that overlay, drag and handles show the on-screen controls
/// over: a single frame as render renders it, or frame F of a shot
/// (--frames F, with its clock and keys) as render renders that frame of the
/// shot: the same layer, placed in the frame the same way, and the same
/// parameter values at the frame's time.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "cli/Commands.h"
#include "cli/KeyOptions.h"
#include "shots/FrameFiles.h"
#include "shots/Session.h"
#include "shots/ShotSettings.h"
#include "simhost/ParamSet.h"

namespace quorvel::cli {

struct ControlsRequest {
    std::optional<std::string> module;
    shots::FrameOptions card;  ///< --size, for the commands that take it
    /// The input (a file, numbered for --frames; none: the test card), the
    /// render's settings and the shot's clock, as render takes them.
    shots::ShotSettings shot;
    std::optional<int> frame;  ///< --frames F
    KeyChoice keys;
};

/// --module, --in, --size (when `size`), --layer, --part, --alpha, the render
/// options, and --frames F with --fps and the keys, which need it. `command`
/// names the command in refusals.
void AddControlsOptions(CommandLine& line, ControlsRequest& request, const std::string& command, bool size);

class ControlsFrame {
public:
    virtual ~ControlsFrame() = default;
    /// The effect instance, with the layer placed as render places it.
    virtual shots::Session& session() = 0;
    /// The frame's input in the render's layout: the layer's pixels, or
    /// blank pixels of its size when they were not asked for.
    virtual const frames::World& input() const = 0;
    /// The values the render hands the module at the frame.
    virtual sim::ParamSet& params() = 0;
};

/// Reads the input, loads the module and sets the parameters, as render
/// would. `pixels`: whether the test card's pixels are needed (a file's
/// are always read; a shot reads its frame's).
std::unique_ptr<ControlsFrame> OpenControlsFrame(const ToolContext& ctx, ControlsRequest& request, bool pixels);

/// Frame `request.frame` of the shot: only in builds with the shot engine's
/// sequence renderer (NoPictures.cpp refuses it).
std::unique_ptr<ControlsFrame> OpenShotFrame(const ToolContext& ctx, const ControlsRequest& request);

}  // namespace quorvel::cli
