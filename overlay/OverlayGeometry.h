/// Where the on-screen controls lie: the mask and feather boxes in layer
/// space, their mapping to the host's window through the event callbacks,
/// the rotation by the mask angle and the places of the ten handles.
///
/// Drawing and the hit test share this layout, so a handle is grabbed where
/// it is drawn. Everything is recomputed from the parameters on each event;
/// the host callbacks are the only link to a window, so tests can inject
/// their own.
#pragma once

#include <array>
#include <cstddef>

#include "host/PF_Host.h"

namespace quorvel {

/// Handle numbers, shared by the hit test, the drag and the drawing. The
/// number is what the host keeps for us between a click and its drags, and
/// the hit test tries handles in this order.
enum OverlayHandle : A_long {
    HandleTopLeft = 1,
    HandleTopRight,
    HandleBottomLeft,
    HandleBottomRight,
    HandleRotation,
    HandleFeatherLeft,
    HandleFeatherRight,
    HandleFeatherTop,
    HandleFeatherBottom,
    HandleOpacity
};

inline constexpr A_long kFirstHandle = HandleTopLeft;
inline constexpr A_long kLastHandle = HandleOpacity;
inline constexpr std::size_t kHandleCount = std::size_t(kLastHandle);

/// Corner slots of an OverlayQuad. A quad keeps these names after rotation,
/// so "top-left" means the corner that started there.
enum QuadCorner : std::size_t { kTopLeft, kTopRight, kBottomLeft, kBottomRight };

/// Four 16.16 window-space corners: top-left, top-right, bottom-left,
/// bottom-right of the rectangle they were made from.
struct OverlayQuad {
    std::array<PF_FixedPoint, 4> corner{};
};

/// The parameter values the overlay reads, as the host encodes them.
struct OverlayParams {
    A_long mask_type = 0;
    PF_FixedPoint origin{};  ///< layer pixels, 16.16
    double width = 0.0;      ///< square pixels
    double height = 0.0;
    PF_Fixed angle = 0;  ///< degrees, 16.16
    double feather = 0.0;
    PF_Fixed opacity = 0;  ///< percent, 16.16
};

/// Reads the overlay's parameters; throws PF_Err_BAD_CALLBACK_PARAM when the
/// host passes no parameter array or a missing entry.
OverlayParams ReadOverlayParams(PF_ParamDef* const params[]);

/// True in Premiere Pro, whose arithmetic and drawing differ from the other hosts'.
bool IsPremiere(const PF_InData* in_data);

/// The event's window; PF_Window_NONE when the host gives no context.
PF_WindowType EventWindowType(const PF_EventExtra* event);

/// The Angle parameter in radians, computed in double and narrowed to float.
float AngleRadians(PF_Fixed angle);

/// Pixel aspect ratio num / den in single precision.
float PixelAspectRatio(const PF_InData* in_data);

/// The PF_Fixed nearest v x 65536, halves away from zero; saturates beyond
/// the int32 range and gives 0 for NaN (FixedFromDoubleNearestTiesAway).
PF_Fixed RoundToFixed(double v);

/// The mask box (the matte's unrotated outline) and the feather box (the
/// mask box inset by the feather), both in layer space.
struct OverlayBoxes {
    PF_FixedRect mask{};
    PF_FixedRect feather{};
};

OverlayBoxes ComputeOverlayBoxes(const PF_InData* in_data, const OverlayParams& params);

/// Layer space to window space, in place.
void LayerToWindow(const PF_InData* in_data, const PF_EventExtra* event, PF_FixedPoint& point);

/// The four corners of a layer-space rectangle in window space.
OverlayQuad RectToWindowQuad(const PF_InData* in_data, const PF_EventExtra* event, const PF_FixedRect& rect);

/// Turns every corner about `centre` by `angle` radians (clockwise on screen
/// for a positive angle), in place. In hosts other than Premiere the cosine
/// and sine come from the host's ANSI suite; throws 516 when it is missing.
void RotateQuad(const PF_InData* in_data, OverlayQuad& quad, PF_FixedPoint centre, float angle);

/// The rotation handle's point in layer space: one fifth of the layer's
/// height from the origin, in the direction of the angle.
PF_FixedPoint ComputeRotationHandlePoint(const PF_InData* in_data, const OverlayParams& params);

/// Mouse position (whole window pixels) to layer space, 16.16. One variant
/// per window kind; WindowToLayer picks by the event's window.
using WindowToLayerFn = PF_FixedPoint (*)(const PF_InData* in_data, const PF_EventExtra* event, A_long h, A_long v);
PF_FixedPoint WindowToLayerComp(const PF_InData* in_data, const PF_EventExtra* event, A_long h, A_long v);
PF_FixedPoint WindowToLayerLayer(const PF_InData* in_data, const PF_EventExtra* event, A_long h, A_long v);
PF_FixedPoint WindowToLayer(const PF_InData* in_data, const PF_EventExtra* event, A_long h, A_long v);

/// The overlay as drawn and hit-tested: window-space origin and the two
/// quads, mapped corner by corner and then rotated about that origin.
struct OverlayLayout {
    PF_FixedPoint origin{};
    OverlayQuad mask;
    OverlayQuad feather;
};

OverlayLayout ComputeOverlayLayout(const PF_InData* in_data, const PF_EventExtra* event, const OverlayParams& params);

/// The rotation handle in window space.
PF_FixedPoint RotationHandleWindowPoint(const PF_InData* in_data, const PF_EventExtra* event,
                                        const OverlayParams& params);

/// A window-space 16.16 point as float pixels, for the drawing suites.
DRAWBOT_PointF32 ToWindowFloat(PF_FixedPoint point);

}  // namespace quorvel
