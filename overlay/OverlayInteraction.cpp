#include "overlay/OverlayInteraction.h"

#include <cmath>
#include <cstdint>

#include "numeric/FixedPoint.h"
#include "numeric/Saturate.h"
#include "shell/Params.h"
#include "shell/SuiteHandler.h"

namespace quorvel {

namespace {

/// The opacity scale sits 40 window pixels left of the origin; the origin's
/// height is 50 %, and one window pixel is one percent.
constexpr std::int64_t kOpacityScaleOffsetX = 0x280000;
constexpr std::int64_t kOpacityAtOrigin = 0x320000;

PF_Fixed FloorMiddle(PF_Fixed a, PF_Fixed b) {
    // Halved toward zero in 64 bits so far-away corners cannot overflow the sum.
    return WholeFromFixedFloor(PF_Fixed((std::int64_t{a} + b) / 2));
}

bool IsHeldHandle(A_intptr_t refcon) { return refcon >= kFirstHandle && refcon <= kLastHandle; }

/// A value about to become a parameter: a host parameter that is infinite
/// or not a number would poison every later render and drag, so such a
/// result is written as 0 instead. Ordinary drags never produce one; a zero
/// Height (top and bottom feather handles) or a zero pixel-aspect
/// denominator does.
double FiniteOrZero(float value) { return std::isfinite(value) ? double(value) : 0.0; }

void WriteDouble(PF_ParamDef* param, double value) {
    param->u.fs_d.value = value;
    param->uu.change_flags = PF_ChangeFlag_CHANGED_VALUE;
}

void WriteFixed(PF_Fixed& field, PF_ParamDef* param, PF_Fixed value) {
    field = value;
    param->uu.change_flags = PF_ChangeFlag_CHANGED_VALUE;
}

/// Corner drags: the dragged corner becomes the corner of a box centred on
/// the unchanged origin. `sign_x` and `sign_y` are +1 for the right and
/// bottom corners, -1 for the left and top ones, so that (ex, ey) is the
/// corner's extent from the origin on its own side; undoing the overlay's
/// rotation turns by -a for the diagonal TL/BR and +a for TR/BL.
void DragCorner(PF_ParamDef* const params[], PF_FixedPoint m, PF_FixedPoint o, float a, float par, int sign_x,
                int sign_y) {
    const std::int64_t ex = sign_x * (std::int64_t{m.x} - o.x);
    const std::int64_t ey = sign_y * (std::int64_t{m.y} - o.y);
    const float theta = sign_x * sign_y > 0 ? -a : a;
    const float dx = float(DoubleFromFixed(2 * ex)) * par;
    const float dy = float(DoubleFromFixed(2 * ey));
    const float c = std::cos(theta);
    const float s = std::sin(theta);
    // Not clamped: dragging across the origin gives a negative size.
    WriteDouble(params[kParamWidth], FiniteOrZero(c * dx - s * dy));
    WriteDouble(params[kParamHeight], FiniteOrZero(s * dx + c * dy));
}

/// The direction from the origin to the mouse in layer space, clockwise on
/// screen from straight up, in [0, 360].
PF_Fixed DragAngle(PF_FixedPoint m, PF_FixedPoint o) {
    const std::int64_t dx = std::int64_t{m.x} - o.x;
    const std::int64_t dy = std::int64_t{m.y} - o.y;
    float degrees;
    if (dy == 0) {
        degrees = dx > 0 ? 90.0f : 270.0f;  // also on the origin itself
    } else if (dx == 0) {
        degrees = dy > 0 ? 180.0f : 0.0f;
    } else {
        const float t = std::atan(float(dx) / float(dy));
        degrees = float(DegreesFromRadians(-double(t)));
        if (dy > 0) {
            degrees = degrees + 180.0f;
        } else if (degrees < 0.0f) {
            degrees = degrees + 360.0f;
        }
    }
    return FixedFromFloatPlusHalfTruncating(degrees);
}

/// Distance of the mouse from the box's edge on the handle's side. The
/// vertical one is scaled by Width / Height so it reads as a horizontal
/// feather, the way the matte measures it.
float DragFeather(A_long handle, const OverlayParams& values, PF_FixedPoint m, PF_FixedPoint o, float a, float par) {
    switch (handle) {
        case HandleFeatherLeft: {
            double d =
                (DoubleFromFixed(std::int64_t{m.x} - o.x) * double(par) + values.width * 0.5) * double(std::cos(a));
            if (!(d > 0.0)) d = 0.0;
            return NarrowToFloat(std::sqrt(d * d));
        }
        case HandleFeatherRight:
            return NarrowToFloat(DoubleFromFixed(std::int64_t{o.x} - m.x) * double(par) + values.width * 0.5);
        case HandleFeatherTop:
        case HandleFeatherBottom: {
            // With Height 0 the ratio is infinite (NaN when Width is 0 too);
            // FiniteOrZero then writes Feather 0, matching the zero vertical
            // inset the layout uses for that box.
            const float ratio = NarrowToFloat(values.width / values.height);
            const std::int64_t along = handle == HandleFeatherTop ? std::int64_t{m.y} - o.y : std::int64_t{o.y} - m.y;
            return NarrowToFloat((DoubleFromFixed(along) + values.height * 0.5) * double(ratio));
        }
        default:
            return 0.0f;
    }
}

}  // namespace

std::array<PF_Point, kHandleCount> HitTestHandlePlaces(const OverlayLayout& layout, PF_FixedPoint rotation_handle,
                                                       PF_Fixed opacity) {
    const auto& mask = layout.mask.corner;
    const auto& feather = layout.feather.corner;
    const auto floor_point = [](PF_FixedPoint p) {
        return PF_Point{WholeFromFixedFloor(p.x), WholeFromFixedFloor(p.y)};
    };
    const auto floor_middle = [](PF_FixedPoint p, PF_FixedPoint q) {
        return PF_Point{FloorMiddle(p.x, q.x), FloorMiddle(p.y, q.y)};
    };
    std::array<PF_Point, kHandleCount> places{};
    places[HandleTopLeft - 1] = floor_point(mask[kTopLeft]);
    places[HandleTopRight - 1] = floor_point(mask[kTopRight]);
    places[HandleBottomLeft - 1] = floor_point(mask[kBottomLeft]);
    places[HandleBottomRight - 1] = floor_point(mask[kBottomRight]);
    places[HandleRotation - 1] = floor_point(rotation_handle);
    places[HandleFeatherLeft - 1] = floor_middle(feather[kTopLeft], feather[kBottomLeft]);
    places[HandleFeatherRight - 1] = floor_middle(feather[kTopRight], feather[kBottomRight]);
    places[HandleFeatherTop - 1] = floor_middle(feather[kTopLeft], feather[kTopRight]);
    places[HandleFeatherBottom - 1] = floor_middle(feather[kBottomLeft], feather[kBottomRight]);
    places[HandleOpacity - 1] = {
        ClampToInt32(WholeFromFixedFloor(std::int64_t{layout.origin.x} - kOpacityScaleOffsetX)),
        ClampToInt32(WholeFromFixedFloor(std::int64_t{layout.origin.y} + kOpacityAtOrigin - opacity))};
    return places;
}

bool HitTestHandles(const PF_InData* in_data, PF_ParamDef* const params[], PF_EventExtra* event) {
    SuiteHandler suites(in_data->pica_basicP);
    const OverlayParams values = ReadOverlayParams(params);
    const OverlayLayout layout = ComputeOverlayLayout(in_data, event, values);
    const PF_FixedPoint rotation = RotationHandleWindowPoint(in_data, event, values);
    const auto places = HitTestHandlePlaces(layout, rotation, values.opacity);

    PF_DoClickEventInfo& click = event->u.do_click;
    const PF_Point mouse = click.screen_point;
    const bool premiere = IsPremiere(in_data);
    // Each axis distance is exact in 64 bits (and in a double) whatever the places.
    const auto distance = [&](PF_Point place) -> std::int64_t {
        const std::int64_t dh = std::int64_t{place.h} - mouse.h;
        const std::int64_t dv = std::int64_t{place.v} - mouse.v;
        if (premiere) return (dh < 0 ? -dh : dh) + (dv < 0 ? -dv : dv);
        const auto fabs = suites.ANSISuite1()->fabs;
        if (fabs == nullptr) RaiseMissingSuite();
        return std::int64_t{SaturateToInt32(fabs(double(dh)))} + SaturateToInt32(fabs(double(dv)));
    };
    // The first handle in number order wins, not the nearest: corners over
    // the rotation handle over feather handles over opacity.
    for (A_long handle = kFirstHandle; handle <= kLastHandle; ++handle) {
        if (distance(places[std::size_t(handle - 1)]) < kHitTolerance) {
            click.send_drag = 1;
            click.continue_refcon[0] = handle;
            return true;
        }
    }
    return false;
}

PF_Err HandleOverlayClick(const PF_InData* in_data, PF_ParamDef* const params[], PF_EventExtra* event) {
    const PF_WindowType window = EventWindowType(event);
    if (window != PF_Window_COMP && window != PF_Window_LAYER) return PF_Err_NONE;
    // A miss leaves the record as the host gave it, so the host may pass the
    // click on to its own tools.
    if (HitTestHandles(in_data, params, event)) event->evt_out_flags = PF_EO_HANDLED_EVENT;
    return PF_Err_NONE;
}

PF_Err HandleOverlayDrag(const PF_InData* in_data, PF_ParamDef* const params[], PF_EventExtra* event) {
    WindowToLayerFn to_layer = nullptr;
    switch (EventWindowType(event)) {
        case PF_Window_COMP:
            to_layer = WindowToLayerComp;
            break;
        case PF_Window_LAYER:
            to_layer = WindowToLayerLayer;
            break;
        default:
            return PF_Err_NONE;
    }
    if (!IsHeldHandle(event->u.do_click.continue_refcon[0])) return PF_Err_NONE;
    ApplyHandleDrag(in_data, params, to_layer, event);
    event->evt_out_flags = PF_EO_HANDLED_EVENT;
    return PF_Err_NONE;
}

void ApplyHandleDrag(const PF_InData* in_data, PF_ParamDef* const params[], WindowToLayerFn to_layer,
                     PF_EventExtra* event) {
    // Asks for no suite, but like every overlay step it needs the basic suite
    // and fails alike without one.
    SuiteHandler suites(in_data->pica_basicP);
    const OverlayParams values = ReadOverlayParams(params);
    PF_DoClickEventInfo& click = event->u.do_click;

    const PF_FixedPoint m = to_layer(in_data, event, click.screen_point.h, click.screen_point.v);
    const PF_FixedPoint o = values.origin;
    const float a = AngleRadians(values.angle);
    const float par = PixelAspectRatio(in_data);

    // Outside 1 to 10 nothing is written; HandleOverlayDrag never gets here then.
    const A_intptr_t handle = click.continue_refcon[0];
    switch (handle) {
        case HandleTopLeft:
            DragCorner(params, m, o, a, par, -1, -1);
            break;
        case HandleTopRight:
            DragCorner(params, m, o, a, par, +1, -1);
            break;
        case HandleBottomLeft:
            DragCorner(params, m, o, a, par, -1, +1);
            break;
        case HandleBottomRight:
            DragCorner(params, m, o, a, par, +1, +1);
            break;
        case HandleRotation:
            WriteFixed(params[kParamAngle]->u.ad.value, params[kParamAngle], DragAngle(m, o));
            break;
        case HandleFeatherLeft:
        case HandleFeatherRight:
        case HandleFeatherTop:
        case HandleFeatherBottom:
            WriteDouble(params[kParamFeather], FiniteOrZero(DragFeather(A_long(handle), values, m, o, a, par)));
            break;
        case HandleOpacity: {
            // Back to window space: the opacity scale has a fixed size on
            // screen whatever the zoom, so the mouse is measured there.
            PF_FixedPoint origin_window = o;
            LayerToWindow(in_data, event, origin_window);
            PF_FixedPoint mouse_window = m;
            LayerToWindow(in_data, event, mouse_window);
            // Not clamped: the drag may take Opacity beyond 0 to 100.
            WriteFixed(params[kParamOpacity]->u.fd.value, params[kParamOpacity],
                       ClampToInt32(std::int64_t{origin_window.y} - mouse_window.y + kOpacityAtOrigin));
            break;
        }
        default:
            break;
    }

    click.send_drag = 1;
    if (click.last_time) {
        // Released: this event's values stand, and the drag is over.
        click.continue_refcon[0] = 0;
        click.send_drag = 0;
    }
}

}  // namespace quorvel
