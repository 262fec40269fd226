/// Render-side suites: ANSI, pixel format and the two iterate suites. Members
/// are listed in slot order; the names and versions are those the host
/// registers them under.
#ifndef QUORVEL_HOST_PF_SUITES_H
#define QUORVEL_HOST_PF_SUITES_H

#include "PF_Effect.h"

#ifdef __cplusplus
extern "C" {
#endif

static const char kPFANSISuite[] = "PF ANSI Suite";
static const char kPFPixelFormatSuite[] = "PF Pixel Format Suite";
static const char kPFIterate8Suite[] = "PF Iterate8 Suite";
static const char kPFIterate16Suite[] = "PF iterate16 Suite";

enum {
    kPFANSISuiteVersion1 = 1,
    kPFPixelFormatSuiteVersion1 = 1,
    kPFIterate8SuiteVersion1 = 1,
    kPFIterate16SuiteVersion1 = 1
};

/// Same functions, same order as the in-data's ANSI callbacks:
/// cos is slot 3, fabs 5, sin 12, sprintf 15.
typedef PF_ANSICallbacks PF_ANSICallbacksSuite1;

typedef struct PF_PixelFormatSuite1 {
    PF_Err (*AddPRSupportedPixelFormat)(PF_ProgPtr effect_ref, PrPixelFormat pixel_format);
    PF_Err (*ClearSupportedPixelFormats)(PF_ProgPtr effect_ref);
    PF_Err (*NewWorldOfPixelFormat)(PF_ProgPtr effect_ref, A_u_long width, A_u_long height,
                                    A_long flags, PrPixelFormat pixel_format, PF_EffectWorld* world);
    PF_Err (*DisposeWorld)(PF_ProgPtr effect_ref, PF_EffectWorld* world);
    PF_Err (*GetPixelFormat)(PF_EffectWorld* world, PrPixelFormat* pixel_format);
} PF_PixelFormatSuite1;

typedef PF_Err (*PF_IteratePixel8Func)(void* refcon, A_long x, A_long y, PF_Pixel8* in,
                                       PF_Pixel8* out);
typedef PF_Err (*PF_IteratePixel16Func)(void* refcon, A_long x, A_long y, PF_Pixel16* in,
                                        PF_Pixel16* out);

/// `iterate` calls pix_fn once for every pixel of `dst` inside `area` (the
/// whole world when area is null), passing the `src` pixel at the same place.
typedef struct PF_Iterate8Suite1 {
    PF_Err (*iterate)(PF_InData* in_data, A_long progress_base, A_long progress_final,
                      PF_EffectWorld* src, const PF_LRect* area, void* refcon,
                      PF_IteratePixel8Func pix_fn, PF_EffectWorld* dst);
} PF_Iterate8Suite1;

typedef struct PF_iterate16Suite1 {
    PF_Err (*iterate)(PF_InData* in_data, A_long progress_base, A_long progress_final,
                      PF_EffectWorld* src, const PF_LRect* area, void* refcon,
                      PF_IteratePixel16Func pix_fn, PF_EffectWorld* dst);
} PF_iterate16Suite1;

#ifdef __cplusplus
}
#endif

#endif
