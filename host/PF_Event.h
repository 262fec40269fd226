/// User-interface events for the on-screen controls: the event record, its
/// coordinate callbacks, and the custom UI suites used to draw.
#ifndef QUORVEL_HOST_PF_EVENT_H
#define QUORVEL_HOST_PF_EVENT_H

#include "host/DRAWBOT_Suites.h"
#include "host/PF_Effect.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef A_long PF_WindowType;
enum { PF_Window_NONE = -1, PF_Window_COMP = 0, PF_Window_LAYER = 1, PF_Window_EFFECT = 2, PF_Window_PREVIEW = 3 };

/// Code 8 is kept by the host for an event it no longer sends; the later
/// codes keep their numbers.
typedef A_long PF_EventType;
enum {
    PF_Event_NEW_CONTEXT = 0,
    PF_Event_ACTIVATE = 1,
    PF_Event_DO_CLICK = 2,
    PF_Event_DRAG = 3,
    PF_Event_DRAW = 4,
    PF_Event_DEACTIVATE = 5,
    PF_Event_CLOSE_CONTEXT = 6,
    PF_Event_IDLE = 7,
    PF_Event_KEYDOWN_OBSOLETE = 8,
    PF_Event_ADJUST_CURSOR = 9,
    PF_Event_KEYDOWN = 10,
    PF_Event_MOUSE_EXITED = 11
};

typedef A_long PF_EventInFlags;
typedef A_long PF_EventOutFlags;
enum { PF_EO_NONE = 0, PF_EO_HANDLED_EVENT = 1, PF_EO_ALWAYS_UPDATE = 2, PF_EO_NEVER_UPDATE = 4 };

typedef A_long PF_Modifiers;
typedef A_long PF_KeyCode;
typedef A_long PF_CursorType;
typedef A_long PF_EffectArea;
typedef void* PF_ContextRefcon;

/// The window an event belongs to. Handed out by the host as a handle; the
/// module reads `w_type` only.
typedef struct PF_Context {
    A_u_long magic;
    PF_WindowType w_type;
    PF_ContextRefcon reserved_flt;
    A_intptr_t plugin_state[4];
    DRAWBOT_DrawRef reserved_drawref;
    void* reserved_paneP;
    void* reserved_job_manageP;
} PF_Context;

typedef PF_Context** PF_ContextH;

typedef struct PF_DoClickEventInfo {
    A_u_long when;
    PF_Point screen_point;
    A_long num_clicks;
    PF_Modifiers modifiers;
    /// Kept by the host from a click to the following drags: the module
    /// stores the grabbed handle's number in element 0.
    A_intptr_t continue_refcon[4];
    PF_Boolean send_drag;
    PF_Boolean last_time;
} PF_DoClickEventInfo;

typedef struct PF_DrawEventInfo {
    PF_LRect update_rect;
    A_long depth;
} PF_DrawEventInfo;

typedef struct PF_KeyDownEvent {
    A_u_long when;
    PF_Point screen_point;
    PF_KeyCode keycode;
    PF_Modifiers modifiers;
} PF_KeyDownEvent;

typedef struct PF_AdjustCursorEventInfo {
    PF_Point screen_point;
    PF_Modifiers modifiers;
    PF_CursorType set_cursor;
} PF_AdjustCursorEventInfo;

typedef union PF_EventUnion {
    PF_DoClickEventInfo do_click;
    PF_DrawEventInfo draw;
    PF_KeyDownEvent key_down;
    PF_AdjustCursorEventInfo adjust_cursor;
} PF_EventUnion;

/// Where in the effect controls window an event happened; meaningful for
/// that window only.
typedef struct PF_EffectWindowInfo {
    PF_ParamIndex index;
    PF_EffectArea area;
    PF_LRect current_frame;
    PF_LRect param_title_frame;
    A_long horiz_offset;
} PF_EffectWindowInfo;

/// Coordinate conversions and the info panel; each conversion converts `pt`
/// in place.
typedef struct PF_EventCallbacks {
    void* refcon;
    PF_Err (*layer_to_comp)(void* refcon, PF_ContextH context, A_long curr_time, A_long time_scale, PF_FixedPoint* pt);
    PF_Err (*comp_to_layer)(void* refcon, PF_ContextH context, A_long curr_time, A_long time_scale, PF_FixedPoint* pt);
    PF_Err (*get_comp2layer_xform)(void* refcon, PF_ContextH context, A_long curr_time, A_long time_scale,
                                   A_long* exists, PF_FloatMatrix* comp2layer);
    PF_Err (*get_layer2comp_xform)(void* refcon, PF_ContextH context, A_long curr_time, A_long time_scale,
                                   PF_FloatMatrix* layer2comp);
    PF_Err (*source_to_frame)(void* refcon, PF_ContextH context, PF_FixedPoint* pt);
    PF_Err (*frame_to_source)(void* refcon, PF_ContextH context, PF_FixedPoint* pt);
    PF_Err (*info_draw_color)(void* refcon, PF_Pixel color);
    PF_Err (*info_draw_text)(void* refcon, const A_char* text1, const A_char* text2);
} PF_EventCallbacks;

typedef struct PF_EventExtra {
    PF_ContextH contextH;
    PF_EventType e_type;
    PF_EventUnion u;
    PF_EffectWindowInfo effect_win;
    PF_EventCallbacks cbs;
    PF_EventInFlags evt_in_flags;
    PF_EventOutFlags evt_out_flags;
} PF_EventExtra;

QUORVEL_HOST_STRING char kPFEffectCustomUISuite[] = "PF Effect Custom UI Suite";
QUORVEL_HOST_STRING char kPFEffectCustomUIOverlayThemeSuite[] = "PF Effect Custom UI Overlay Theme Suite";
enum { kPFEffectCustomUISuiteVersion1 = 1, kPFEffectCustomUIOverlayThemeSuiteVersion1 = 1 };

typedef struct PF_EffectCustomUISuite1 {
    PF_Err (*PF_GetDrawingReference)(const PF_ContextH context, DRAWBOT_DrawRef* reference);
} PF_EffectCustomUISuite1;

/// The host's own look for overlay strokes: it picks colour, width and shadow.
typedef struct PF_EffectCustomUIOverlayThemeSuite1 {
    PF_Err (*PF_GetPreferredForegroundColor)(DRAWBOT_ColorRGBA* foreground);
    PF_Err (*PF_GetPreferredShadowColor)(DRAWBOT_ColorRGBA* shadow);
    PF_Err (*PF_GetPreferredStrokeWidth)(float* stroke_width);
    PF_Err (*PF_GetPreferredVertexSize)(float* vertex_size);
    PF_Err (*PF_GetPreferredShadowOffset)(A_LPoint* shadow_offset);
    PF_Err (*PF_StrokePath)(const DRAWBOT_DrawRef drawbot_ref, const DRAWBOT_PathRef path, PF_Boolean draw_shadow);
    PF_Err (*PF_FillPath)(const DRAWBOT_DrawRef drawbot_ref, const DRAWBOT_PathRef path, PF_Boolean draw_shadow);
    PF_Err (*PF_FillVertex)(const DRAWBOT_DrawRef drawbot_ref, const A_FloatPoint* center, PF_Boolean draw_shadow);
} PF_EffectCustomUIOverlayThemeSuite1;

#ifdef __cplusplus
}
#endif

#endif
