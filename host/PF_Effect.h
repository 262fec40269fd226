/// Commands, result codes, flags and records of the host's effect interface:
/// what the host passes to the entry point and what it reads back.
///
/// Records are declared whole, every member in the host's order under the
/// host's name, because the host hands the module pointers to its own copies:
/// a member left out moves every later one. Members the module never reads
/// keep their places, some with a simpler type of the same size.
#ifndef QUORVEL_HOST_PF_EFFECT_H
#define QUORVEL_HOST_PF_EFFECT_H

#include "host/PF_Types.h"
#include "host/SP_Basic.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Commands ---------------------------------------------------------- */

enum {
    PF_Cmd_ABOUT = 0,
    PF_Cmd_GLOBAL_SETUP = 1,
    PF_Cmd_UNUSED_0 = 2,
    PF_Cmd_GLOBAL_SETDOWN = 3,
    PF_Cmd_PARAMS_SETUP = 4,
    PF_Cmd_SEQUENCE_SETUP = 5,
    PF_Cmd_SEQUENCE_RESETUP = 6,
    PF_Cmd_SEQUENCE_FLATTEN = 7,
    PF_Cmd_SEQUENCE_SETDOWN = 8,
    PF_Cmd_DO_DIALOG = 9,
    PF_Cmd_FRAME_SETUP = 10,
    PF_Cmd_RENDER = 11,
    PF_Cmd_FRAME_SETDOWN = 12,
    PF_Cmd_USER_CHANGED_PARAM = 13,
    PF_Cmd_UPDATE_PARAMS_UI = 14,
    PF_Cmd_EVENT = 15
};

/* ---- Result codes ------------------------------------------------------ */

enum {
    PF_Err_NONE = 0,
    PF_Err_OUT_OF_MEMORY = 4,
    PF_Err_INTERNAL_STRUCT_DAMAGED = 512,
    PF_Err_INVALID_INDEX = 513,
    PF_Err_UNRECOGNIZED_PARAM_TYPE = 514,
    PF_Err_INVALID_CALLBACK = 515,
    PF_Err_BAD_CALLBACK_PARAM = 516,
    PF_Interrupt_CANCEL = 517
};

/* ---- Out flags ---------------------------------------------------------- */

enum {
    PF_OutFlag_NONE = 0,
    PF_OutFlag_DISPLAY_ERROR_MESSAGE = 0x100,
    PF_OutFlag_PIX_INDEPENDENT = 0x400,
    PF_OutFlag_CUSTOM_UI = 0x8000,
    PF_OutFlag_DEEP_COLOR_AWARE = 0x02000000,
    PF_OutFlag_SEND_UPDATE_PARAMS_UI = 0x04000000
};

/* ---- Version packing ------------------------------------------------------ */

enum { PF_Stage_DEVELOP = 0, PF_Stage_ALPHA = 1, PF_Stage_BETA = 2, PF_Stage_RELEASE = 3 };

/* ---- Render settings the in-data reports ------------------------------ */

enum { PF_Quality_DRAWING_AUDIO = -1, PF_Quality_LO = 0, PF_Quality_HI = 1 };
enum { PF_Field_FRAME = 0, PF_Field_UPPER = 1, PF_Field_LOWER = 2 };

/* ---- Application ids ------------------------------------------------------ */

/// 'PrMr': the in-data's appl_id when the host is Premiere Pro.
enum { PF_APPL_ID_PREMIERE = 0x50724D72 };

/* ---- Pixels and worlds --------------------------------------------------- */

typedef struct PF_Pixel {
    A_u_char alpha;
    A_u_char red;
    A_u_char green;
    A_u_char blue;
} PF_Pixel;

typedef PF_Pixel PF_Pixel8;

/// 16-bit channels run from 0 to 32768 (PF_MAX_CHAN16), not 65535.
typedef struct PF_Pixel16 {
    A_u_short alpha;
    A_u_short red;
    A_u_short green;
    A_u_short blue;
} PF_Pixel16;

typedef struct PF_PixelFloat {
    PF_FpShort alpha;
    PF_FpShort red;
    PF_FpShort green;
    PF_FpShort blue;
} PF_PixelFloat;

typedef PF_Pixel* PF_PixelPtr;

enum { PF_MAX_CHAN8 = 255, PF_MAX_CHAN16 = 32768 };

enum { PF_WorldFlag_DEEP = 1, PF_WorldFlag_WRITEABLE = 2 };

