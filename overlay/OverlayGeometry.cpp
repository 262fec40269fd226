#include "overlay/OverlayGeometry.h"

#include <cmath>
#include <cstdint>

#include "numeric/FixedPoint.h"
#include "numeric/Saturate.h"
#include "shell/Errors.h"
#include "shell/Params.h"
#include "shell/SuiteHandler.h"

namespace quorvel {

namespace {

/// A host that hands us a null callback or function slot gets the same
/// answer as one that hands us no suite: a code, not a crash in its process.
template <typename Fn>
Fn Require(Fn fn) {
    if (fn == nullptr) RaiseMissingSuite();
    return fn;
}

}  // namespace

OverlayParams ReadOverlayParams(PF_ParamDef* const params[]) {
    if (params == nullptr) RaiseError(PF_Err_BAD_CALLBACK_PARAM);
    for (const A_long index :
         {kParamMaskType, kParamOrigin, kParamWidth, kParamHeight, kParamAngle, kParamFeather, kParamOpacity}) {
        if (params[index] == nullptr) RaiseError(PF_Err_BAD_CALLBACK_PARAM);
    }
    OverlayParams values;
    values.mask_type = params[kParamMaskType]->u.pd.value;
    values.origin = {params[kParamOrigin]->u.td.x_value, params[kParamOrigin]->u.td.y_value};
    values.width = params[kParamWidth]->u.fs_d.value;
    values.height = params[kParamHeight]->u.fs_d.value;
    values.angle = params[kParamAngle]->u.ad.value;
    values.feather = params[kParamFeather]->u.fs_d.value;
    values.opacity = params[kParamOpacity]->u.fd.value;
    return values;
}

bool IsPremiere(const PF_InData* in_data) { return in_data->appl_id == PF_APPL_ID_PREMIERE; }

PF_WindowType EventWindowType(const PF_EventExtra* event) {
    if (event == nullptr || event->contextH == nullptr || *event->contextH == nullptr) return PF_Window_NONE;
    return (*event->contextH)->w_type;
}

float AngleRadians(PF_Fixed angle) { return float(RadiansFromFixedDegrees(angle)); }

float PixelAspectRatio(const PF_InData* in_data) {
    return float(in_data->pixel_aspect_ratio.num) / float(in_data->pixel_aspect_ratio.den);
}

PF_Fixed RoundToFixed(double v) { return FixedFromDoubleNearestTiesAway(v); }

OverlayBoxes ComputeOverlayBoxes(const PF_InData* in_data, const OverlayParams& params) {
    // Width and Feather are in square pixels; q turns a horizontal length into
    // layer pixels. It is den / num, not 1 / par, so that it rounds the same
    // way as the mask the render draws.
    const float q = float(in_data->pixel_aspect_ratio.den) / float(in_data->pixel_aspect_ratio.num);
    const PF_Fixed hw = RoundToFixed(params.width * 0.5);
    const PF_Fixed hh = RoundToFixed(params.height * 0.5);

    OverlayBoxes boxes;
    const float origin_x = float(params.origin.x);
    const float half_extent = float(hw) * q;
    boxes.mask.left = SaturateToInt32(origin_x - half_extent);
    boxes.mask.right = SaturateToInt32(half_extent + origin_x);
    boxes.mask.top = ClampToInt32(std::int64_t{params.origin.y} - hh);
    boxes.mask.bottom = ClampToInt32(std::int64_t{params.origin.y} + hh);

    // The vertical inset keeps the box's proportions: Feather x Height / Width.
    // A NaN Height passes the guard and makes the inset NaN, which rounds to 0.
    const double ratio = params.height != 0.0 ? params.width / params.height : 0.0;

    const PF_Fixed fx = RoundToFixed(double(q) * params.feather);
    // With a zero Width or Height the ratio is 0 and Feather / ratio has no
    // finite value. The matte then has no area to feather, so the feather box
    // keeps the mask box's top and bottom: handles 6 to 9 stay on its edges.
    const PF_Fixed fy = ratio == 0.0 ? 0 : RoundToFixed(params.feather / ratio);

    // Not clamped: a feather wider than half the box turns the box inside out.
    boxes.feather.left = ClampToInt32(std::int64_t{boxes.mask.left} + fx);
    boxes.feather.right = ClampToInt32(std::int64_t{boxes.mask.right} - fx);
    boxes.feather.top = ClampToInt32(std::int64_t{boxes.mask.top} + fy);
    boxes.feather.bottom = ClampToInt32(std::int64_t{boxes.mask.bottom} - fy);
    return boxes;
}

void LayerToWindow(const PF_InData* in_data, const PF_EventExtra* event, PF_FixedPoint& point) {
    const PF_EventCallbacks& cbs = event->cbs;
    // A layer window already shows layer space; only a composition window
    // places the layer in the composition first.
    if (EventWindowType(event) == PF_Window_COMP) {
        Require(cbs.layer_to_comp)(cbs.refcon, event->contextH, in_data->current_time, A_long(in_data->time_scale),
                                   &point);
    }
    Require(cbs.source_to_frame)(cbs.refcon, event->contextH, &point);
}

OverlayQuad RectToWindowQuad(const PF_InData* in_data, const PF_EventExtra* event, const PF_FixedRect& rect) {
    // Mapped in drawing order around the rectangle; the quad's slots then
    // take the bottom corners crosswise.
    std::array<PF_FixedPoint, 4> around = {{
        {rect.left, rect.top},
        {rect.right, rect.top},
        {rect.right, rect.bottom},
        {rect.left, rect.bottom},
    }};
    const PF_EventCallbacks& cbs = event->cbs;
    if (EventWindowType(event) == PF_Window_COMP) {
        const auto layer_to_comp = Require(cbs.layer_to_comp);
        for (PF_FixedPoint& p : around) {
            layer_to_comp(cbs.refcon, event->contextH, in_data->current_time, A_long(in_data->time_scale), &p);
        }
    }
    const auto source_to_frame = Require(cbs.source_to_frame);
    for (PF_FixedPoint& p : around) source_to_frame(cbs.refcon, event->contextH, &p);

    OverlayQuad quad;
    quad.corner[kTopLeft] = around[0];
    quad.corner[kTopRight] = around[1];
    quad.corner[kBottomLeft] = around[3];
    quad.corner[kBottomRight] = around[2];
    return quad;
}

void RotateQuad(const PF_InData* in_data, OverlayQuad& quad, PF_FixedPoint centre, float angle) {
    // Made in every host, so a host without a basic suite fails here alike.
    SuiteHandler suites(in_data->pica_basicP);
    if (IsPremiere(in_data)) {
        const float c = std::cos(angle);
        const float s = std::sin(angle);
        const float cx = float(centre.x);
        const float cy = float(centre.y);
        for (PF_FixedPoint& p : quad.corner) {
            const float dx = float(std::int64_t{p.x} - centre.x);
            const float dy = float(std::int64_t{p.y} - centre.y);
            const float x = cx + dx * c - dy * s;
            const float y = cy + dx * s + dy * c;
            p = {SaturateToInt32(x), SaturateToInt32(y)};
        }
        return;
    }
    const PF_ANSICallbacksSuite1* ansi = suites.ANSISuite1();
    const double c = Require(ansi->cos)(double(angle));
    const double s = Require(ansi->sin)(double(angle));
    const double cx = double(centre.x);
    const double cy = double(centre.y);
    for (PF_FixedPoint& p : quad.corner) {
        const double dx = double(std::int64_t{p.x} - centre.x);
        const double dy = double(std::int64_t{p.y} - centre.y);
        const double x = cx + dx * c - dy * s;
        const double y = cy + dx * s + dy * c;
        p = {SaturateToInt32(x), SaturateToInt32(y)};
    }
}

PF_FixedPoint ComputeRotationHandlePoint(const PF_InData* in_data, const OverlayParams& params) {
    // A fixed fraction of the layer rather than of the box, so the handle
    // stays reachable when the box is tiny or huge.
    const double radius = double(in_data->height) / 5.0;
    const float a = AngleRadians(params.angle);
    const PF_Fixed sx = RoundToFixed(double(std::sin(a)) * radius);
    const PF_Fixed cy = RoundToFixed(double(std::cos(a)) * radius);
    const float par = PixelAspectRatio(in_data);
    return {SaturateToInt32(float(sx) / par + float(params.origin.x)),
            ClampToInt32(std::int64_t{params.origin.y} - cy)};
}

PF_FixedPoint WindowToLayerComp(const PF_InData* in_data, const PF_EventExtra* event, A_long h, A_long v) {
    // Saturates rather than wrapping for a mouse beyond +-32767 pixels.
    PF_FixedPoint p{FixedFromWholeSaturating(h), FixedFromWholeSaturating(v)};
    const PF_EventCallbacks& cbs = event->cbs;
    Require(cbs.frame_to_source)(cbs.refcon, event->contextH, &p);
    Require(cbs.comp_to_layer)(cbs.refcon, event->contextH, in_data->current_time, A_long(in_data->time_scale), &p);
    return p;
}

PF_FixedPoint WindowToLayerLayer(const PF_InData*, const PF_EventExtra* event, A_long h, A_long v) {
    PF_FixedPoint p{FixedFromWholeSaturating(h), FixedFromWholeSaturating(v)};
    const PF_EventCallbacks& cbs = event->cbs;
    Require(cbs.frame_to_source)(cbs.refcon, event->contextH, &p);
    return p;
}

PF_FixedPoint WindowToLayer(const PF_InData* in_data, const PF_EventExtra* event, A_long h, A_long v) {
    return EventWindowType(event) == PF_Window_COMP ? WindowToLayerComp(in_data, event, h, v)
                                                    : WindowToLayerLayer(in_data, event, h, v);
}

OverlayLayout ComputeOverlayLayout(const PF_InData* in_data, const PF_EventExtra* event, const OverlayParams& params) {
    OverlayLayout layout;
    layout.origin = params.origin;
    LayerToWindow(in_data, event, layout.origin);

    const OverlayBoxes boxes = ComputeOverlayBoxes(in_data, params);
    layout.mask = RectToWindowQuad(in_data, event, boxes.mask);
    layout.feather = RectToWindowQuad(in_data, event, boxes.feather);

    // Rotated after the mapping, in window space: the host's mapping may
    // scale the axes differently, and the box must turn as seen on screen.
    const float a = AngleRadians(params.angle);
    RotateQuad(in_data, layout.mask, layout.origin, a);
    RotateQuad(in_data, layout.feather, layout.origin, a);
    return layout;
}

PF_FixedPoint RotationHandleWindowPoint(const PF_InData* in_data, const PF_EventExtra* event,
                                        const OverlayParams& params) {
    PF_FixedPoint point = ComputeRotationHandlePoint(in_data, params);
    LayerToWindow(in_data, event, point);
    return point;
}

DRAWBOT_PointF32 ToWindowFloat(PF_FixedPoint point) { return {FloatFromFixed(point.x), FloatFromFixed(point.y)}; }

}  // namespace quorvel
