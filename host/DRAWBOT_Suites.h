/// The host's drawing services: opaque drawing objects and the four suites
/// that make pens and paths and stroke them. Coordinates are float window pixels.
#ifndef QUORVEL_HOST_DRAWBOT_SUITES_H
#define QUORVEL_HOST_DRAWBOT_SUITES_H

#include "PF_Types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct _DRAWBOT_DrawRef* DRAWBOT_DrawRef;
typedef struct _DRAWBOT_SupplierRef* DRAWBOT_SupplierRef;
typedef struct _DRAWBOT_SurfaceRef* DRAWBOT_SurfaceRef;
typedef struct _DRAWBOT_PenRef* DRAWBOT_PenRef;
typedef struct _DRAWBOT_BrushRef* DRAWBOT_BrushRef;
typedef struct _DRAWBOT_PathRef* DRAWBOT_PathRef;
typedef struct _DRAWBOT_ObjectRef* DRAWBOT_ObjectRef;

typedef PF_Boolean DRAWBOT_Boolean;
typedef PF_Err DRAWBOT_Err;

typedef struct DRAWBOT_ColorRGBA {
    float red;
    float green;
    float blue;
    float alpha;
} DRAWBOT_ColorRGBA;

typedef struct DRAWBOT_PointF32 {
    float x;
    float y;
} DRAWBOT_PointF32;

typedef struct DRAWBOT_RectF32 {
    float left;
    float top;
    float width;
    float height;
} DRAWBOT_RectF32;

typedef struct A_LPoint {
    A_long x;
    A_long y;
} A_LPoint;

static const char kDRAWBOT_DrawSuite[] = "DRAWBOT Draw Suite";
static const char kDRAWBOT_SupplierSuite[] = "DRAWBOT Supplier Suite";
static const char kDRAWBOT_SurfaceSuite[] = "DRAWBOT Surface Suite";
static const char kDRAWBOT_PathSuite[] = "DRAWBOT Path Suite";
enum {
    kDRAWBOT_DrawSuite_Version1 = 1,
    kDRAWBOT_SupplierSuite_Version1 = 1,
    kDRAWBOT_SurfaceSuite_Version1 = 1,
    kDRAWBOT_PathSuite_Version1 = 1
};

typedef struct DRAWBOT_DrawbotSuite1 {
    DRAWBOT_Err (*GetSupplier)(DRAWBOT_DrawRef draw_ref, DRAWBOT_SupplierRef* supplier);
    DRAWBOT_Err (*GetSurface)(DRAWBOT_DrawRef draw_ref, DRAWBOT_SurfaceRef* surface);
} DRAWBOT_DrawbotSuite1;

typedef struct DRAWBOT_SupplierSuite1 {
    DRAWBOT_Err (*NewPen)(DRAWBOT_SupplierRef supplier, const DRAWBOT_ColorRGBA* color, float size,
                          DRAWBOT_PenRef* pen);
    DRAWBOT_Err (*NewBrush)(DRAWBOT_SupplierRef supplier, const DRAWBOT_ColorRGBA* color,
                            DRAWBOT_BrushRef* brush);
    DRAWBOT_Err (*SupportsText)(DRAWBOT_SupplierRef supplier, DRAWBOT_Boolean* supports_text);
    DRAWBOT_Err (*GetDefaultFontSize)(DRAWBOT_SupplierRef supplier, float* font_size);
    DRAWBOT_Err (*NewDefaultFont)(DRAWBOT_SupplierRef supplier, float font_size, void** font);
    DRAWBOT_Err (*NewImageFromBuffer)(DRAWBOT_SupplierRef supplier, int width, int height,
                                      int row_bytes, int pixel_layout, const void* data, void** image);
    DRAWBOT_Err (*NewPath)(DRAWBOT_SupplierRef supplier, DRAWBOT_PathRef* path);
    DRAWBOT_Err (*SupportsPixelLayoutBGRA)(DRAWBOT_SupplierRef supplier, DRAWBOT_Boolean* supports);
    DRAWBOT_Err (*PrefersPixelLayoutBGRA)(DRAWBOT_SupplierRef supplier, DRAWBOT_Boolean* prefers);
    DRAWBOT_Err (*SupportsPixelLayoutARGB)(DRAWBOT_SupplierRef supplier, DRAWBOT_Boolean* supports);
    DRAWBOT_Err (*PrefersPixelLayoutARGB)(DRAWBOT_SupplierRef supplier, DRAWBOT_Boolean* prefers);
    DRAWBOT_Err (*RetainObject)(DRAWBOT_ObjectRef object);
    DRAWBOT_Err (*ReleaseObject)(DRAWBOT_ObjectRef object);
} DRAWBOT_SupplierSuite1;

typedef struct DRAWBOT_SurfaceSuite1 {
    DRAWBOT_Err (*PushStateStack)(DRAWBOT_SurfaceRef surface);
    DRAWBOT_Err (*PopStateStack)(DRAWBOT_SurfaceRef surface);
    DRAWBOT_Err (*Clip)(DRAWBOT_SurfaceRef surface, DRAWBOT_SupplierRef supplier, const DRAWBOT_RectF32* rect);
    DRAWBOT_Err (*GetClipBounds)(DRAWBOT_SurfaceRef surface, DRAWBOT_RectF32* rect);
    DRAWBOT_Err (*StrokePath)(DRAWBOT_SurfaceRef surface, DRAWBOT_PenRef pen, DRAWBOT_PathRef path);
} DRAWBOT_SurfaceSuite1;

typedef struct DRAWBOT_PathSuite1 {
    DRAWBOT_Err (*MoveTo)(DRAWBOT_PathRef path, float x, float y);
    DRAWBOT_Err (*LineTo)(DRAWBOT_PathRef path, float x, float y);
    DRAWBOT_Err (*BezierTo)(DRAWBOT_PathRef path, const DRAWBOT_PointF32* pt1,
                            const DRAWBOT_PointF32* pt2, const DRAWBOT_PointF32* pt3);
    DRAWBOT_Err (*AddRect)(DRAWBOT_PathRef path, const DRAWBOT_RectF32* rect);
    DRAWBOT_Err (*AddArc)(DRAWBOT_PathRef path, const DRAWBOT_PointF32* center, float radius,
                          float start_angle, float sweep);
    DRAWBOT_Err (*Close)(DRAWBOT_PathRef path);
} DRAWBOT_PathSuite1;

#ifdef __cplusplus
}
#endif

#endif
