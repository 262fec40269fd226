/// The viewer window with the module's on-screen controls drawn over a
/// rendered frame, saved as a picture. Drawn by Cairo: a build without the
/// drawing library (PicturesUnavailable.cpp) refuses the picture's file.
#pragma once

#include <filesystem>

#include "frames/View.h"
#include "frames/World.h"
#include "shots/Session.h"
#include "simhost/ParamSet.h"

namespace quorvel::shots {

/// Refuses, before any work is done, a picture path that cannot be written.
void CheckOverlayPictureOutput(const std::filesystem::path& path);

/// Sends a draw event for the window of `view` over `frame`, a render of the
/// session's layer placed in it as the session places it, and writes the
/// window, which shows the whole layer, strokes painted, as a PNG. Throws
/// ModuleFailure when the module fails the event or breaks a host rule.
void WriteOverlayPicture(Session& session, sim::ParamSet& params, frames::World& frame, const frames::View& view,
                         const std::filesystem::path& path);

/// The same window at `width` x `height` pixels, as an opaque 8-bit frame.
/// Throws as above.
frames::World DrawOverlayWindow(Session& session, sim::ParamSet& params, frames::World& frame, const frames::View& view,
                                int width, int height);

}  // namespace quorvel::shots
