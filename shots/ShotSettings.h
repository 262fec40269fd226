/// What a shot is to be, as the engine takes it: the frames, their files,
/// the render's settings and the clock, how many frames at once, and what
/// else to write. The command line's shot options write into it directly.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "imagefiles/ImageFormat.h"
#include "shots/ContactSheet.h"
#include "shots/FrameRate.h"
#include "shots/RenderSettings.h"

namespace quorvel::shots {

struct ShotSettings {
    std::vector<int> frames;  ///< ascending, at least one
    /// The first frame of the whole list when these frames are a share of
    /// it (a farm's task of a longer shot); none: the first of `frames`.
    std::optional<int> list_first;
    /// A file name: numbered, one file a frame; plain, every frame's input.
    /// None: the test card.
    std::optional<std::string> input;
    /// Numbered when there are several frames; none only for a dry run.
    std::optional<std::string> output;
    /// What image outputs are to be instead of what their inputs were.
    imagefiles::ImageWriteOptions out_options;
    RenderSettings render;
    FrameRate rate;
    std::optional<int> jobs;  ///< frames at once; default one per core
    bool skip_existing = false;
    bool dry_run = false;
    std::optional<ContactSheetSettings> contact_sheet;
};

}  // namespace quorvel::shots
