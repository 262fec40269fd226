/// Commands, result codes, flags and records of the host's effect interface:
/// what the host passes to the entry point and what it reads back.
#ifndef QUORVEL_HOST_PF_EFFECT_H
#define QUORVEL_HOST_PF_EFFECT_H

#include "PF_Types.h"
#include "SP_Basic.h"

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

/* ---- Application ids ------------------------------------------------------ */

/// 'PrMr': the in-data's appl_id when the host is Premiere Pro.
enum { PF_APPL_ID_PREMIERE = 0x50724D72 };

/* ---- Pixels and worlds --------------------------------------------------- */

typedef struct PF_Pixel8 {
    A_u_char alpha;
    A_u_char red;
    A_u_char green;
    A_u_char blue;
} PF_Pixel8;

/// 16-bit channels run from 0 to 32768 (PF_MAX_CHAN16), not 65535.
typedef struct PF_Pixel16 {
    A_u_short alpha;
    A_u_short red;
    A_u_short green;
    A_u_short blue;
} PF_Pixel16;

enum { PF_MAX_CHAN8 = 255, PF_MAX_CHAN16 = 32768 };

enum { PF_WorldFlag_DEEP = 1, PF_WorldFlag_WRITEABLE = 2 };

/// A frame buffer. `data` points at the first pixel of the first row;
/// `rowbytes` is the signed byte distance from one row to the next.
typedef struct PF_LayerDef {
    void* reserved0;
    void* reserved1;
    A_long world_flags;
    void* data;
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

/// Premiere pixel formats, four-character codes as stored.
typedef A_u_long PrPixelFormat;
enum {
    PrPixelFormat_BGRA_4444_8u = 0x61726762,  /* 'bgra' */
    PrPixelFormat_BGRA_4444_32f = 0x61724742, /* 'BGra' */
    PrPixelFormat_Invalid = 0x494E5644        /* 'INVD' */
};

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
enum {
    PF_ParamFlag_RESERVED1 = 1,
    PF_ParamFlag_CANNOT_TIME_VARY = 2,
    PF_ParamFlag_CANNOT_INTERP = 4
};

typedef A_long PF_ChangeFlags;
enum { PF_ChangeFlag_NONE = 0, PF_ChangeFlag_CHANGED_VALUE = 1 };

typedef A_long PF_ValueDisplayFlags;
enum { PF_ValueDisplayFlag_NONE = 0, PF_ValueDisplayFlag_PERCENT = 1, PF_ValueDisplayFlag_PIXEL = 2 };

enum { PF_MAX_EFFECT_PARAM_NAME_LEN = 31, PF_MAX_EFFECT_MSG_LEN = 255 };

typedef struct PF_PopupDef {
    A_long value;
    A_short num_choices;
    A_short dephault;
    const A_char* namesptr;
} PF_PopupDef;

typedef struct PF_PointDef {
    PF_Fixed x_value;
    PF_Fixed y_value;
    A_char reserved[3];
    PF_Boolean restrict_bounds;
    PF_Fixed x_dephault;
    PF_Fixed y_dephault;
} PF_PointDef;

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
    A_short display_flags;
    A_u_long fs_flags;
    PF_FpShort curve_tolerance;
    PF_Boolean useExponent;
    PF_FpShort exponent;
} PF_FloatSliderDef;

typedef struct PF_AngleDef {
    PF_Fixed value;
    PF_Fixed dephault;
    PF_Fixed valid_min;
    PF_Fixed valid_max;
} PF_AngleDef;

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
    A_short display_flags;
} PF_FixedSliderDef;

typedef struct PF_CheckBoxDef {
    A_long value;
    A_long dephault;
    A_char reserved;
    A_char reserved1;
    A_short reserved2;
    const A_char* nameptr;
} PF_CheckBoxDef;

typedef union PF_ParamDefUnion {
    PF_LayerDef ld;
    PF_PopupDef pd;
    PF_PointDef td;
    PF_FloatSliderDef fs_d;
    PF_AngleDef ad;
    PF_FixedSliderDef fd;
    PF_CheckBoxDef bd;
} PF_ParamDefUnion;

typedef struct PF_ParamDef {
    union {
        A_long id;
        PF_ChangeFlags change_flags;
    } uu;
    A_long ui_flags;
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

typedef struct PF_CustomUIInfo {
    A_long reserved;
    PF_CustomEventFlags events;
    A_long comp_ui_width;
    A_long comp_ui_height;
    A_long comp_ui_alignment;
    A_long layer_ui_width;
    A_long layer_ui_height;
    A_long layer_ui_alignment;
    A_long preview_ui_width;
    A_long preview_ui_height;
    A_long preview_ui_alignment;
} PF_CustomUIInfo;

/* ---- Host callbacks in the in-data record ------------------------------ */

/// C-runtime services the host offers through the in-data record; the
/// function order is also the slot order of "PF ANSI Suite".
typedef struct PF_ANSICallbacks {
    double (*atan)(double);
    double (*atan2)(double y, double x);
    double (*ceil)(double);
    double (*cos)(double);
    double (*exp)(double);
    double (*fabs)(double);
    double (*floor)(double);
    double (*fmod)(double, double);
    double (*hypot)(double, double);
    double (*log)(double);
    double (*log10)(double);
    double (*pow)(double, double);
    double (*sin)(double);
    double (*sqrt)(double);
    double (*tan)(double);
    int (*sprintf)(A_char*, const A_char*, ...);
    A_char* (*strcpy)(A_char*, const A_char*);
    double (*asin)(double);
    double (*acos)(double);
} PF_ANSICallbacks;

typedef struct PF_UtilCallbacks {
    PF_ANSICallbacks ansi;
} PF_UtilCallbacks;

typedef struct PF_InteractCallbacks {
    PF_Err (*add_param)(PF_ProgPtr effect_ref, A_long index, PF_ParamDefPtr def);
    PF_Err (*register_ui)(PF_ProgPtr effect_ref, PF_CustomUIInfo* cust_info);
} PF_InteractCallbacks;

/* ---- In-data and out-data ---------------------------------------------- */

typedef struct PF_InData {
    PF_InteractCallbacks inter;
    PF_UtilCallbacks* utils;
    PF_ProgPtr effect_ref;
    A_long quality;
    A_long version_major_minor;
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
    A_long field;
    PF_Fixed shutter_angle;
    A_long width;
    A_long height;
    PF_LRect extent_hint;
    A_long output_origin_x;
    A_long output_origin_y;
    PF_RationalScale downsample_x;
    PF_RationalScale downsample_y;
    PF_RationalScale pixel_aspect_ratio;
    A_long in_flags;
    void* global_data;
    void* sequence_data;
    void* frame_data;
    A_long start_sampL;
    A_long dur_sampL;
    A_long total_sampL;
    SPBasicSuite* pica_basicP;
    A_long pre_effect_source_origin_x;
    A_long pre_effect_source_origin_y;
    PF_Fixed shutter_phase;
} PF_InData;

typedef struct PF_OutData {
    A_u_long my_version;
    A_char name[32];
    void* global_data;
    A_long num_params;
    void* sequence_data;
    A_long flat_sdata_size;
    void* frame_data;
    A_long width;
    A_long height;
    PF_Point origin;
    A_long out_flags;
    A_char return_msg[256];
    A_long start_sampL;
    A_long dur_sampL;
    A_long dest_snd;
    A_long out_flags2;
} PF_OutData;

/// The one function the module exports.
typedef PF_Err (*PF_EntryPointFunc)(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                    PF_ParamDef* params[], PF_LayerDef* output, void* extra);

#ifdef __cplusplus
}
#endif

#endif
