/// The render options shared by every command that renders a frame: which
/// host and depth, the effect's parameters as users think of them, and the
/// host's scale factors, declared straight into the engine's settings.
#pragma once

#include "cli/CommandLine.h"
#include "shots/RenderSettings.h"

namespace quorvel::cli {

void AddRenderOptions(CommandLine& line, shots::RenderSettings& settings);

}  // namespace quorvel::cli
