#include "HostSuites.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "Drawing.h"
#include "Host.h"

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
SPErr ReleaseSuite(const char* name, A_long version) {
    return Host::Current().ReleaseSuite(name, version);
}
SPBoolean IsEqual(const char* a, const char* b) {
    return std::strcmp(a, b) == 0;
}
SPErr AllocateBlock(size_t, void** block) {
    *block = nullptr;
    return kSPSuiteNotFoundError;
}
SPErr FreeBlock(void*) {
    return kSPNoError;
}
SPErr ReallocateBlock(void*, size_t, void** block) {
    *block = nullptr;
    return kSPSuiteNotFoundError;
}
SPErr Undefined() {
    return kSPNoError;
}

const SPBasicSuite kBasicSuite = {AcquireSuite, ReleaseSuite, IsEqual,  AllocateBlock,
                                  FreeBlock,    ReallocateBlock, Undefined};

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
double Atan(double v) { return std::atan(v); }
double Atan2(double y, double x) { return std::atan2(y, x); }
double Ceil(double v) { return std::ceil(v); }
double Exp(double v) { return std::exp(v); }
double Floor(double v) { return std::floor(v); }
double Fmod(double a, double b) { return std::fmod(a, b); }
double Hypot(double a, double b) { return std::hypot(a, b); }
double Log(double v) { return std::log(v); }
double Log10(double v) { return std::log10(v); }
double Pow(double a, double b) { return std::pow(a, b); }
double Sqrt(double v) { return std::sqrt(v); }
double Tan(double v) { return std::tan(v); }
double Asin(double v) { return std::asin(v); }
double Acos(double v) { return std::acos(v); }

const PF_ANSICallbacks kAnsi = {Atan,  Atan2,   Ceil, AnsiCos, Exp,       AnsiFabs,   Floor,
                                Fmod,  Hypot,   Log,  Log10,   Pow,       AnsiSin,    Sqrt,
                                Tan,   AnsiSprintf, AnsiStrcpy, Asin, Acos};

const PF_UtilCallbacks kUtils = {kAnsi};

// ---- Interact callbacks ---------------------------------------------------

PF_Err AddParam(PF_ProgPtr, A_long index, PF_ParamDefPtr def) {
    return Host::Current().AddParam(index, def);
}
PF_Err RegisterUI(PF_ProgPtr, PF_CustomUIInfo* info) {
    return Host::Current().RegisterUI(info);
}

// ---- Pixel format suite ---------------------------------------------------

PF_Err AddPRSupportedPixelFormat(PF_ProgPtr, PrPixelFormat format) {
    return Host::Current().PixelFormatCall("AddPRSupportedPixelFormat", format, false);
}
PF_Err ClearSupportedPixelFormats(PF_ProgPtr) {
    return Host::Current().PixelFormatCall("ClearSupportedPixelFormats", 0, true);
}
PF_Err NewWorldOfPixelFormat(PF_ProgPtr, A_u_long, A_u_long, A_long, PrPixelFormat, PF_EffectWorld*) {
    return Host::Current().Hook("NewWorldOfPixelFormat");
}
PF_Err DisposeWorld(PF_ProgPtr, PF_EffectWorld*) {
    return Host::Current().Hook("DisposeWorld");
}
PF_Err GetPixelFormat(PF_EffectWorld* world, PrPixelFormat* format) {
    return Host::Current().GetPixelFormat(world, format);
}

const PF_PixelFormatSuite1 kPixelFormatSuite = {AddPRSupportedPixelFormat, ClearSupportedPixelFormats,
                                                NewWorldOfPixelFormat, DisposeWorld, GetPixelFormat};

// ---- Iterate suites -------------------------------------------------------

PF_Err Iterate8(PF_InData* in_data, A_long base, A_long final, PF_EffectWorld* src, const PF_LRect* area,
                void* refcon, PF_IteratePixel8Func fn, PF_EffectWorld* dst) {
    return Host::Current().Iterate8(in_data, base, final, src, area, refcon, fn, dst);
}
PF_Err Iterate16(PF_InData* in_data, A_long base, A_long final, PF_EffectWorld* src, const PF_LRect* area,
                 void* refcon, PF_IteratePixel16Func fn, PF_EffectWorld* dst) {
    return Host::Current().Iterate16(in_data, base, final, src, area, refcon, fn, dst);
}

const PF_Iterate8Suite1 kIterate8Suite = {Iterate8};
const PF_iterate16Suite1 kIterate16Suite = {Iterate16};

// ---- Custom UI and overlay theme --------------------------------------------

