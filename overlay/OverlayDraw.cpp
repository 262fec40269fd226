#include "overlay/OverlayDraw.h"

#include <cmath>
#include <cstdint>

#include "numeric/FixedPoint.h"
#include "numeric/Saturate.h"
#include "overlay/DrawbotWrappers_pvt.h"
#include "shell/Params.h"
#include "shell/SuiteHandler.h"

namespace quorvel {

namespace {

/// Premiere pens. 0.9f is 0x3F666666.
constexpr DRAWBOT_ColorRGBA kHandleColour = {0.9f, 0.9f, 0.0f, 1.0f};
constexpr DRAWBOT_ColorRGBA kEllipseColour = {0.9f, 0.9f, 0.9f, 1.0f};
constexpr float kPenWidth = 1.0f;

/// After Effects: the theme's stroke, with its shadow so the controls read
/// on any picture.
constexpr PF_Boolean kDrawShadow = 1;

constexpr A_long kCornerHandleHalfSize = 3;
constexpr float kFeatherHandleRadius = 4.0f;
constexpr float kRotationHandleRadius = 6.0f;
constexpr float kFullCircleStart = 0.0f;
constexpr float kFullCircleSweep = 360.0f;

/// Opacity scale, in window pixels beside the origin: 100 pixels tall, so
/// one pixel is one percent whatever the zoom.
constexpr float kOpacityScaleOffsetX = 40.0f;
constexpr float kOpacityScaleHalfLength = 50.0f;
constexpr float kOpacityScaleLength = 100.0f;

/// Host drawing calls of one function, made only while every earlier one
/// succeeded; the first failure code is kept.
class DrawChain {
public:
    explicit DrawChain(PF_Err first = PF_Err_NONE) : err_(first) {}

    template <typename Call>
    void operator()(Call&& call) {
        if (err_ == PF_Err_NONE) err_ = call();
    }

    bool failed() const { return err_ != PF_Err_NONE; }
    PF_Err err() const { return err_; }

private:
    PF_Err err_;
};

DRAWBOT_PathRef NewPathRef(const DrawbotSuites& suites, DRAWBOT_SupplierRef supplier) {
    DRAWBOT_PathRef fresh = nullptr;
    ThrowIfDrawbotError(suites.supplier->NewPath(supplier, &fresh));
    return fresh;
}

/// A sub-step's stroke: the theme in After Effects; in Premiere a pen of
/// the sub-step's own, made after the surface and released right after.
PF_Err StrokeWithOwnPen(bool premiere, SuiteHandler& handler, const DrawbotSuites& suites, DRAWBOT_DrawRef draw,
                        DRAWBOT_SupplierRef supplier, DRAWBOT_PathRef path, const DRAWBOT_ColorRGBA& colour) {
    if (!premiere) return handler.EffectCustomUIOverlayThemeSuite1()->PF_StrokePath(draw, path, kDrawShadow);
    DRAWBOT_SurfaceRef surface = nullptr;
    if (const PF_Err err = handler.DrawbotSuite1()->GetSurface(draw, &surface)) return err;
    DRAWBOT_PenP pen(suites.supplier, supplier, &colour, kPenWidth);
    return suites.surface->StrokePath(surface, pen.Get(), path);
}

QuadPixels CornerHandleSquare(A_LPoint corner) {
    // QuadPixels coordinates are 16-bit, so the offsets cannot overflow.
    const A_long d = kCornerHandleHalfSize;
    QuadPixels square;
    square.corner[kTopLeft] = {corner.x - d, corner.y - d};
    square.corner[kTopRight] = {corner.x + d, corner.y - d};
    square.corner[kBottomLeft] = {corner.x - d, corner.y + d};
    square.corner[kBottomRight] = {corner.x + d, corner.y + d};
    return square;
}

DRAWBOT_PointF32 EdgeMiddle(A_LPoint a, A_LPoint b) {
    // Whole-pixel sums halved in double: a middle may fall on a half pixel.
    return {float(double(a.x + b.x) * 0.5), float(double(a.y + b.y) * 0.5)};
}

/// What DrawOverlay strokes after its sub-steps: everything that shares the
/// one path (and, in Premiere, the one pen) made for them.
struct HandleStrokes {
    const PF_InData* in_data;
    const PF_EventExtra* event;
    const OverlayParams& values;
    SuiteHandler& handler;
    const DrawbotSuites& suites;
    DRAWBOT_DrawRef draw;
    DRAWBOT_SupplierRef supplier;
    DRAWBOT_SurfaceRef surface;
    bool premiere;
    DRAWBOT_PointF32 origin;
    const QuadPixels& feather;