/// A frame buffer. `data` points at the first pixel of the first row;
/// `rowbytes` is the signed byte distance from one row to the next.
typedef struct PF_LayerDef {
    void* reserved0;
    void* reserved1;
    PF_WorldFlags world_flags;
    PF_PixelPtr data;
    A_long rowbytes;
    A_long width;
    A_long height;
    PF_LRect extent_hint;
    void* platform_ref;
    A_long reserved_long1;
    void* reserved_long4;
    PF_RationalScale pix_aspect_ratio;
    void* reserved_long2;
    A_long origin_x;
    A_long origin_y;
    A_long reserved_long3;
    A_long dephault;
} PF_LayerDef;

typedef PF_LayerDef PF_EffectWorld;

/// Premiere pixel formats: four characters, stored first character lowest.
typedef A_u_long PrPixelFormat;
enum {
    PrPixelFormat_BGRA_4444_8u = 0x61726762,  /* 'bgra' */
    PrPixelFormat_BGRA_4444_32f = 0x61724742, /* 'BGra' */
    PrPixelFormat_Invalid = 0x66646162        /* 'badf' */
};

/* ---- Audio (records the module never opens, kept for their size) -------- */

typedef A_short PF_SoundChannels;
typedef A_short PF_SoundFormat;
typedef A_short PF_SoundSampleSize;

typedef struct PF_SoundFormatInfo {
    PF_FpLong rateF;
    PF_SoundChannels num_channels;
    PF_SoundFormat format;
    PF_SoundSampleSize sample_size;
} PF_SoundFormatInfo;

typedef struct PF_SoundWorld {
    PF_SoundFormatInfo fi;
    A_long num_samples;
    void* dataP;
} PF_SoundWorld;

typedef struct _PF_LayerAudio* PF_LayerAudio;
typedef void* PF_SndSamplePtr;

/* ---- Parameters ---------------------------------------------------------- */

typedef A_long PF_ParamType;
enum {
    PF_Param_LAYER = 0,
    PF_Param_SLIDER = 1,
    PF_Param_FIX_SLIDER = 2,
    PF_Param_ANGLE = 3,
    PF_Param_CHECKBOX = 4,
    PF_Param_COLOR = 5,
    PF_Param_POINT = 6,
    PF_Param_POPUP = 7,
    PF_Param_CUSTOM = 8,
    PF_Param_NO_DATA = 9,
    PF_Param_FLOAT_SLIDER = 10
};

typedef A_long PF_ParamFlags;
enum { PF_ParamFlag_RESERVED1 = 1, PF_ParamFlag_CANNOT_TIME_VARY = 2, PF_ParamFlag_CANNOT_INTERP = 4 };

typedef A_long PF_ParamUIFlags;

typedef A_long PF_ChangeFlags;
enum { PF_ChangeFlag_NONE = 0, PF_ChangeFlag_CHANGED_VALUE = 1 };

typedef A_short PF_ValueDisplayFlags;
enum { PF_ValueDisplayFlag_NONE = 0, PF_ValueDisplayFlag_PERCENT = 1, PF_ValueDisplayFlag_PIXEL = 2 };

typedef A_u_long PF_FSliderFlags;

enum { PF_MAX_EFFECT_PARAM_NAME_LEN = 31, PF_MAX_EFFECT_MSG_LEN = 255 };

typedef struct PF_SliderDef {
    PF_ParamValue value;
    A_char value_str[32];
    A_char value_desc[32];
    PF_ParamValue valid_min;
    PF_ParamValue valid_max;
    PF_ParamValue slider_min;
    PF_ParamValue slider_max;
    PF_ParamValue dephault;
} PF_SliderDef;

typedef struct PF_FixedSliderDef {
    PF_Fixed value;
    A_char value_str[32];
    A_char value_desc[32];
    PF_Fixed valid_min;
    PF_Fixed valid_max;
    PF_Fixed slider_min;
    PF_Fixed slider_max;
    PF_Fixed dephault;
    A_short precision;
    PF_ValueDisplayFlags display_flags;
} PF_FixedSliderDef;

typedef struct PF_AngleDef {
    PF_Fixed value;
    PF_Fixed dephault;
    PF_Fixed valid_min;
    PF_Fixed valid_max;
} PF_AngleDef;