PF_Err GetDrawingReference(PF_ContextH context, DRAWBOT_DrawRef* ref) {
    return Host::Current().GetDrawingReference(context, ref);
}
const PF_EffectCustomUISuite1 kCustomUISuite = {GetDrawingReference};

Drawing* DrawingOf(const void* ref) {
    Drawing& drawing = Host::Current().drawing();
    return ref == &drawing ? &drawing : nullptr;
}

PF_Err GetPreferredForegroundColor(DRAWBOT_ColorRGBA* color) {
    *color = Drawing::kThemeColor;
    return PF_Err_NONE;
}
PF_Err GetPreferredShadowColor(DRAWBOT_ColorRGBA* color) {
    *color = Drawing::kThemeShadowColor;
    return PF_Err_NONE;
}
PF_Err GetPreferredStrokeWidth(float* width) {
    *width = Drawing::kThemeWidth;
    return PF_Err_NONE;
}
PF_Err GetPreferredVertexSize(float* size) {
    *size = 6.0f;
    return PF_Err_NONE;
}
PF_Err GetPreferredShadowOffset(A_LPoint* offset) {
    *offset = A_LPoint{1, 1};
    return PF_Err_NONE;
}

PF_Err ThemeStrokePath(DRAWBOT_DrawRef draw_ref, DRAWBOT_PathRef path, PF_Boolean draw_shadow) {
    if (const PF_Err err = Host::Current().Hook("PF_StrokePath", draw_shadow ? "shadow" : "no shadow")) return err;
    Drawing* drawing = DrawingOf(draw_ref);
    std::vector<PathSegment>* segments = drawing != nullptr ? drawing->PathSegments(path) : nullptr;
    if (segments == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    Stroke stroke;
    stroke.theme = true;
    stroke.shadow = draw_shadow != 0;
    stroke.color = Drawing::kThemeColor;
    stroke.width = Drawing::kThemeWidth;
    stroke.segments = *segments;
    drawing->AddStroke(std::move(stroke));
    return PF_Err_NONE;
}

const PF_EffectCustomUIOverlayThemeSuite1 kThemeSuite = {GetPreferredForegroundColor, GetPreferredShadowColor,
                                                         GetPreferredStrokeWidth,     GetPreferredVertexSize,
                                                         GetPreferredShadowOffset,    ThemeStrokePath};

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
const DRAWBOT_DrawbotSuite1 kDrawSuite = {GetSupplier, GetSurface};

PF_Err NewPen(DRAWBOT_SupplierRef supplier, const DRAWBOT_ColorRGBA* color, float size, DRAWBOT_PenRef* pen) {
    if (const PF_Err err = Host::Current().Hook(
            "NewPen", Num(color->red) + " " + Num(color->green) + " " + Num(color->blue) + " " + Num(color->alpha) +
                          ", " + Num(size))) {
        return err;
    }
    Drawing* drawing = DrawingOf(supplier);
    if (drawing == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    *pen = drawing->NewPen(*color, size);
    return PF_Err_NONE;
}
PF_Err NewBrush(DRAWBOT_SupplierRef, const DRAWBOT_ColorRGBA*, DRAWBOT_BrushRef* brush) {
    *brush = nullptr;
    Host::Current().Hook("NewBrush");
    return PF_Err_BAD_CALLBACK_PARAM;  // the module uses no brushes
}
PF_Err SupportsText(DRAWBOT_SupplierRef, DRAWBOT_Boolean* yes) {
    *yes = 0;
    return PF_Err_NONE;
}
PF_Err GetDefaultFontSize(DRAWBOT_SupplierRef, float* size) {
    *size = 12.0f;
    return PF_Err_NONE;
}
PF_Err NewDefaultFont(DRAWBOT_SupplierRef, float, void** font) {
    *font = nullptr;
    return PF_Err_BAD_CALLBACK_PARAM;
}
PF_Err NewImageFromBuffer(DRAWBOT_SupplierRef, int, int, int, int, const void*, void** image) {
    *image = nullptr;
    return PF_Err_BAD_CALLBACK_PARAM;
}
PF_Err NewPath(DRAWBOT_SupplierRef supplier, DRAWBOT_PathRef* path) {
    if (const PF_Err err = Host::Current().Hook("NewPath")) return err;
    Drawing* drawing = DrawingOf(supplier);
    if (drawing == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    *path = drawing->NewPath();
    return PF_Err_NONE;
}
PF_Err Yes(DRAWBOT_SupplierRef, DRAWBOT_Boolean* yes) {
    *yes = 1;
    return PF_Err_NONE;
}
PF_Err RetainObject(DRAWBOT_ObjectRef) {
    return PF_Err_NONE;
}
PF_Err ReleaseObject(DRAWBOT_ObjectRef object) {
    if (const PF_Err err = Host::Current().Hook("ReleaseObject")) return err;
    return Host::Current().drawing().Release(object) ? PF_Err_NONE : PF_Err(PF_Err_BAD_CALLBACK_PARAM);
}
const DRAWBOT_SupplierSuite1 kSupplierSuite = {NewPen, NewBrush, SupportsText, GetDefaultFontSize, NewDefaultFont,
                                               NewImageFromBuffer, NewPath, Yes, Yes, Yes, Yes, RetainObject,
                                               ReleaseObject};

PF_Err PushStateStack(DRAWBOT_SurfaceRef) {
    return PF_Err_NONE;
}
PF_Err PopStateStack(DRAWBOT_SurfaceRef) {
    return PF_Err_NONE;
}
PF_Err Clip(DRAWBOT_SurfaceRef, DRAWBOT_SupplierRef, const DRAWBOT_RectF32*) {
    return PF_Err_NONE;
}
PF_Err GetClipBounds(DRAWBOT_SurfaceRef, DRAWBOT_RectF32* rect) {
    *rect = DRAWBOT_RectF32{0, 0, 0, 0};
    return PF_Err_NONE;
}
PF_Err SurfaceStrokePath(DRAWBOT_SurfaceRef surface, DRAWBOT_PenRef pen, DRAWBOT_PathRef path) {
    if (const PF_Err err = Host::Current().Hook("StrokePath")) return err;
    Drawing* drawing = DrawingOf(surface);
    if (drawing == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    float width = 0;
    const DRAWBOT_ColorRGBA* color = drawing->PenColor(pen, &width);
    std::vector<PathSegment>* segments = drawing->PathSegments(path);
    if (color == nullptr || segments == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    Stroke stroke;
    stroke.color = *color;
    stroke.width = width;
    stroke.segments = *segments;
    drawing->AddStroke(std::move(stroke));
    return PF_Err_NONE;
}
const DRAWBOT_SurfaceSuite1 kSurfaceSuite = {PushStateStack, PopStateStack, Clip, GetClipBounds, SurfaceStrokePath};

PF_Err AddSegment(const char* function, DRAWBOT_PathRef path, PathSegment segment) {
    if (const PF_Err err = Host::Current().Hook(function, segment.ToString())) return err;
    std::vector<PathSegment>* segments = Host::Current().drawing().PathSegments(path);
    if (segments == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    segments->push_back(segment);
    return PF_Err_NONE;
}
PF_Err MoveTo(DRAWBOT_PathRef path, float x, float y) {
    return AddSegment("MoveTo", path, {PathSegment::Kind::Move, x, y});
}
PF_Err LineTo(DRAWBOT_PathRef path, float x, float y) {
    return AddSegment("LineTo", path, {PathSegment::Kind::Line, x, y});
}
PF_Err BezierTo(DRAWBOT_PathRef, const DRAWBOT_PointF32*, const DRAWBOT_PointF32*, const DRAWBOT_PointF32*) {
    return PF_Err_BAD_CALLBACK_PARAM;
}
PF_Err AddRect(DRAWBOT_PathRef, const DRAWBOT_RectF32*) {
    return PF_Err_BAD_CALLBACK_PARAM;
}
PF_Err AddArc(DRAWBOT_PathRef path, const DRAWBOT_PointF32* center, float radius, float start, float sweep) {
    return AddSegment("AddArc", path, {PathSegment::Kind::Arc, center->x, center->y, radius, start, sweep});
}
PF_Err Close(DRAWBOT_PathRef path) {
    return AddSegment("Close", path, {PathSegment::Kind::Close});
}
const DRAWBOT_PathSuite1 kPathSuite = {MoveTo, LineTo, BezierTo, AddRect, AddArc, Close};

// ---- Event callbacks ------------------------------------------------------

std::string Point(const PF_FixedPoint* p) {
    return Num(p->x / 65536.0) + " " + Num(p->y / 65536.0);
}

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

const SPBasicSuite* BasicSuiteTable() {
    return &kBasicSuite;
}

const PF_UtilCallbacks* UtilCallbacksTable() {
    return &kUtils;
}

PF_InteractCallbacks InteractCallbacks() {
    return PF_InteractCallbacks{AddParam, RegisterUI};
}

PF_EventCallbacks EventCallbacks() {
    return PF_EventCallbacks{nullptr, LayerToComp, CompToLayer, SourceToFrame, FrameToSource};
}

const std::map<SuiteKey, const void*>& SuiteTables() {
    static const std::map<SuiteKey, const void*> tables = {
        {{kPFANSISuite, 1}, &kAnsi},
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
