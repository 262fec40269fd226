/// A shot as the engine takes it: which frames, where each comes from and
/// goes, the clock and the keys, how many frames render at once. Preparing
/// checks it against the files and the module before any frame is
/// rendered; then it is described frame by frame (a dry run) or rendered.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "frames/Message.h"
#include "frames/World.h"
#include "imagefiles/ImageFormat.h"
#include "modulefiles/ModuleFile.h"
#include "shots/ContactSheet.h"
#include "shots/FramePattern.h"
#include "shots/FrameRate.h"
#include "shots/Keyframes.h"
#include "shots/Progress.h"
#include "shots/RenderSettings.h"
#include "shots/SequenceRender.h"
#include "shots/Session.h"
#include "shots/ShotSettings.h"

namespace quorvel::shots {

struct ShotResult {
    SequenceOutcome outcome;
    /// Unfinished files of killed runs removed before this one began.
    int removed_temporaries = 0;
    /// Whether the contact sheet was written (only when every frame was).
    bool sheet_written = false;
    int sheet_every = 0;
};

class Shot {
public:
    /// Checks the settings against each other and against the output
    /// folder, reads the first input frame (which decides the layer's size
    /// and, for .npy files, the depth), and checks that the frames in flight
    /// fit in memory. `read_animation` gives the keys once the clock is
    /// known, landing keyframe text where the shot begins: on the first
    /// input frame on disk, else on the first frame of the list. Throws
    /// ShotError for bad input. What the user should know of the first
    /// frame's reading, and later of the frames written, goes to `note` as
    /// it arises, a line each.
    Shot(ShotSettings settings, const std::function<Animation(const FrameRate&, const KeyLanding&)>& read_animation,
         frames::NoteSink note);
    ~Shot();
    Shot(const Shot&) = delete;
    Shot& operator=(const Shot&) = delete;

    /// Loads the module and resolves the keys against its controls. Throws
    /// ShotError for keys it cannot take, ModuleFailure when the module
    /// fails its setup.
    void Load(const std::filesystem::path& module_path);
    /// What reading the keys has to tell besides errors, and what of them
    /// does not fit the shot, a line each.
    const std::vector<frames::Message>& Notes() const { return notes_; }

    /// Each frame's time and animated values, a line a frame.
    std::vector<std::string> Describe();

    /// The first frame as Render hands it to the module, for the on-screen
    /// controls over it: its parameters, with the first instance placed on
    /// the frame's layer and the host's time at the frame. Load must have
    /// been called.
    sim::ParamSet FirstFrameParams();
    Session& first_instance() { return *instances_.front(); }
    /// The first frame's input, in the shot's layout.
    const frames::World& first_input() const { return *first_; }

    /// Renders every frame. Interrupts (Ctrl-C, a farm's SIGTERM) stop it
    /// after the frames in progress, leaving every file complete or untouched.
    ShotResult Render(Progress& progress);

    const std::vector<int>& frames() const { return plan_.frames; }
    int jobs() const { return jobs_; }
    const FramePattern& output() const { return plan_.output; }

private:
    KeyLanding Landing() const;

    ShotSettings settings_;
    SequencePlan plan_;
    Animation animation_;
    std::vector<frames::Message> notes_;
    int jobs_ = 1;
    std::optional<imagefiles::ImageFormat> first_format_;
    std::optional<frames::World> first_;
    std::optional<modulefiles::LoadedModule> module_;
    std::vector<std::unique_ptr<Session>> instances_;
};

}  // namespace quorvel::shots
