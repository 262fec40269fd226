/// The host's drawing services: opaque drawing objects and the four suites
/// that make pens and paths and stroke them. Coordinates are float window pixels.
#ifndef QUORVEL_HOST_DRAWBOT_SUITES_H
#define QUORVEL_HOST_DRAWBOT_SUITES_H

#include "host/PF_Types.h"
#include "host/SP_Basic.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct _DRAWBOT_DrawRef* DRAWBOT_DrawRef;
typedef struct _DRAWBOT_SupplierRef* DRAWBOT_SupplierRef;
typedef struct _DRAWBOT_SurfaceRef* DRAWBOT_SurfaceRef;
typedef struct _DRAWBOT_PenRef* DRAWBOT_PenRef;
typedef struct _DRAWBOT_BrushRef* DRAWBOT_BrushRef;
typedef struct _DRAWBOT_PathRef* DRAWBOT_PathRef;
typedef struct _DRAWBOT_FontRef* DRAWBOT_FontRef;
typedef struct _DRAWBOT_ImageRef* DRAWBOT_ImageRef;
typedef struct _DRAWBOT_ObjectRef* DRAWBOT_ObjectRef;

typedef A_u_char DRAWBOT_Boolean;
typedef A_u_short DRAWBOT_UTF16Char;

/// Enumerations of services the module does not use, 32 bits wide.
typedef A_long DRAWBOT_PixelLayout;
typedef A_long DRAWBOT_FillType;
typedef A_long DRAWBOT_TextAlignment;
typedef A_long DRAWBOT_TextTruncation;
typedef A_long DRAWBOT_InterpolationPolicy;
typedef A_long DRAWBOT_AntiAliasPolicy;

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

typedef struct DRAWBOT_Rect32 {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
} DRAWBOT_Rect32;

typedef struct DRAWBOT_MatrixF32 {
    float mat[3][3];
} DRAWBOT_MatrixF32;

typedef struct A_LPoint {
    A_long x;
    A_long y;
} A_LPoint;

QUORVEL_HOST_STRING char kDRAWBOT_DrawSuite[] = "DRAWBOT Draw Suite";
QUORVEL_HOST_STRING char kDRAWBOT_SupplierSuite[] = "DRAWBOT Supplier Suite";
QUORVEL_HOST_STRING char kDRAWBOT_SurfaceSuite[] = "DRAWBOT Surface Suite";
QUORVEL_HOST_STRING char kDRAWBOT_PathSuite[] = "DRAWBOT Path Suite";
enum {
    kDRAWBOT_DrawSuite_Version1 = 1,
    kDRAWBOT_SupplierSuite_Version1 = 1,
    kDRAWBOT_SurfaceSuite_Version1 = 1,
    kDRAWBOT_PathSuite_Version1 = 1
};

typedef struct DRAWBOT_DrawbotSuite1 {
    SPErr (*GetSupplier)(DRAWBOT_DrawRef draw_ref, DRAWBOT_SupplierRef* supplier);
    SPErr (*GetSurface)(DRAWBOT_DrawRef draw_ref, DRAWBOT_SurfaceRef* surface);
} DRAWBOT_DrawbotSuite1;

typedef struct DRAWBOT_SupplierSuite1 {
    SPErr (*NewPen)(DRAWBOT_SupplierRef supplier, const DRAWBOT_ColorRGBA* color, float size, DRAWBOT_PenRef* pen);
    SPErr (*NewBrush)(DRAWBOT_SupplierRef supplier, const DRAWBOT_ColorRGBA* color, DRAWBOT_BrushRef* brush);
    SPErr (*SupportsText)(DRAWBOT_SupplierRef supplier, DRAWBOT_Boolean* supports_text);
    SPErr (*GetDefaultFontSize)(DRAWBOT_SupplierRef supplier, float* font_size);
    SPErr (*NewDefaultFont)(DRAWBOT_SupplierRef supplier, float font_size, DRAWBOT_FontRef* font);
    SPErr (*NewImageFromBuffer)(DRAWBOT_SupplierRef supplier, int width, int height, int row_bytes,
                                DRAWBOT_PixelLayout pixel_layout, const void* data, DRAWBOT_ImageRef* image);
    SPErr (*NewPath)(DRAWBOT_SupplierRef supplier, DRAWBOT_PathRef* path);
    SPErr (*SupportsPixelLayoutBGRA)(DRAWBOT_SupplierRef supplier, DRAWBOT_Boolean* supports);
    SPErr (*PrefersPixelLayoutBGRA)(DRAWBOT_SupplierRef supplier, DRAWBOT_Boolean* prefers);
    SPErr (*SupportsPixelLayoutARGB)(DRAWBOT_SupplierRef supplier, DRAWBOT_Boolean* supports);
    SPErr (*PrefersPixelLayoutARGB)(DRAWBOT_SupplierRef supplier, DRAWBOT_Boolean* prefers);
    SPErr (*RetainObject)(DRAWBOT_ObjectRef object);
    SPErr (*ReleaseObject)(DRAWBOT_ObjectRef object);
} DRAWBOT_SupplierSuite1;

