/// Render-side suites: ANSI, pixel format and the two iterate suites. Members
/// are listed in slot order; the names and versions are those the host
/// registers them under.
#ifndef QUORVEL_HOST_PF_SUITES_H
#define QUORVEL_HOST_PF_SUITES_H

#include "host/PF_Effect.h"

#ifdef __cplusplus
extern "C" {
#endif

QUORVEL_HOST_STRING char kPFANSISuite[] = "PF ANSI Suite";
QUORVEL_HOST_STRING char kPFPixelFormatSuite[] = "PF Pixel Format Suite";
QUORVEL_HOST_STRING char kPFIterate8Suite[] = "PF Iterate8 Suite";
QUORVEL_HOST_STRING char kPFIterate16Suite[] = "PF iterate16 Suite";

enum {
    kPFANSISuiteVersion1 = 1,
    kPFPixelFormatSuiteVersion1 = 1,
    kPFIterate8SuiteVersion1 = 1,
    kPFIterate16SuiteVersion1 = 1
};

/// The in-data's ANSI callbacks as a suite of their own: the same functions
/// in the same slots (cos 3, fabs 5, sin 12, sprintf 15), without the
/// trailing `ansi_procs`.
typedef struct PF_ANSICallbacksSuite1 {
    A_FpLong (*atan)(A_FpLong);
    A_FpLong (*atan2)(A_FpLong y, A_FpLong x);
    A_FpLong (*ceil)(A_FpLong);
    A_FpLong (*cos)(A_FpLong);
    A_FpLong (*exp)(A_FpLong);
    A_FpLong (*fabs)(A_FpLong);
    A_FpLong (*floor)(A_FpLong);
    A_FpLong (*fmod)(A_FpLong, A_FpLong);
    A_FpLong (*hypot)(A_FpLong, A_FpLong);
    A_FpLong (*log)(A_FpLong);
    A_FpLong (*log10)(A_FpLong);
    A_FpLong (*pow)(A_FpLong, A_FpLong);
    A_FpLong (*sin)(A_FpLong);
    A_FpLong (*sqrt)(A_FpLong);
    A_FpLong (*tan)(A_FpLong);
    int (*sprintf)(A_char*, const A_char*, ...);
    A_char* (*strcpy)(A_char*, const A_char*);
    A_FpLong (*asin)(A_FpLong);
    A_FpLong (*acos)(A_FpLong);
} PF_ANSICallbacksSuite1;

typedef struct PF_PixelFormatSuite {
    PF_Err (*AddSupportedPixelFormat)(PF_ProgPtr effect_ref, PrPixelFormat pixel_format);
    PF_Err (*ClearSupportedPixelFormats)(PF_ProgPtr effect_ref);
    PF_Err (*NewWorldOfPixelFormat)(PF_ProgPtr effect_ref, A_u_long width, A_u_long height, PF_NewWorldFlags flags,
                                    PrPixelFormat pixel_format, PF_EffectWorld* world);
    PF_Err (*DisposeWorld)(PF_ProgPtr effect_ref, PF_EffectWorld* world);
    PF_Err (*GetPixelFormat)(PF_EffectWorld* world, PrPixelFormat* pixel_format);
    PF_Err (*GetBlackForPixelFormat)(PrPixelFormat pixel_format, void* pixel_data);
    PF_Err (*GetWhiteForPixelFormat)(PrPixelFormat pixel_format, void* pixel_data);
    PF_Err (*ConvertColorToPixelFormattedData)(PrPixelFormat pixel_format, float alpha, float red, float green,
                                               float blue, void* formatted_pixel);
} PF_PixelFormatSuite1;

/// `iterate` calls pix_fn once for every pixel of `dst` inside `area` (the
/// whole world when area is null), passing the `src` pixel at the same place.
typedef struct PF_Iterate8Suite1 {
    PF_Err (*iterate)(PF_InData* in_data, A_long progress_base, A_long progress_final, PF_EffectWorld* src,
                      const PF_Rect* area, void* refcon, PF_IteratePixel8Func pix_fn, PF_EffectWorld* dst);
    PF_Err (*iterate_origin)(PF_InData* in_data, A_long progress_base, A_long progress_final, PF_EffectWorld* src,
                             const PF_Rect* area, const PF_Point* origin, void* refcon, PF_IteratePixel8Func pix_fn,
                             PF_EffectWorld* dst);
    PF_Err (*iterate_lut)(PF_InData* in_data, A_long progress_base, A_long progress_final, PF_EffectWorld* src,
                          const PF_Rect* area, A_u_char* a_lut0, A_u_char* r_lut0, A_u_char* g_lut0, A_u_char* b_lut0,
                          PF_EffectWorld* dst);
    PF_Err (*iterate_origin_non_clip_src)(PF_InData* in_data, A_long progress_base, A_long progress_final,
                                          PF_EffectWorld* src, const PF_Rect* area, const PF_Point* origin,
                                          void* refcon, PF_IteratePixel8Func pix_fn, PF_EffectWorld* dst);
    PF_Err (*iterate_generic)(A_long iterations, void* refcon,
                              PF_Err (*fn_func)(void* refcon, A_long thread_index, A_long i, A_long iterations));
} PF_Iterate8Suite1;

typedef struct PF_iterate16Suite1 {
    PF_Err (*iterate)(PF_InData* in_data, A_long progress_base, A_long progress_final, PF_EffectWorld* src,
                      const PF_Rect* area, void* refcon, PF_IteratePixel16Func pix_fn, PF_EffectWorld* dst);
    PF_Err (*iterate_origin)(PF_InData* in_data, A_long progress_base, A_long progress_final, PF_EffectWorld* src,
                             const PF_Rect* area, const PF_Point* origin, void* refcon, PF_IteratePixel16Func pix_fn,
                             PF_EffectWorld* dst);
    PF_Err (*iterate_origin_non_clip_src)(PF_InData* in_data, A_long progress_base, A_long progress_final,
                                          PF_EffectWorld* src, const PF_Rect* area, const PF_Point* origin,
                                          void* refcon, PF_IteratePixel16Func pix_fn, PF_EffectWorld* dst);
} PF_iterate16Suite1;

#ifdef __cplusplus
}
#endif

#endif
