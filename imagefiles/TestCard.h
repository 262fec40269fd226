/// The built-in input frame: a colour chart with a soft alpha ramp, so a
/// render needs no input file.
#pragma once

#include "frames/World.h"

namespace quorvel::imagefiles {

inline constexpr int kTestCardWidth = 1920;
inline constexpr int kTestCardHeight = 1080;

/// The card at any size, in any layout. Colours are a grid of patches
/// (hues across, brightness down) with a grey ramp along the bottom; alpha
/// is opaque except in a band across the bottom where it ramps from 0 at
/// the left edge to 1 at the right.
frames::World MakeTestCard(frames::PixelLayout layout, int width = kTestCardWidth, int height = kTestCardHeight);

}  // namespace quorvel::imagefiles