    PF_Err Stroke(DRAWBOT_PathRef path, DRAWBOT_PenRef pen) const {
        if (premiere) return suites.surface->StrokePath(surface, pen, path);
        return handler.EffectCustomUIOverlayThemeSuite1()->PF_StrokePath(draw, path, kDrawShadow);
    }

    /// Stops at the first failure: nothing more would be drawn, so no
    /// further path is made and no further callback is made either.
    void Draw(DRAWBOT_PathP& path, DRAWBOT_PenRef pen) const {
        const DRAWBOT_PathSuite1* ps = suites.path;
        DrawChain chain;

        const auto& f = feather.corner;
        for (const DRAWBOT_PointF32& centre :
             {EdgeMiddle(f[kTopLeft], f[kTopRight]), EdgeMiddle(f[kBottomLeft], f[kBottomRight]),
              EdgeMiddle(f[kTopLeft], f[kBottomLeft]), EdgeMiddle(f[kTopRight], f[kBottomRight])}) {
            chain([&] {
                return ps->AddArc(path.Get(), &centre, kFeatherHandleRadius, kFullCircleStart, kFullCircleSweep);
            });
        }
        chain([&] { return Stroke(path.Get(), pen); });
        if (chain.failed()) return;

        const DRAWBOT_PointF32 rotation = ToWindowFloat(RotationHandleWindowPoint(in_data, event, values));
        path.Reset(NewPathRef(suites, supplier));
        chain([&] { return ps->MoveTo(path.Get(), origin.x, origin.y); });
        chain([&] { return ps->LineTo(path.Get(), rotation.x, rotation.y); });
        chain([&] { return Stroke(path.Get(), pen); });
        if (chain.failed()) return;

        path.Reset(NewPathRef(suites, supplier));
        chain([&] {
            return ps->AddArc(path.Get(), &rotation, kRotationHandleRadius, kFullCircleStart, kFullCircleSweep);
        });
        chain([&] { return Stroke(path.Get(), pen); });
        if (chain.failed()) return;

        const float x = origin.x - kOpacityScaleOffsetX;
        const float top = origin.y - kOpacityScaleHalfLength;
        path.Reset(NewPathRef(suites, supplier));
        chain([&] { return ps->MoveTo(path.Get(), x, top); });
        chain([&] { return ps->LineTo(path.Get(), x, top + kOpacityScaleLength); });
        chain([&] { return Stroke(path.Get(), pen); });
        if (chain.failed()) return;

        // 100 % at the top of the scale, 0 % at the bottom. The marker is one
        // pixel wider on the right, as it always has been.
        const float y = top + float(100.0 - DoubleFromFixed(values.opacity));
        QuadPixels marker;
        marker.corner[kTopLeft] = {SaturateToInt32(x - 5.0f), SaturateToInt32(y - 2.0f)};
        marker.corner[kTopRight] = {SaturateToInt32(x + 6.0f), SaturateToInt32(y - 2.0f)};
        marker.corner[kBottomLeft] = {SaturateToInt32(x - 5.0f), SaturateToInt32(y + 2.0f)};
        marker.corner[kBottomRight] = {SaturateToInt32(x + 6.0f), SaturateToInt32(y + 2.0f)};
        chain([&] { return DrawQuadOutline(in_data, marker, draw, suites); });
    }
};

}  // namespace

QuadPixels ToQuadPixels(const OverlayQuad& quad) {
    QuadPixels pixels;
    for (std::size_t i = 0; i < quad.corner.size(); ++i) {
        // Rounded to nearest in 64 bits, then held as the host's 16-bit
        // drawing coordinate: only a value rounding to +32768 changes, to -32768.
        const auto round = [](PF_Fixed v) { return A_long(std::int16_t(WholeFromFixedNearestTiesUp(v))); };
        pixels.corner[i] = {round(quad.corner[i].x), round(quad.corner[i].y)};
    }
    return pixels;
}

void ComputeEllipseOutline(const PF_InData* in_data, PF_FixedPoint origin_layer, double angle, double half_width,
                           double half_height, EllipseOutline& points, const PF_EventExtra* event) {
    SuiteHandler handler(in_data->pica_basicP);
    const bool premiere = IsPremiere(in_data);
    const auto cosine = [&](double v) {
        if (premiere) return std::cos(v);
        const auto fn = handler.ANSISuite1()->cos;
        if (fn == nullptr) RaiseMissingSuite();
        return fn(v);
    };
    const auto sine = [&](double v) {
        if (premiere) return std::sin(v);
        const auto fn = handler.ANSISuite1()->sin;
        if (fn == nullptr) RaiseMissingSuite();
        return fn(v);
    };

    // Only x is divided by the pixel aspect ratio: Width is in square pixels.
    const double par = double(PixelAspectRatio(in_data));
    const double cos_a = cosine(angle);
    const double sin_a = sine(angle);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const double t = double(i) * 6.283185307179586 * 0.015625;
        const double cos_t = cosine(t);
        const double sin_t = sine(t);
        const double dx = (half_width * cos_t * cos_a - half_height * sin_t * sin_a) / par;
        const double dy = half_width * cos_t * sin_a + half_height * sin_t * cos_a;
        PF_FixedPoint p{ClampToInt32(std::int64_t{origin_layer.x} + RoundToFixed(dx)),
                        ClampToInt32(std::int64_t{origin_layer.y} + RoundToFixed(dy))};
        // Mapped point by point: in layer space the ellipse is exact, and the
        // host's mapping carries it to the window whatever its zoom.
        LayerToWindow(in_data, event, p);
        points[i] = ToWindowFloat(p);
    }
}

