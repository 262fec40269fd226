/// The viewer the host shows the layer in: where the layer sits in the
/// composition and how the window zooms and pans over it. The event
/// callbacks map points through it.
#pragma once

#include "frames/ParamEncoding.h"
#include "host/PF_Host.h"

namespace quorvel::frames {

struct View {
    PF_WindowType window = PF_Window_COMP;
    /// Composition position of the layer's pixel (0, 0), and the layer's scale.
    double layer_x = 0.0;
    double layer_y = 0.0;
    double layer_scale = 1.0;
    /// Window pixels per source pixel, and the window position of source (0, 0).
    double zoom = 1.0;
    double pan_x = 0.0;
    double pan_y = 0.0;

    PF_FixedPoint LayerToComp(PF_FixedPoint p) const;
    PF_FixedPoint CompToLayer(PF_FixedPoint p) const;
    PF_FixedPoint SourceToFrame(PF_FixedPoint p) const;
    PF_FixedPoint FrameToSource(PF_FixedPoint p) const;
};

}  // namespace quorvel::frames
