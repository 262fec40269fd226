/// --key, --keys and the options that say how keyframe text is read: shared
/// by `keys` and by `render --frames`.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "shots/FrameRate.h"
#include "shots/Keyframes.h"

namespace quorvel::cli {

struct KeyChoice {
    std::vector<std::string> keys;  ///< --key, in order
    std::optional<std::string> file;
    std::optional<double> start;
    bool strict_timing = false;
    std::optional<std::string> track;
    std::optional<std::string> track_block;
    std::optional<std::pair<double, double>> track_offset;
    std::optional<int> track_layer;
    std::optional<double> track_reference;
    /// The options given that only keyframe text takes, such as "--track".
    std::vector<std::string> text_only_given;

    bool any() const { return !keys.empty() || file || !text_only_given.empty(); }
};

void AddKeyOptions(CommandLine& line, KeyChoice& choice);

/// The keys the options give. Keyframe text's first frame lands on
/// --keys-start, else on `default_start`, else keeps its time.
shots::Animation ReadAnimation(const KeyChoice& choice, const shots::FrameRate& rate,
                               const std::optional<shots::KeyLanding>& default_start, bool keep_data_clock = false);

}  // namespace quorvel::cli