PF_Err DrawEllipseOutline(const PF_InData* in_data, PF_FixedPoint origin_layer, double angle, double half_width,
                          double half_height, DRAWBOT_DrawRef draw, const DrawbotSuites& suites,
                          const PF_EventExtra* event) {
    SuiteHandler handler(in_data->pica_basicP);
    DRAWBOT_SupplierRef supplier = nullptr;
    DrawChain chain(suites.draw->GetSupplier(draw, &supplier));
    // Without a supplier no object can be made through it; nothing would be
    // drawn anyway.
    if (chain.failed()) return chain.err();
    DRAWBOT_PathP path(suites.supplier, supplier);

    EllipseOutline p;
    ComputeEllipseOutline(in_data, origin_layer, angle, half_width, half_height, p, event);
    const DRAWBOT_PathSuite1* ps = suites.path;
    chain([&] { return ps->MoveTo(path.Get(), p[0].x, p[0].y); });
    for (const DRAWBOT_PointF32& point : p) chain([&] { return ps->LineTo(path.Get(), point.x, point.y); });
    // The first LineTo repeats p[0] (a zero-length segment) and the last
    // returns to it; the path is left open, without Close.
    chain([&] { return ps->LineTo(path.Get(), p[0].x, p[0].y); });
    chain([&] {
        return StrokeWithOwnPen(IsPremiere(in_data), handler, suites, draw, supplier, path.Get(), kEllipseColour);
    });
    return chain.err();
}

