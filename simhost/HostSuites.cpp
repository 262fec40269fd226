#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "frames/Drawing.h"
#include "frames/Poison.h"
#include "numeric/FixedPoint.h"
#include "simhost/Forbidden_pvt.h"
#include "simhost/Host.h"
#include "simhost/HostSuites_pvt.h"

namespace quorvel::sim {

namespace {

std::string Num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

// ---- Basic suite ----------------------------------------------------------

SPErr AcquireSuite(const char* name, A_long version, const void** suite) {
    return Host::Current().AcquireSuite(name, version, suite);
}
SPErr ReleaseSuite(const char* name, A_long version) { return Host::Current().ReleaseSuite(name, version); }
const SPBasicSuite kBasicSuite = [] {
    SPBasicSuite suite;
    frames::Poison(suite);
    suite.AcquireSuite = AcquireSuite;
    suite.ReleaseSuite = ReleaseSuite;
    Forbid<"IsEqual">(suite.IsEqual);
    Forbid<"AllocateBlock">(suite.AllocateBlock);
    Forbid<"FreeBlock">(suite.FreeBlock);
    Forbid<"ReallocateBlock">(suite.ReallocateBlock);
    Forbid<"Undefined">(suite.Undefined);
    return suite;
}();

// ---- ANSI services ----------------------------------------------------------
// The module only ever formats into return_msg (256 bytes) and copies into a
// definition's name (32 bytes); the host bounds both so a long text is cut
// rather than overrunning the record.

int AnsiSprintf(A_char* dst, const A_char* format, ...) {
    Host::Current().Hook("sprintf", std::string("\"") + format + "\"");
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(dst, PF_MAX_EFFECT_MSG_LEN + 1, format, args);
    va_end(args);
    return n;
}

A_char* AnsiStrcpy(A_char* dst, const A_char* src) {
    Host::Current().Hook("strcpy", std::string("\"") + src + "\"");
    std::snprintf(dst, PF_MAX_EFFECT_PARAM_NAME_LEN + 1, "%s", src);
    return dst;
}

double AnsiCos(double v) {
    Host::Current().Hook("cos", Num(v));
    return std::cos(v);
}
double AnsiSin(double v) {
    Host::Current().Hook("sin", Num(v));
    return std::sin(v);
}
double AnsiFabs(double v) {
    Host::Current().Hook("fabs", Num(v));
    return std::fabs(v);
}
/// Both ANSI tables, every function forbidden; each table then opens the
/// ones that are the module's business.
template <typename Table>
void ForbidAnsiFunctions(Table& ansi) {
    Forbid<"atan">(ansi.atan);
    Forbid<"atan2">(ansi.atan2);
    Forbid<"ceil">(ansi.ceil);
    Forbid<"cos">(ansi.cos);
    Forbid<"exp">(ansi.exp);
    Forbid<"fabs">(ansi.fabs);
    Forbid<"floor">(ansi.floor);
    Forbid<"fmod">(ansi.fmod);
    Forbid<"hypot">(ansi.hypot);
    Forbid<"log">(ansi.log);
    Forbid<"log10">(ansi.log10);
    Forbid<"pow">(ansi.pow);
    Forbid<"sin">(ansi.sin);
    Forbid<"sqrt">(ansi.sqrt);
    Forbid<"tan">(ansi.tan);
    Forbid<"sprintf">(ansi.sprintf);
    Forbid<"strcpy">(ansi.strcpy);
    Forbid<"asin">(ansi.asin);
    Forbid<"acos">(ansi.acos);
}

/// "PF ANSI Suite": the about text, and the overlay's sines, cosines and
/// absolute values.
const PF_ANSICallbacksSuite1 kAnsiSuite = [] {
    PF_ANSICallbacksSuite1 suite;
    frames::Poison(suite);
    ForbidAnsiFunctions(suite);
    suite.cos = AnsiCos;
    suite.fabs = AnsiFabs;
    suite.sin = AnsiSin;
    suite.sprintf = AnsiSprintf;
    return suite;
}();

/// The in-data's utility callbacks: only two ANSI functions are the
/// module's business.
const PF_UtilCallbacks kUtils = [] {
    PF_UtilCallbacks utils;
    frames::Poison(utils);
    Forbid<"begin_sampling">(utils.begin_sampling);
    Forbid<"subpixel_sample">(utils.subpixel_sample);
    Forbid<"area_sample">(utils.area_sample);
    Forbid<"end_sampling">(utils.end_sampling);
    Forbid<"composite_rect">(utils.composite_rect);
    Forbid<"blend">(utils.blend);
    Forbid<"convolve">(utils.convolve);
    Forbid<"copy">(utils.copy);
    Forbid<"fill">(utils.fill);
    Forbid<"gaussian_kernel">(utils.gaussian_kernel);
    Forbid<"utils.iterate">(utils.iterate);
    Forbid<"premultiply">(utils.premultiply);
    Forbid<"premultiply_color">(utils.premultiply_color);
    Forbid<"new_world">(utils.new_world);
    Forbid<"dispose_world">(utils.dispose_world);
    Forbid<"iterate_origin">(utils.iterate_origin);
    Forbid<"iterate_lut">(utils.iterate_lut);
    Forbid<"transfer_rect">(utils.transfer_rect);
    Forbid<"transform_world">(utils.transform_world);
    Forbid<"host_new_handle">(utils.host_new_handle);
    Forbid<"host_lock_handle">(utils.host_lock_handle);
    Forbid<"host_unlock_handle">(utils.host_unlock_handle);
    Forbid<"host_dispose_handle">(utils.host_dispose_handle);
    Forbid<"get_callback_addr">(utils.get_callback_addr);
    Forbid<"app">(utils.app);
    // Parameter names are copied and failure messages formatted through these.
    ForbidAnsiFunctions(utils.ansi);
    utils.ansi.sprintf = AnsiSprintf;
    utils.ansi.strcpy = AnsiStrcpy;
    Forbid<"RGBtoHLS">(utils.colorCB.RGBtoHLS);
    Forbid<"HLStoRGB">(utils.colorCB.HLStoRGB);
    Forbid<"RGBtoYIQ">(utils.colorCB.RGBtoYIQ);
    Forbid<"YIQtoRGB">(utils.colorCB.YIQtoRGB);
    Forbid<"Luminance">(utils.colorCB.Luminance);
    Forbid<"Hue">(utils.colorCB.Hue);
    Forbid<"Lightness">(utils.colorCB.Lightness);
    Forbid<"Saturation">(utils.colorCB.Saturation);
    Forbid<"get_platform_data">(utils.get_platform_data);
    Forbid<"host_get_handle_size">(utils.host_get_handle_size);
    Forbid<"iterate_origin_non_clip_src">(utils.iterate_origin_non_clip_src);
    Forbid<"iterate_generic">(utils.iterate_generic);
    Forbid<"host_resize_handle">(utils.host_resize_handle);
    Forbid<"subpixel_sample16">(utils.subpixel_sample16);
    Forbid<"area_sample16">(utils.area_sample16);
    Forbid<"fill16">(utils.fill16);
    Forbid<"premultiply_color16">(utils.premultiply_color16);
    Forbid<"utils.iterate16">(utils.iterate16);
    Forbid<"iterate_origin16">(utils.iterate_origin16);
    Forbid<"iterate_origin_non_clip_src16">(utils.iterate_origin_non_clip_src16);
    Forbid<"get_pixel_data8">(utils.get_pixel_data8);
    Forbid<"get_pixel_data16">(utils.get_pixel_data16);
    return utils;
}();

// ---- Interact callbacks ---------------------------------------------------

PF_Err AddParam(PF_ProgPtr, A_long index, PF_ParamDefPtr def) { return Host::Current().AddParam(index, def); }
PF_Err RegisterUI(PF_ProgPtr, PF_CustomUIInfo* info) { return Host::Current().RegisterUI(info); }

// ---- Pixel format suite ---------------------------------------------------

PF_Err AddSupportedPixelFormat(PF_ProgPtr, PrPixelFormat format) {
    return Host::Current().PixelFormatCall("AddSupportedPixelFormat", format, false);
}
PF_Err ClearSupportedPixelFormats(PF_ProgPtr) {
    return Host::Current().PixelFormatCall("ClearSupportedPixelFormats", 0, true);
}
PF_Err GetPixelFormat(PF_EffectWorld* world, PrPixelFormat* format) {
    return Host::Current().GetPixelFormat(world, format);
}

const PF_PixelFormatSuite1 kPixelFormatSuite = [] {
    PF_PixelFormatSuite1 suite;
    frames::Poison(suite);
    suite.AddSupportedPixelFormat = AddSupportedPixelFormat;
    suite.ClearSupportedPixelFormats = ClearSupportedPixelFormats;
    Forbid<"NewWorldOfPixelFormat">(suite.NewWorldOfPixelFormat);
    Forbid<"DisposeWorld">(suite.DisposeWorld);
    suite.GetPixelFormat = GetPixelFormat;
    Forbid<"GetBlackForPixelFormat">(suite.GetBlackForPixelFormat);
    Forbid<"GetWhiteForPixelFormat">(suite.GetWhiteForPixelFormat);
    Forbid<"ConvertColorToPixelFormattedData">(suite.ConvertColorToPixelFormattedData);
    return suite;
}();

// ---- Iterate suites -------------------------------------------------------

PF_Err Iterate8(PF_InData* in_data, A_long base, A_long final, PF_EffectWorld* src, const PF_LRect* area, void* refcon,
                PF_IteratePixel8Func fn, PF_EffectWorld* dst) {
    return Host::Current().Iterate8(in_data, base, final, src, area, refcon, fn, dst);
}
PF_Err Iterate16(PF_InData* in_data, A_long base, A_long final, PF_EffectWorld* src, const PF_LRect* area, void* refcon,
                 PF_IteratePixel16Func fn, PF_EffectWorld* dst) {
    return Host::Current().Iterate16(in_data, base, final, src, area, refcon, fn, dst);
}

const PF_Iterate8Suite1 kIterate8Suite = [] {
    PF_Iterate8Suite1 suite;
    frames::Poison(suite);
    suite.iterate = Iterate8;
    Forbid<"iterate8.iterate_origin">(suite.iterate_origin);
    Forbid<"iterate8.iterate_lut">(suite.iterate_lut);
    Forbid<"iterate8.iterate_origin_non_clip_src">(suite.iterate_origin_non_clip_src);
    Forbid<"iterate8.iterate_generic">(suite.iterate_generic);
    return suite;
}();

const PF_iterate16Suite1 kIterate16Suite = [] {
    PF_iterate16Suite1 suite;
    frames::Poison(suite);
    suite.iterate = Iterate16;
    Forbid<"iterate16.iterate_origin">(suite.iterate_origin);
    Forbid<"iterate16.iterate_origin_non_clip_src">(suite.iterate_origin_non_clip_src);
    return suite;
}();

// ---- Custom UI and overlay theme --------------------------------------------

PF_Err GetDrawingReference(PF_ContextH context, DRAWBOT_DrawRef* ref) {
    return Host::Current().GetDrawingReference(context, ref);
}
const PF_EffectCustomUISuite1 kCustomUISuite = [] {
    PF_EffectCustomUISuite1 suite;
    suite.PF_GetDrawingReference = GetDrawingReference;
    return suite;
}();

frames::Drawing* DrawingOf(const void* ref) {
    frames::Drawing& drawing = Host::Current().drawing();
    return ref == &drawing ? &drawing : nullptr;
}

PF_Err ThemeStrokePath(DRAWBOT_DrawRef draw_ref, DRAWBOT_PathRef path, PF_Boolean draw_shadow) {
    if (const PF_Err err = Host::Current().Hook("PF_StrokePath", draw_shadow ? "shadow" : "no shadow")) return err;
    frames::Drawing* drawing = DrawingOf(draw_ref);
    std::vector<frames::PathSegment>* segments = drawing != nullptr ? drawing->PathSegments(path) : nullptr;
    if (segments == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    frames::Stroke stroke;
    stroke.theme = true;
    stroke.shadow = draw_shadow != 0;
    stroke.color = frames::Drawing::kThemeColor;
    stroke.width = frames::Drawing::kThemeWidth;
    stroke.segments = *segments;
    drawing->AddStroke(std::move(stroke));
    return PF_Err_NONE;
}

/// The module strokes with the host's theme and asks nothing of it.
const PF_EffectCustomUIOverlayThemeSuite1 kThemeSuite = [] {
    PF_EffectCustomUIOverlayThemeSuite1 suite;
    frames::Poison(suite);
    Forbid<"PF_GetPreferredForegroundColor">(suite.PF_GetPreferredForegroundColor);
    Forbid<"PF_GetPreferredShadowColor">(suite.PF_GetPreferredShadowColor);
    Forbid<"PF_GetPreferredStrokeWidth">(suite.PF_GetPreferredStrokeWidth);
    Forbid<"PF_GetPreferredVertexSize">(suite.PF_GetPreferredVertexSize);
    Forbid<"PF_GetPreferredShadowOffset">(suite.PF_GetPreferredShadowOffset);
    suite.PF_StrokePath = ThemeStrokePath;
    Forbid<"PF_FillPath">(suite.PF_FillPath);
    Forbid<"PF_FillVertex">(suite.PF_FillVertex);
    return suite;
}();

// ---- Drawing suites -------------------------------------------------------
// The drawing reference, supplier and surface are all the host's Drawing.

PF_Err GetSupplier(DRAWBOT_DrawRef draw_ref, DRAWBOT_SupplierRef* supplier) {
    if (const PF_Err err = Host::Current().Hook("GetSupplier")) return err;
    *supplier = reinterpret_cast<DRAWBOT_SupplierRef>(DrawingOf(draw_ref));
    return *supplier != nullptr ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM;
}
PF_Err GetSurface(DRAWBOT_DrawRef draw_ref, DRAWBOT_SurfaceRef* surface) {
    if (const PF_Err err = Host::Current().Hook("GetSurface")) return err;
    *surface = reinterpret_cast<DRAWBOT_SurfaceRef>(DrawingOf(draw_ref));
    return *surface != nullptr ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM;
}
const DRAWBOT_DrawbotSuite1 kDrawSuite = [] {
    DRAWBOT_DrawbotSuite1 suite;
    suite.GetSupplier = GetSupplier;
    suite.GetSurface = GetSurface;
    return suite;
}();

PF_Err NewPen(DRAWBOT_SupplierRef supplier, const DRAWBOT_ColorRGBA* color, float size, DRAWBOT_PenRef* pen) {
    if (const PF_Err err =
            Host::Current().Hook("NewPen", Num(color->red) + " " + Num(color->green) + " " + Num(color->blue) + " " +
                                               Num(color->alpha) + ", " + Num(size))) {
        return err;
    }
    frames::Drawing* drawing = DrawingOf(supplier);
    if (drawing == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    *pen = drawing->NewPen(*color, size);
    return PF_Err_NONE;
}
PF_Err NewPath(DRAWBOT_SupplierRef supplier, DRAWBOT_PathRef* path) {
    if (const PF_Err err = Host::Current().Hook("NewPath")) return err;
    frames::Drawing* drawing = DrawingOf(supplier);
    if (drawing == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    *path = drawing->NewPath();
    return PF_Err_NONE;
}
PF_Err ReleaseObject(DRAWBOT_ObjectRef object) {
    if (const PF_Err err = Host::Current().Hook("ReleaseObject")) return err;
    return Host::Current().drawing().Release(object) ? PF_Err_NONE : PF_Err(PF_Err_BAD_CALLBACK_PARAM);
}
const DRAWBOT_SupplierSuite1 kSupplierSuite = [] {
    DRAWBOT_SupplierSuite1 suite;
    frames::Poison(suite);
    suite.NewPen = NewPen;
    Forbid<"NewBrush">(suite.NewBrush);
    Forbid<"SupportsText">(suite.SupportsText);
    Forbid<"GetDefaultFontSize">(suite.GetDefaultFontSize);
    Forbid<"NewDefaultFont">(suite.NewDefaultFont);
    Forbid<"NewImageFromBuffer">(suite.NewImageFromBuffer);
    suite.NewPath = NewPath;
    Forbid<"SupportsPixelLayoutBGRA">(suite.SupportsPixelLayoutBGRA);
    Forbid<"PrefersPixelLayoutBGRA">(suite.PrefersPixelLayoutBGRA);
    Forbid<"SupportsPixelLayoutARGB">(suite.SupportsPixelLayoutARGB);
    Forbid<"PrefersPixelLayoutARGB">(suite.PrefersPixelLayoutARGB);
    Forbid<"RetainObject">(suite.RetainObject);
    suite.ReleaseObject = ReleaseObject;
    return suite;
}();

PF_Err SurfaceStrokePath(DRAWBOT_SurfaceRef surface, DRAWBOT_PenRef pen, DRAWBOT_PathRef path) {
    if (const PF_Err err = Host::Current().Hook("StrokePath")) return err;
    frames::Drawing* drawing = DrawingOf(surface);
    if (drawing == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    float width = 0;
    const DRAWBOT_ColorRGBA* color = drawing->PenColor(pen, &width);
    std::vector<frames::PathSegment>* segments = drawing->PathSegments(path);
    if (color == nullptr || segments == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    frames::Stroke stroke;
    stroke.color = *color;
    stroke.width = width;
    stroke.segments = *segments;
    drawing->AddStroke(std::move(stroke));
    return PF_Err_NONE;
}
/// Premiere's overlays are stroked with the module's own pens; nothing else
/// of the surface is the module's business.
const DRAWBOT_SurfaceSuite1 kSurfaceSuite = [] {
    DRAWBOT_SurfaceSuite1 suite;
    frames::Poison(suite);
    Forbid<"PushStateStack">(suite.PushStateStack);
    Forbid<"PopStateStack">(suite.PopStateStack);
    Forbid<"PaintRect">(suite.PaintRect);
    Forbid<"FillPath">(suite.FillPath);
    suite.StrokePath = SurfaceStrokePath;
    Forbid<"Clip">(suite.Clip);
    Forbid<"GetClipBounds">(suite.GetClipBounds);
    Forbid<"IsWithinClipBounds">(suite.IsWithinClipBounds);
    Forbid<"Transform">(suite.Transform);
    Forbid<"DrawString">(suite.DrawString);
    Forbid<"DrawImage">(suite.DrawImage);
    Forbid<"SetInterpolationPolicy">(suite.SetInterpolationPolicy);
    Forbid<"GetInterpolationPolicy">(suite.GetInterpolationPolicy);
    Forbid<"SetAntiAliasPolicy">(suite.SetAntiAliasPolicy);
    Forbid<"GetAntiAliasPolicy">(suite.GetAntiAliasPolicy);
    Forbid<"Flush">(suite.Flush);
    Forbid<"GetTransformToScreenScale">(suite.GetTransformToScreenScale);
    return suite;
}();

PF_Err AddSegment(const char* function, DRAWBOT_PathRef path, frames::PathSegment segment) {
    if (const PF_Err err = Host::Current().Hook(function, segment.ToString())) return err;
    std::vector<frames::PathSegment>* segments = Host::Current().drawing().PathSegments(path);
    if (segments == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    segments->push_back(segment);
    return PF_Err_NONE;
}
PF_Err MoveTo(DRAWBOT_PathRef path, float x, float y) {
    return AddSegment("MoveTo", path, {frames::PathSegment::Kind::Move, x, y});
}
PF_Err LineTo(DRAWBOT_PathRef path, float x, float y) {
    return AddSegment("LineTo", path, {frames::PathSegment::Kind::Line, x, y});
}
PF_Err AddArc(DRAWBOT_PathRef path, const DRAWBOT_PointF32* center, float radius, float start, float sweep) {
    return AddSegment("AddArc", path, {frames::PathSegment::Kind::Arc, center->x, center->y, radius, start, sweep});
}
PF_Err Close(DRAWBOT_PathRef path) { return AddSegment("Close", path, {frames::PathSegment::Kind::Close}); }
const DRAWBOT_PathSuite1 kPathSuite = [] {
    DRAWBOT_PathSuite1 suite;
    frames::Poison(suite);
    suite.MoveTo = MoveTo;
    suite.LineTo = LineTo;
    Forbid<"BezierTo">(suite.BezierTo);
    Forbid<"AddRect">(suite.AddRect);
    suite.AddArc = AddArc;
    suite.Close = Close;
    return suite;
}();

// ---- Event callbacks ------------------------------------------------------

std::string Point(const PF_FixedPoint* p) { return Num(DoubleFromFixed(p->x)) + " " + Num(DoubleFromFixed(p->y)); }

PF_Err LayerToComp(void*, PF_ContextH, A_long, A_long, PF_FixedPoint* pt) {
    Host::Current().log().Add("layer_to_comp", Point(pt));
    *pt = Host::Current().view().LayerToComp(*pt);
    return PF_Err_NONE;
}
PF_Err CompToLayer(void*, PF_ContextH, A_long, A_long, PF_FixedPoint* pt) {
    Host::Current().log().Add("comp_to_layer", Point(pt));
    *pt = Host::Current().view().CompToLayer(*pt);
    return PF_Err_NONE;
}
PF_Err SourceToFrame(void*, PF_ContextH, PF_FixedPoint* pt) {
    Host::Current().log().Add("source_to_frame", Point(pt));
    *pt = Host::Current().view().SourceToFrame(*pt);
    return PF_Err_NONE;
}
PF_Err FrameToSource(void*, PF_ContextH, PF_FixedPoint* pt) {
    Host::Current().log().Add("frame_to_source", Point(pt));
    *pt = Host::Current().view().FrameToSource(*pt);
    return PF_Err_NONE;
}

}  // namespace

const SPBasicSuite* BasicSuiteTable() { return &kBasicSuite; }

const PF_UtilCallbacks* UtilCallbacksTable() { return &kUtils; }

void FillInteractCallbacks(PF_InteractCallbacks& inter) {
    Forbid<"checkout_param">(inter.checkout_param);
    Forbid<"checkin_param">(inter.checkin_param);
    inter.add_param = AddParam;
    Forbid<"abort">(inter.abort);
    Forbid<"progress">(inter.progress);
    inter.register_ui = RegisterUI;
    Forbid<"checkout_layer_audio">(inter.checkout_layer_audio);
    Forbid<"checkin_layer_audio">(inter.checkin_layer_audio);
    Forbid<"get_audio_data">(inter.get_audio_data);
}

void FillEventCallbacks(PF_EventCallbacks& cbs, void* refcon) {
    cbs.refcon = refcon;
    cbs.layer_to_comp = LayerToComp;
    cbs.comp_to_layer = CompToLayer;
    Forbid<"get_comp2layer_xform">(cbs.get_comp2layer_xform);
    Forbid<"get_layer2comp_xform">(cbs.get_layer2comp_xform);
    cbs.source_to_frame = SourceToFrame;
    cbs.frame_to_source = FrameToSource;
    Forbid<"info_draw_color">(cbs.info_draw_color);
    Forbid<"info_draw_text">(cbs.info_draw_text);
}

const std::map<SuiteKey, const void*>& SuiteTables() {
    static const std::map<SuiteKey, const void*> tables = {
        {{kPFANSISuite, 1}, &kAnsiSuite},
        {{kPFPixelFormatSuite, 1}, &kPixelFormatSuite},
        {{kPFIterate8Suite, 1}, &kIterate8Suite},
        {{kPFIterate16Suite, 1}, &kIterate16Suite},
        {{kPFEffectCustomUISuite, 1}, &kCustomUISuite},
        {{kPFEffectCustomUIOverlayThemeSuite, 1}, &kThemeSuite},
        {{kDRAWBOT_DrawSuite, 1}, &kDrawSuite},
        {{kDRAWBOT_SupplierSuite, 1}, &kSupplierSuite},
        {{kDRAWBOT_SurfaceSuite, 1}, &kSurfaceSuite},
        {{kDRAWBOT_PathSuite, 1}, &kPathSuite},
    };
    return tables;
}

}  // namespace quorvel::sim
