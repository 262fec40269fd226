/// Rendering a shot: every frame its own render command, several frames in
/// flight at once, each on an effect instance of its own, as hosts do with
/// multi-frame rendering.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "frames/Message.h"
#include "frames/World.h"
#include "imagefiles/ImageFormat.h"
#include "shots/FramePattern.h"
#include "shots/FrameRate.h"
#include "shots/Keyframes.h"
#include "shots/Progress.h"
#include "shots/RenderSettings.h"
#include "shots/Session.h"

namespace quorvel::shots {

struct SequencePlan {
    std::vector<int> frames;  ///< ascending
    /// A numbered input: each frame read from its own file. Without one,
    /// `still` is the input of every frame.
    std::optional<FramePattern> input;
    const frames::World* still = nullptr;
    /// The still's image format, when it is an image file.
    const imagefiles::ImageFormat* still_format = nullptr;
    FramePattern output{"out", "out.%04d.npy"};
    /// What image outputs are to be instead of what their inputs were.
    imagefiles::ImageWriteOptions out_options;
    /// The layout is decided (the first input frame decides it for .npy).
    RenderSettings settings;
    FrameRate rate;
    const Animation* animation = nullptr;
    int layer_width = 0;
    int layer_height = 0;
    /// Frames in flight at most (read, rendered or written); this bounds the
    /// memory whatever the shot's length.
    int in_flight = 1;
    /// Keep output frames that are complete (readable, the right size).
    bool skip_existing = false;
    /// Where what the user should know of the frames written goes (the
    /// first frame with anything to say speaks for the others); none: unsaid.
    frames::NoteSink note;
};

/// Told about frames as they are rendered (or found complete), while the
/// instance that rendered them is still held: for drawing over them.
class FrameObserver {
public:
    virtual ~FrameObserver() = default;
    /// Whether the frame at `index` of the plan is wanted.
    virtual bool Wants(std::size_t index) const = 0;
    /// Called from worker threads, for wanted frames only.
    virtual void OnFrame(std::size_t index, Session& instance, sim::ParamSet& params, frames::World& frame) = 0;
};

struct FrameFailure {
    int frame = 0;
    frames::Message message;  ///< names the frame
    /// What failed: the module, the input, a setting, or the output frame,
    /// which could not be written (once that is mended, a rerun may finish
    /// the shot).
    frames::ErrorKind kind = frames::ErrorKind::input;
};

struct SequenceOutcome {
    std::vector<int> complete;  ///< on disk now, rendered or skipped; ascending
    std::vector<int> missing;   ///< not rendered; ascending
    bool interrupted = false;
    std::optional<FrameFailure> failure;  ///< the first frame that failed
};

/// The parameter array of `frame`: the instance's values for `layer`, then
/// the animation evaluated at the frame; also sets the host's time to the
/// frame's.
sim::ParamSet ParamsAtFrame(Session& instance, const SequencePlan& plan, const frames::World& layer, int frame);

/// The existing output frame at `path` when it is complete: readable
/// throughout and of the plan's size (and, for .npy, layout).
std::optional<frames::World> ReadCompleteFrame(const std::filesystem::path& path, const SequencePlan& plan);

/// Removes the temporary files that killed runs left beside this plan's
/// output frames (those whose process is gone). Returns how many.
int RemoveAbandonedTemporaries(const SequencePlan& plan);

/// Renders the plan. Each instance renders one frame at a time; frames
/// are claimed in order. Once `stop` answers true, or a frame fails, no
/// new frame starts and the frames in progress are finished: every output
/// file is either complete or untouched.
SequenceOutcome RenderSequence(const SequencePlan& plan, const std::vector<Session*>& instances, Progress& progress,
                               FrameObserver* observer, const std::function<bool()>& stop);

}  // namespace quorvel::shots
