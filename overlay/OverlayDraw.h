/// Drawing of the on-screen controls through the host's drawing suites: the
/// matte's outline, its bounding box, the corner and feather handles, the
/// rotation handle and the opacity scale with its marker.
///
/// After Effects strokes every path in its own overlay theme; Premiere Pro
/// strokes with pens made here. Host drawing calls are chained: the first
/// failure skips the rest of that function and is not reported. Pens and
/// paths live in owning wrappers and are released before the suites.
#pragma once

#include <array>

#include "host/PF_Host.h"
#include "overlay/OverlayGeometry.h"
#include "shell/SuiteHandler.h"

namespace quorvel {

/// Four corners in whole window pixels, in OverlayQuad's corner order.
struct QuadPixels {
    std::array<A_LPoint, 4> corner{};
};

/// Rounds each 16.16 coordinate to the nearest whole pixel, as a 16-bit
/// drawing coordinate.
QuadPixels ToQuadPixels(const OverlayQuad& quad);

inline constexpr std::size_t kEllipseOutlinePoints = 64;
using EllipseOutline = std::array<DRAWBOT_PointF32, kEllipseOutlinePoints>;

/// Draws the whole overlay for a draw event. Reports nothing to the host but
/// a failed suite acquisition; throws 516 for a missing lazily taken suite
/// and DRAWBOT_Exception for a failed pen or path.
void DrawOverlay(const PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* const params[],
                 const PF_EventExtra* event);

/// Strokes the ellipse, computed in layer space and mapped point by point.
PF_Err DrawEllipseOutline(const PF_InData* in_data, PF_FixedPoint origin_layer, double angle, double half_width,
                          double half_height, DRAWBOT_DrawRef draw, const DrawbotSuites& suites,
                          const PF_EventExtra* event);

/// Strokes the closed outline top-left, top-right, bottom-right, bottom-left.
PF_Err DrawQuadOutline(const PF_InData* in_data, const QuadPixels& points, DRAWBOT_DrawRef draw,
                       const DrawbotSuites& suites);

/// The ellipse's outline points in window space (float pixels).
void ComputeEllipseOutline(const PF_InData* in_data, PF_FixedPoint origin_layer, double angle, double half_width,
                           double half_height, EllipseOutline& points, const PF_EventExtra* event);

}  // namespace quorvel
