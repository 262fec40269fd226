/// Mouse handling of the on-screen controls: the hit test that starts a drag
/// and the drag that turns the mouse into parameter values.
///
/// The drag is a two-state machine whose only state is the grabbed handle's
/// number, kept by the host in the event record (continue_refcon[0]): 0 (or
/// anything outside 1 to 10) is idle, a handle number is dragging. Every drag
/// event computes absolute values from the current mouse position.
#pragma once

#include <array>

#include "host/PF_Host.h"
#include "overlay/OverlayGeometry.h"

namespace quorvel {

/// A handle is hit when the Manhattan distance to it, in whole window
/// pixels, is below this.
inline constexpr A_long kHitTolerance = 16;

/// Whole-pixel handle places as the hit test sees them (element i is handle
/// i + 1): 16.16 places floored, edge middles halved before flooring, the
/// opacity handle on its fixed-size scale beside the origin.
std::array<PF_Point, kHandleCount> HitTestHandlePlaces(const OverlayLayout& layout, PF_FixedPoint rotation_handle,
                                                       PF_Fixed opacity);

/// Tests the handles in number order and takes the first within tolerance.
/// On a hit, stores the handle's number and asks the host for drags; returns
/// whether a handle was hit. Throws 516 outside Premiere without the ANSI suite.
bool HitTestHandles(const PF_InData* in_data, PF_ParamDef* const params[], PF_EventExtra* event);

/// A click in a composition or layer window: hit test, and mark the event
/// handled on a hit.
PF_Err HandleOverlayClick(const PF_InData* in_data, PF_ParamDef* const params[], PF_EventExtra* event);

/// A drag in a composition or layer window with a handle held: new values,
/// and the event marked handled.
PF_Err HandleOverlayDrag(const PF_InData* in_data, PF_ParamDef* const params[], PF_EventExtra* event);

/// Writes the held handle's parameter(s) from the mouse position, flagged as
/// changed, and keeps the drag going, or ends it when the mouse was released.
void ApplyHandleDrag(const PF_InData* in_data, PF_ParamDef* const params[], WindowToLayerFn to_layer,
                     PF_EventExtra* event);

}  // namespace quorvel