/// The label shown beside the box is `u.nameptr`.
typedef struct PF_CheckBoxDef {
    PF_ParamValue value;
    PF_Boolean dephault;
    A_char reserved;
    A_short reserved1;
    union {
        const A_char* nameptr;
    } u;
} PF_CheckBoxDef;

typedef struct PF_ColorDef {
    PF_Pixel value;
    PF_Pixel dephault;
} PF_ColorDef;

typedef struct PF_PointDef {
    PF_Fixed x_value;
    PF_Fixed y_value;
    A_char reserved[3];
    PF_Boolean restrict_bounds;
    PF_Fixed x_dephault;
    PF_Fixed y_dephault;
} PF_PointDef;

/// The choices are one string, `u.namesptr`, separated by '|'.
typedef struct PF_PopupDef {
    PF_ParamValue value;
    A_short num_choices;
    A_short dephault;
    union {
        const A_char* namesptr;
    } u;
} PF_PopupDef;

typedef struct PF_FloatSliderDef {
    PF_FpLong value;
    PF_FpLong phase;
    A_char value_desc[32];
    PF_FpShort valid_min;
    PF_FpShort valid_max;
    PF_FpShort slider_min;
    PF_FpShort slider_max;
    PF_FpShort dephault;
    A_short precision;
    PF_ValueDisplayFlags display_flags;
    PF_FSliderFlags fs_flags;
    PF_FpShort curve_tolerance;
    PF_Boolean useExponent;
    PF_FpShort exponent;
} PF_FloatSliderDef;

typedef PF_Handle PF_ArbitraryH;

typedef struct PF_ArbitraryDef {
    A_short id;
    A_short pad;
    PF_ArbitraryH dephault;
    PF_ArbitraryH value;
    void* refconPV;
} PF_ArbitraryDef;

typedef A_u_long PF_PathID;

typedef struct PF_PathDef {
    PF_PathID path_id;
    A_long reserved0;
    A_long dephault;
} PF_PathDef;

typedef struct PF_ButtonDef {
    PF_ParamValue value;
    union {
        const A_char* namesptr;
    } u;
} PF_ButtonDef;

typedef struct PF_Point3DDef {
    PF_FpLong x_value;
    PF_FpLong y_value;
    PF_FpLong z_value;
    PF_FpLong x_dephault;
    PF_FpLong y_dephault;
    PF_FpLong z_dephault;
    char reserved[16];
} PF_Point3DDef;

typedef union PF_ParamDefUnion {
    PF_LayerDef ld;
    PF_SliderDef sd;
    PF_FixedSliderDef fd;
    PF_AngleDef ad;
    PF_CheckBoxDef bd;
    PF_ColorDef cd;
    PF_PointDef td;
    PF_PopupDef pd;
    PF_FloatSliderDef fs_d;
    PF_ArbitraryDef arb_d;
    PF_PathDef path_d;
    PF_ButtonDef button_d;
    PF_Point3DDef point3d_d;
} PF_ParamDefUnion;

typedef struct PF_ParamDef {
    union {
        A_long id;
        PF_ChangeFlags change_flags;
    } uu;
    PF_ParamUIFlags ui_flags;
    A_short ui_width;
    A_short ui_height;
    PF_ParamType param_type;
    A_char name[32];
    PF_ParamFlags flags;
    A_long unused;
    PF_ParamDefUnion u;
} PF_ParamDef;

typedef PF_ParamDef* PF_ParamDefPtr;
typedef PF_ParamDef** PF_ParamList;

/* ---- On-screen controls registration ---------------------------------- */

typedef A_long PF_CustomEventFlags;
enum {
    PF_CustomEFlag_NONE = 0,
    PF_CustomEFlag_COMP = 1,
    PF_CustomEFlag_LAYER = 2,
    PF_CustomEFlag_EFFECT = 4,
    PF_CustomEFlag_PREVIEW = 8
};

typedef A_long PF_UIAlignment;

typedef struct _PF_CustomUIInfo {
    A_long reserved;
    PF_CustomEventFlags events;
    A_long comp_ui_width;
    A_long comp_ui_height;
    PF_UIAlignment comp_ui_alignment;
    A_long layer_ui_width;
    A_long layer_ui_height;
    PF_UIAlignment layer_ui_alignment;
    A_long preview_ui_width;
    A_long preview_ui_height;
    PF_UIAlignment preview_ui_alignment;
} PF_CustomUIInfo;