typedef struct DRAWBOT_SurfaceSuite1 {
    SPErr (*PushStateStack)(DRAWBOT_SurfaceRef surface);
    SPErr (*PopStateStack)(DRAWBOT_SurfaceRef surface);
    SPErr (*PaintRect)(DRAWBOT_SurfaceRef surface, const DRAWBOT_ColorRGBA* color, const DRAWBOT_RectF32* rect);
    SPErr (*FillPath)(DRAWBOT_SurfaceRef surface, DRAWBOT_BrushRef brush, DRAWBOT_PathRef path,
                      DRAWBOT_FillType fill_type);
    SPErr (*StrokePath)(DRAWBOT_SurfaceRef surface, DRAWBOT_PenRef pen, DRAWBOT_PathRef path);
    SPErr (*Clip)(DRAWBOT_SurfaceRef surface, DRAWBOT_SupplierRef supplier, const DRAWBOT_Rect32* rect);
    SPErr (*GetClipBounds)(DRAWBOT_SurfaceRef surface, DRAWBOT_Rect32* rect);
    SPErr (*IsWithinClipBounds)(DRAWBOT_SurfaceRef surface, const DRAWBOT_Rect32* rect, DRAWBOT_Boolean* within);
    SPErr (*Transform)(DRAWBOT_SurfaceRef surface, const DRAWBOT_MatrixF32* matrix);
    SPErr (*DrawString)(DRAWBOT_SurfaceRef surface, DRAWBOT_BrushRef brush, DRAWBOT_FontRef font,
                        const DRAWBOT_UTF16Char* string, const DRAWBOT_PointF32* origin,
                        DRAWBOT_TextAlignment alignment, DRAWBOT_TextTruncation truncation, float truncation_width);
    SPErr (*DrawImage)(DRAWBOT_SurfaceRef surface, DRAWBOT_ImageRef image, const DRAWBOT_PointF32* origin, float alpha);
    SPErr (*SetInterpolationPolicy)(DRAWBOT_SurfaceRef surface, DRAWBOT_InterpolationPolicy policy);
    SPErr (*GetInterpolationPolicy)(DRAWBOT_SurfaceRef surface, DRAWBOT_InterpolationPolicy* policy);
    SPErr (*SetAntiAliasPolicy)(DRAWBOT_SurfaceRef surface, DRAWBOT_AntiAliasPolicy policy);
    SPErr (*GetAntiAliasPolicy)(DRAWBOT_SurfaceRef surface, DRAWBOT_AntiAliasPolicy* policy);
    SPErr (*Flush)(DRAWBOT_SurfaceRef surface);
    SPErr (*GetTransformToScreenScale)(DRAWBOT_SurfaceRef surface, float* scale);
} DRAWBOT_SurfaceSuite1;

typedef struct DRAWBOT_PathSuite1 {
    SPErr (*MoveTo)(DRAWBOT_PathRef path, float x, float y);
    SPErr (*LineTo)(DRAWBOT_PathRef path, float x, float y);
    SPErr (*BezierTo)(DRAWBOT_PathRef path, const DRAWBOT_PointF32* pt1, const DRAWBOT_PointF32* pt2,
                      const DRAWBOT_PointF32* pt3);
    SPErr (*AddRect)(DRAWBOT_PathRef path, const DRAWBOT_RectF32* rect);
    SPErr (*AddArc)(DRAWBOT_PathRef path, const DRAWBOT_PointF32* center, float radius, float start_angle, float sweep);
    SPErr (*Close)(DRAWBOT_PathRef path);
} DRAWBOT_PathSuite1;

#ifdef __cplusplus
}
#endif

#endif
