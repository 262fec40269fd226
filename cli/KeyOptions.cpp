#include "cli/KeyOptions.h"

#include "shots/ValueText.h"

namespace quorvel::cli {

void AddKeyOptions(CommandLine& line, KeyChoice& c) {
    line.Group(OptionGroup::Shot);
    line.Values("key", "NAME@FRAME=VALUE[:INTERP]", "a keyframe; repeat for more (INTERP linear, hold or ease)",
                c.keys);
    line.Value("keys", "FILE", "keyframes from a JSON file or the hosts' keyframe text",
               [&c](const std::string& v) { c.file = v; });
    std::vector<CLI::Option*> text_only = {
        line.Value("keys-start", "FRAME", "keyframe text: the frame its first frame lands on",
                   [&c](const std::string& v) { c.start = shots::ParseNumber("keys-start", v); }),
        line.Flag("strict-timing", "keyframe text: refuse data at another rate than --fps instead of converting it",
                  c.strict_timing),
        line.Value("track", "origin|transform",
                   "keyframe text: origin follows a point track; transform carries the matte with the layer's "
                   "Anchor Point, Position, Scale and Rotation",
                   [&c](const std::string& v) { c.track = v; }),
        line.Value("track-reference", "FRAME",
                   "keyframe text: with --track transform, the frame at which the matte is as the options and keys "
                   "give it (default: where the data's first row lands)",
                   [&c](const std::string& v) { c.track_reference = shots::ParseNumber("track-reference", v); }),
        line.Value("track-block", "PATH", "keyframe text: which point track, by path, such as 'Transform / Position'",
                   [&c](const std::string& v) { c.track_block = v; }),
        line.Value("track-layer", "K", "keyframe text: the layer (by its Layer line, from 1) whose blocks are used",
                   [&c](const std::string& v) { c.track_layer = shots::ParseInt("track-layer", v); }),
        line.Value("track-offset", "X,Y", "keyframe text: added to every tracked point",
                   [&c](const std::string& v) { c.track_offset = shots::ParsePair("track-offset", v); }),
    };
    line.Then([text_only, &c] {
        for (const CLI::Option* option : text_only) {
            if (CommandLine::Given(option)) c.text_only_given.push_back(CommandLine::NameOf(option));
        }
    });
}

shots::Animation ReadAnimation(const KeyChoice& c, const shots::FrameRate& rate,
                               const std::optional<shots::KeyLanding>& default_start, bool keep_data_clock) {
    shots::Animation animation;
    for (const std::string& key : c.keys) animation.AddKeyOption(key);
    shots::KeyTextOptions options;
    options.rate = rate;
    if (const std::optional<shots::KeyLanding> landing =
            c.start ? shots::KeyLanding{*c.start, "as --keys-start says"} : default_start) {
        options.start = landing->frame;
        options.start_why = landing->why;
    }
    options.strict_timing = c.strict_timing;
    options.keep_data_clock = keep_data_clock;
    options.track = c.track;
    options.track_block = c.track_block;
    options.track_offset = c.track_offset;
    options.track_layer = c.track_layer;
    options.track_reference = c.track_reference;
    if (c.file) animation.AddKeyFile(*c.file, options);
    if (!animation.HasKeyText() && !c.text_only_given.empty()) {
        throw UsageError(c.text_only_given.front() +
                         " applies to keyframe text: --keys FILE holding the hosts' keyframe data");
    }
    return animation;
}

}  // namespace quorvel::cli