/* ---- Host callbacks in the in-data record ------------------------------ */

typedef struct PF_InData PF_InData;

typedef PF_Err (*PF_IteratePixel8Func)(void* refcon, A_long x, A_long y, PF_Pixel8* in, PF_Pixel8* out);
typedef PF_Err (*PF_IteratePixel16Func)(void* refcon, A_long x, A_long y, PF_Pixel16* in, PF_Pixel16* out);

/// Records that only the host's sampling and transfer services take; the
/// module calls none of them.
typedef struct PF_SampPB PF_SampPB;
typedef struct PF_CompositeMode PF_CompositeMode;
typedef struct PF_MaskWorld PF_MaskWorld;
typedef struct PF_FloatMatrix PF_FloatMatrix;
typedef void* PF_CallbackFunc;

/// C-runtime services of the in-data's utility callbacks. The host fills
/// `ansi_procs` too; "PF ANSI Suite" is the same functions without it.
typedef struct PF_ANSICallbacks {
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
    A_long ansi_procs[1];
} PF_ANSICallbacks;

typedef struct PF_ColorCallbacks {
    PF_Err (*RGBtoHLS)(PF_ProgPtr effect_ref, PF_Pixel* rgb, PF_Fixed* hls);
    PF_Err (*HLStoRGB)(PF_ProgPtr effect_ref, PF_Fixed* hls, PF_Pixel* rgb);
    PF_Err (*RGBtoYIQ)(PF_ProgPtr effect_ref, PF_Pixel* rgb, PF_Fixed* yiq);
    PF_Err (*YIQtoRGB)(PF_ProgPtr effect_ref, PF_Fixed* yiq, PF_Pixel* rgb);
    PF_Err (*Luminance)(PF_ProgPtr effect_ref, PF_Pixel* rgb, A_long* lum100);
    PF_Err (*Hue)(PF_ProgPtr effect_ref, PF_Pixel* rgb, A_long* hue);
    PF_Err (*Lightness)(PF_ProgPtr effect_ref, PF_Pixel* rgb, A_long* lightness);
    PF_Err (*Saturation)(PF_ProgPtr effect_ref, PF_Pixel* rgb, A_long* saturation);
} PF_ColorCallbacks;