PF_Err DrawQuadOutline(const PF_InData* in_data, const QuadPixels& points, DRAWBOT_DrawRef draw,
                       const DrawbotSuites& suites) {
    SuiteHandler handler(in_data->pica_basicP);
    DRAWBOT_SupplierRef supplier = nullptr;
    DrawChain chain(suites.draw->GetSupplier(draw, &supplier));
    if (chain.failed()) return chain.err();
    DRAWBOT_PathP path(suites.supplier, supplier);

    const DRAWBOT_PathSuite1* ps = suites.path;
    const auto& c = points.corner;
    chain([&] { return ps->MoveTo(path.Get(), float(c[kTopLeft].x), float(c[kTopLeft].y)); });
    chain([&] { return ps->LineTo(path.Get(), float(c[kTopRight].x), float(c[kTopRight].y)); });
    chain([&] { return ps->LineTo(path.Get(), float(c[kBottomRight].x), float(c[kBottomRight].y)); });
    chain([&] { return ps->LineTo(path.Get(), float(c[kBottomLeft].x), float(c[kBottomLeft].y)); });
    chain([&] { return ps->Close(path.Get()); });
    chain([&] {
        return StrokeWithOwnPen(IsPremiere(in_data), handler, suites, draw, supplier, path.Get(), kHandleColour);
    });
    return chain.err();
}

void DrawOverlay(const PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* const params[],
                 const PF_EventExtra* event) {
    // Holds every suite of the draw. Declared first so that it outlives, and
    // hands its suites back after, every pen and path below.
    SuiteHandler handler(in_data, out_data);
    const OverlayParams values = ReadOverlayParams(params);
    const bool premiere = IsPremiere(in_data);
    const float angle = AngleRadians(values.angle);

    const OverlayLayout layout = ComputeOverlayLayout(in_data, event, values);
    const QuadPixels mask = ToQuadPixels(layout.mask);
    const QuadPixels feather = ToQuadPixels(layout.feather);
    const DRAWBOT_PointF32 origin = ToWindowFloat(layout.origin);

    // A failed acquisition has been reported to the user; what it got goes
    // back with the handler.
    DrawbotSuites suites;
    if (!handler.TakeDrawbotSuites(suites)) return;

    DRAWBOT_DrawRef draw = nullptr;
    DrawChain chain(handler.EffectCustomUISuite1()->PF_GetDrawingReference(event->contextH, &draw));
    if (draw == nullptr) return;  // nothing to draw into; not an error

    // The draw suite is held twice: taken above with the other three, and
    // taken again on first use here (GetSurface in Premiere, GetSupplier
    // below otherwise). Hosts see both acquisitions and both releases, and
    // the call order they are checked against has them, so the second is
    // not served from the first.
    DRAWBOT_SurfaceRef surface = nullptr;
    if (premiere) chain([&] { return handler.DrawbotSuite1()->GetSurface(draw, &surface); });

    if (values.mask_type == kMaskEllipse) {
        chain([&] {
            return DrawEllipseOutline(in_data, values.origin, double(angle), values.width * 0.5, values.height * 0.5,
                                      draw, suites, event);
        });
    }
    chain([&] { return DrawQuadOutline(in_data, mask, draw, suites); });
    // Clockwise around the box, each handle a path of its own.
    for (const QuadCorner corner : {kTopLeft, kTopRight, kBottomRight, kBottomLeft}) {
        chain([&] { return DrawQuadOutline(in_data, CornerHandleSquare(mask.corner[corner]), draw, suites); });
    }

    DRAWBOT_SupplierRef supplier = nullptr;
    chain([&] { return handler.DrawbotSuite1()->GetSupplier(draw, &supplier); });
    // After a failure nothing more is drawn, and the supplier was not fetched:
    // making the path and pen would hand the host an unset supplier. So no
    // further object is made.
    if (chain.failed()) return;

    const HandleStrokes strokes{in_data,  event,   values,   handler, suites, draw,
                                supplier, surface, premiere, origin,  feather};
    DRAWBOT_PathP path(suites.supplier, supplier);
    if (premiere) {
        DRAWBOT_PenP pen(suites.supplier, supplier, &kHandleColour, kPenWidth);
        strokes.Draw(path, pen.Get());
    } else {
        strokes.Draw(path, nullptr);
    }
}

}  // namespace quorvel
