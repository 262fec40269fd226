#include "shots/OverlayPicture.h"

#include "imagefiles/Canvas.h"
#include "shots/FrameFiles.h"

namespace quorvel::shots {

void CheckOverlayPictureOutput(const std::filesystem::path& path) { CheckOutputPath(path); }

void WriteOverlayPicture(Session& session, sim::ParamSet& params, sim::World& frame, const sim::View& view,
                         const std::filesystem::path& path) {
    int width = 0, height = 0;
    sim::Canvas::FittingSize(frame, view, &width, &height);
    sim::Canvas canvas(frame, view, width, height);
    PaintOverlay(session, params, frame, view, canvas);
    canvas.WritePng(path);
}

void PaintOverlay(Session& session, sim::ParamSet& params, sim::World& frame, const sim::View& view,
                  sim::Canvas& canvas) {
    sim::Host& host = session.host();
    host.view() = view;
    host.SetStrokeSink(&canvas);
    sim::EventRecord draw(PF_Event_DRAW, view.window);
    const PF_Err err = host.Event(draw, params, &frame);
    host.SetStrokeSink(nullptr);
    if (err != PF_Err_NONE) throw ModuleFailure("the module's draw event failed with error " + std::to_string(err));
    session.CheckHost();
}

}  // namespace quorvel::shots