/// The host's image services. The module uses `ansi` only; the 26 services
/// before it set its place.
typedef struct _PF_UtilCallbacks {
    PF_Err (*begin_sampling)(PF_ProgPtr, PF_Quality, PF_ModeFlags, PF_SampPB*);
    PF_Err (*subpixel_sample)(PF_ProgPtr, PF_Fixed x, PF_Fixed y, const PF_SampPB*, PF_Pixel* dst);
    PF_Err (*area_sample)(PF_ProgPtr, PF_Fixed x, PF_Fixed y, const PF_SampPB*, PF_Pixel* dst);
    void* get_batch_func_is_deprecated;
    PF_Err (*end_sampling)(PF_ProgPtr, PF_Quality, PF_ModeFlags, PF_SampPB*);
    PF_Err (*composite_rect)(PF_ProgPtr, PF_Rect* src_rect, A_long src_opacity, PF_EffectWorld* source_wld,
                             A_long dest_x, A_long dest_y, PF_Field, PF_XferMode, PF_EffectWorld* dest_wld);
    PF_Err (*blend)(PF_ProgPtr, const PF_EffectWorld* src1, const PF_EffectWorld* src2, PF_Fixed ratio,
                    PF_EffectWorld* dst);
    PF_Err (*convolve)(PF_ProgPtr, PF_EffectWorld* src, const PF_Rect* area, PF_KernelFlags, A_long kernel_size,
                       void* a_kernel, void* r_kernel, void* g_kernel, void* b_kernel, PF_EffectWorld* dst);
    PF_Err (*copy)(PF_ProgPtr, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r, PF_Rect* dst_r);
    PF_Err (*fill)(PF_ProgPtr, const PF_Pixel* color, const PF_Rect* dst_rect, PF_EffectWorld* world);
    PF_Err (*gaussian_kernel)(PF_ProgPtr, A_FpLong k_radius, PF_KernelFlags, A_FpLong multiplier, A_long* diameter,
                              void* kernel);
    PF_Err (*iterate)(PF_InData*, A_long progress_base, A_long progress_final, PF_EffectWorld* src, const PF_Rect* area,
                      void* refcon, PF_IteratePixel8Func pix_fn, PF_EffectWorld* dst);
    PF_Err (*premultiply)(PF_ProgPtr, A_long forward, PF_EffectWorld* dst);
    PF_Err (*premultiply_color)(PF_ProgPtr, PF_EffectWorld* src, const PF_Pixel* color, A_long forward,
                                PF_EffectWorld* dst);
    PF_Err (*new_world)(PF_ProgPtr, A_long width, A_long height, PF_NewWorldFlags, PF_EffectWorld* world);
    PF_Err (*dispose_world)(PF_ProgPtr, PF_EffectWorld* world);
    PF_Err (*iterate_origin)(PF_InData*, A_long progress_base, A_long progress_final, PF_EffectWorld* src,
                             const PF_Rect* area, const PF_Point* origin, void* refcon, PF_IteratePixel8Func pix_fn,
                             PF_EffectWorld* dst);
    PF_Err (*iterate_lut)(PF_InData*, A_long progress_base, A_long progress_final, PF_EffectWorld* src,
                          const PF_Rect* area, A_u_char* a_lut0, A_u_char* r_lut0, A_u_char* g_lut0, A_u_char* b_lut0,
                          PF_EffectWorld* dst);
    PF_Err (*transfer_rect)(PF_ProgPtr, PF_Quality, PF_ModeFlags, PF_Field, const PF_Rect* src_rec,
                            const PF_EffectWorld* src_world, const PF_CompositeMode*, const PF_MaskWorld*,
                            A_long dest_x, A_long dest_y, PF_EffectWorld* dst_world);
    PF_Err (*transform_world)(PF_ProgPtr, PF_Quality, PF_ModeFlags, PF_Field, const PF_EffectWorld* src_world,
                              const PF_CompositeMode*, const PF_MaskWorld*, const PF_FloatMatrix* matrices,
                              A_long num_matrices, PF_Boolean src2dst_matrix, const PF_Rect* dest_rect,
                              PF_EffectWorld* dst_world);
    PF_Handle (*host_new_handle)(A_u_longlong size);
    void* (*host_lock_handle)(PF_Handle);
    void (*host_unlock_handle)(PF_Handle);
    void (*host_dispose_handle)(PF_Handle);
    PF_Err (*get_callback_addr)(PF_ProgPtr, PF_Quality, PF_ModeFlags, PF_CallbackID, PF_CallbackFunc* fn_ptr);
    PF_Err (*app)(PF_ProgPtr, A_long, ...);
    PF_ANSICallbacks ansi;
    PF_ColorCallbacks colorCB;
    PF_Err (*get_platform_data)(PF_ProgPtr, PF_PlatDataID, void* data);
    A_u_longlong (*host_get_handle_size)(PF_Handle);
    PF_Err (*iterate_origin_non_clip_src)(PF_InData*, A_long progress_base, A_long progress_final, PF_EffectWorld* src,
                                          const PF_Rect* area, const PF_Point* origin, void* refcon,
                                          PF_IteratePixel8Func pix_fn, PF_EffectWorld* dst);
    PF_Err (*iterate_generic)(A_long iterations, void* refcon,
                              PF_Err (*fn_func)(void* refcon, A_long thread_index, A_long i, A_long iterations));
    PF_Err (*host_resize_handle)(A_u_longlong new_sizeL, PF_Handle* handle);
    PF_Err (*subpixel_sample16)(PF_ProgPtr, PF_Fixed x, PF_Fixed y, const PF_SampPB*, PF_Pixel16* dst);
    PF_Err (*area_sample16)(PF_ProgPtr, PF_Fixed x, PF_Fixed y, const PF_SampPB*, PF_Pixel16* dst);
    PF_Err (*fill16)(PF_ProgPtr, const PF_Pixel16* color, const PF_Rect* dst_rect, PF_EffectWorld* world);
    PF_Err (*premultiply_color16)(PF_ProgPtr, PF_EffectWorld* src, const PF_Pixel16* color, A_long forward,
                                  PF_EffectWorld* dst);
    PF_Err (*iterate16)(PF_InData*, A_long progress_base, A_long progress_final, PF_EffectWorld* src,
                        const PF_Rect* area, void* refcon, PF_IteratePixel16Func pix_fn, PF_EffectWorld* dst);
    PF_Err (*iterate_origin16)(PF_InData*, A_long progress_base, A_long progress_final, PF_EffectWorld* src,
                               const PF_Rect* area, const PF_Point* origin, void* refcon, PF_IteratePixel16Func pix_fn,
                               PF_EffectWorld* dst);
    PF_Err (*iterate_origin_non_clip_src16)(PF_InData*, A_long progress_base, A_long progress_final,
                                            PF_EffectWorld* src, const PF_Rect* area, const PF_Point* origin,
                                            void* refcon, PF_IteratePixel16Func pix_fn, PF_EffectWorld* dst);
    PF_Err (*get_pixel_data8)(PF_EffectWorld* worldP, PF_PixelPtr pixelsP0, PF_Pixel8** pixPP);
    PF_Err (*get_pixel_data16)(PF_EffectWorld* worldP, PF_PixelPtr pixelsP0, PF_Pixel16** pixPP);
    A_long reserved[1];
} PF_UtilCallbacks;

