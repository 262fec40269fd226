/// A shot's input frames checked from their headers before any frame is
/// rendered: a missing frame, or one the shot cannot be rendered from as it
/// is from its first, would otherwise stop the run halfway, with frames
/// written and the rest to do.
#pragma once

#include <vector>

#include "frames/World.h"
#include "imagefiles/ImageFormat.h"
#include "shots/FramePattern.h"
#include "shots/RenderSettings.h"

namespace quorvel::shots {

/// The most faults one message lists; a count says how many more there are.
inline constexpr int kListedInputFaults = 5;

/// Throws ShotError, listing the frames, unless every frame of `frames`
/// has an input file that opens and holds a frame like the first one's
/// (`first`, read with `first_format` and `settings`): a layer of the same
/// size, the same channels in the same data formats, for .npy the same
/// layout. Each frame's data window may be its own, as renderers crop
/// them frame by frame. Files that are not regular files (pipes) are left
/// to be read when their frame is.
void CheckInputFrames(const FramePattern& input, const std::vector<int>& frames, const frames::World& first,
                      const imagefiles::ImageFormat* first_format, const RenderSettings& settings);

}  // namespace quorvel::shots
