/// The viewer options: which window the overlay is shown in, and how the
/// layer sits in the composition and the window over it.
#pragma once

#include "cli/CommandLine.h"
#include "frames/View.h"

namespace quorvel::cli {

/// Into `view`, which starts as the identity (window pixel = composition
/// pixel = layer pixel).
void AddViewOptions(CommandLine& line, frames::View& view);

}  // namespace quorvel::cli