/// The host's services for parameters, progress and audio. The module calls
/// `add_param` and `register_ui`, at parameter setup only.
typedef struct PF_InteractCallbacks {
    PF_Err (*checkout_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time, A_long time_step,
                             A_u_long time_scale, PF_ParamDef* param);
    PF_Err (*checkin_param)(PF_ProgPtr effect_ref, PF_ParamDef* param);
    PF_Err (*add_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def);
    PF_Err (*abort)(PF_ProgPtr effect_ref);
    PF_Err (*progress)(PF_ProgPtr effect_ref, A_long current, A_long total);
    PF_Err (*register_ui)(PF_ProgPtr effect_ref, PF_CustomUIInfo* cust_info);
    PF_Err (*checkout_layer_audio)(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long start_time, A_long duration,
                                   A_u_long time_scale, PF_UFixed rate, A_long bytes_per_sample, A_long num_channels,
                                   A_long fmt_signed, PF_LayerAudio* audio);
    PF_Err (*checkin_layer_audio)(PF_ProgPtr effect_ref, PF_LayerAudio audio);
    PF_Err (*get_audio_data)(PF_ProgPtr effect_ref, PF_LayerAudio audio, PF_SndSamplePtr* data0, A_long* num_samples0,
                             PF_UFixed* rate0, A_long* bytes_per_sample0, A_long* num_channels0, A_long* fmt_signed0);
    void* reserved_str[3];
    void* reserved[10];
} PF_InteractCallbacks;

/* ---- In-data and out-data ---------------------------------------------- */

struct PF_InData {
    PF_InteractCallbacks inter;
    PF_UtilCallbacks* utils;
    PF_ProgPtr effect_ref;
    PF_Quality quality;
    PF_SpecVersion version;
    A_long serial_num;
    A_long appl_id;
    A_long num_params;
    A_long reserved;
    A_long what_cpu;
    A_long what_fpu;
    A_long current_time;
    A_long time_step;
    A_long total_time;
    A_long local_time_step;
    A_u_long time_scale;
    PF_Field field;
    PF_Fixed shutter_angle;
    A_long width;
    A_long height;
    PF_LRect extent_hint;
    A_long output_origin_x;
    A_long output_origin_y;
    PF_RationalScale downsample_x;
    PF_RationalScale downsample_y;
    PF_RationalScale pixel_aspect_ratio;
    PF_InFlags in_flags;
    PF_Handle global_data;
    PF_Handle sequence_data;
    PF_Handle frame_data;
    A_long start_sampL;
    A_long dur_sampL;
    A_long total_sampL;
    PF_SoundWorld src_snd;
    SPBasicSuite* pica_basicP;
    A_long pre_effect_source_origin_x;
    A_long pre_effect_source_origin_y;
    PF_Fixed shutter_phase;
};

typedef struct PF_OutData {
    A_u_long my_version;
    A_char name[32];
    PF_Handle global_data;
    A_long num_params;
    PF_Handle sequence_data;
    A_long flat_sdata_size;
    PF_Handle frame_data;
    A_long width;
    A_long height;
    PF_Point origin;
    PF_OutFlags out_flags;
    A_char return_msg[256];
    A_long start_sampL;
    A_long dur_sampL;
    PF_SoundWorld dest_snd;
    PF_OutFlags2 out_flags2;
} PF_OutData;

/// The one function the module exports.
typedef PF_Err (*PF_FilterProc)(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                                PF_LayerDef* output, void* extra);

#ifdef __cplusplus
}
#endif

#endif
