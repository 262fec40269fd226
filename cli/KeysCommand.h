/// `quorvel-host keys`, and the key options it shares with `render --frames`.
#pragma once

#include <optional>
#include <vector>

#include "Args.h"
#include "FrameRate.h"
#include "Keyframes.h"

namespace quorvel::cli {

/// --key, --keys and the options that say how keyframe text is read.
std::vector<OptionDef> KeyOptionDefs();

/// The keys the options give. Keyframe text's first frame lands on
/// --keys-start, else on `default_start`, else keeps its time.
Animation ReadAnimation(const Args& args, const FrameRate& rate, std::optional<double> default_start);

}  // namespace quorvel::cli
