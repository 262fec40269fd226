#include "shots/OverlayPicture.h"

#include "imagefiles/Canvas.h"
#include "shots/FrameFiles.h"

namespace quorvel::shots {

namespace {

/// The view through which the window shows `frame`: the layer's view moved
/// by where the layer lies in the frame, so that the frame's pixel at the
/// layer's corner is drawn where the layer's (0, 0) is, and pixels beyond
/// the layer (a file's overscan) at negative or beyond-size layer
/// coordinates. The module's strokes, layer points mapped through `view`,
/// then fall on the pixels they describe, and on the matte it rendered.
frames::View FrameView(frames::View view, const LayerPlace& place) {
    if (view.window == PF_Window_COMP) {
        view.layer_x -= view.layer_scale * place.x;
        view.layer_y -= view.layer_scale * place.y;
    } else {
        view.pan_x -= view.zoom * place.x;
        view.pan_y -= view.zoom * place.y;
    }
    return view;
}

void Paint(Session& session, sim::ParamSet& params, frames::World& frame, const frames::View& view,
           imagefiles::Canvas& canvas) {
    sim::Host& host = session.host();
    host.view() = view;
    host.SetStrokeSink(&canvas);
    sim::EventRecord draw(PF_Event_DRAW, view.window);
    const PF_Err err = host.Event(draw, params, &frame);
    host.SetStrokeSink(nullptr);
    if (err != PF_Err_NONE) throw ModuleFailure("the module's draw event failed with error " + std::to_string(err));
    session.CheckHost();
}

}  // namespace

void CheckOverlayPictureOutput(const std::filesystem::path& path) { CheckOutputPath(path); }

void WriteOverlayPicture(Session& session, sim::ParamSet& params, frames::World& frame, const frames::View& view,
                         const std::filesystem::path& path) {
    int width = 0, height = 0;
    // A frame's overscan is outside the layer, as it is outside a composition.
    imagefiles::Canvas::FittingSize(session.place().width, session.place().height, view, &width, &height);
    imagefiles::Canvas canvas(frame, FrameView(view, session.place()), width, height);
    Paint(session, params, frame, view, canvas);
    canvas.WritePng(path);
}

frames::World DrawOverlayWindow(Session& session, sim::ParamSet& params, frames::World& frame, const frames::View& view,
                                int width, int height) {
    imagefiles::Canvas canvas(frame, FrameView(view, session.place()), width, height);
    Paint(session, params, frame, view, canvas);
    return canvas.ToWorld();
}

}  // namespace quorvel::shots
