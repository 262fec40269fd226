/// The viewer window with the module's on-screen controls drawn over a
/// rendered frame, saved as a picture. Drawn by Cairo: a build without the
/// drawing library (PicturesUnavailable.cpp) refuses the picture's file.
#pragma once

#include <filesystem>

#include "frames/View.h"
#include "frames/World.h"
#include "shots/Session.h"
#include "simhost/ParamSet.h"

namespace quorvel::sim {
class Canvas;
}

namespace quorvel::shots {

/// Refuses, before any work is done, a picture path that cannot be written.
void CheckOverlayPictureOutput(const std::filesystem::path& path);

/// Sends a draw event for the window of `view` over `frame` and writes the
/// window, strokes painted, as a PNG. Throws ModuleFailure when the module
/// fails the event or breaks a host rule.
void WriteOverlayPicture(Session& session, sim::ParamSet& params, sim::World& frame, const sim::View& view,
                         const std::filesystem::path& path);

/// Sends a draw event for the window of `view` over `frame`, painting the
/// strokes into `canvas` (made for that frame and view). Throws as above.
void PaintOverlay(Session& session, sim::ParamSet& params, sim::World& frame, const sim::View& view,
                  sim::Canvas& canvas);

}  // namespace quorvel::shots
