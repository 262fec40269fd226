/// User-interface events for the on-screen controls: the event record, its
/// coordinate callbacks, and the custom UI suites used to draw.
#ifndef QUORVEL_HOST_PF_EVENT_H
#define QUORVEL_HOST_PF_EVENT_H

#include "DRAWBOT_Suites.h"
#include "PF_Effect.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef A_long PF_WindowType;
enum {
    PF_Window_NONE = -1,
    PF_Window_COMP = 0,
    PF_Window_LAYER = 1,
    PF_Window_EFFECT = 2,
    PF_Window_PREVIEW = 3
};

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
    PF_Event_ADJUST_CURSOR = 8,
    PF_Event_KEYDOWN = 9,
    PF_Event_MOUSE_EXITED = 10
};

typedef A_long PF_EventOutFlags;
enum { PF_EO_NONE = 0, PF_EO_HANDLED_EVENT = 1, PF_EO_ALWAYS_UPDATE = 2, PF_EO_NEVER_UPDATE = 4 };

/// The window an event belongs to. Handed out by the host as a handle.
typedef struct PF_Context {
    A_u_long magic;
    PF_WindowType w_type;
    A_long reserved_flt;
    void* reserved_data;
} PF_Context;

typedef PF_Context** PF_ContextH;

typedef struct PF_DoClickEventInfo {
    A_u_long when;
    PF_Point screen_point;
    A_long num_clicks;
    A_long modifiers;
    /// Kept by the host from a click to the following drags: the module
    /// stores the grabbed handle's number in element 0.
    A_intptr_t continue_refcon[4];
    PF_Boolean send_drag;
    PF_Boolean last_time;
} PF_DoClickEventInfo;

typedef union PF_EventUnion {
    PF_DoClickEventInfo do_click;
} PF_EventUnion;

/// Coordinate conversions; each converts `pt` in place.
typedef struct PF_EventCallbacks {
    void* refcon;
    PF_Err (*layer_to_comp)(void* refcon, PF_ContextH context, A_long curr_time, A_long time_scale,
                            PF_FixedPoint* pt);
    PF_Err (*comp_to_layer)(void* refcon, PF_ContextH context, A_long curr_time, A_long time_scale,
                            PF_FixedPoint* pt);
    PF_Err (*source_to_frame)(void* refcon, PF_ContextH context, PF_FixedPoint* pt);
    PF_Err (*frame_to_source)(void* refcon, PF_ContextH context, PF_FixedPoint* pt);
} PF_EventCallbacks;

typedef struct PF_EventExtra {
    PF_ContextH contextH;
    PF_EventType e_type;
    PF_EventUnion u;
    PF_EventCallbacks cbs;
    PF_EventOutFlags evt_out_flags;
} PF_EventExtra;

static const char kPFEffectCustomUISuite[] = "PF Effect Custom UI Suite";
static const char kPFEffectCustomUIOverlayThemeSuite[] = "PF Effect Custom UI Overlay Theme Suite";
enum { kPFEffectCustomUISuiteVersion1 = 1, kPFEffectCustomUIOverlayThemeSuiteVersion1 = 1 };

typedef struct PF_EffectCustomUISuite1 {
    PF_Err (*PF_GetDrawingReference)(PF_ContextH context, DRAWBOT_DrawRef* reference);
} PF_EffectCustomUISuite1;

/// The host's own look for overlay strokes: it picks colour, width and shadow.
typedef struct PF_EffectCustomUIOverlayThemeSuite1 {
    PF_Err (*PF_GetPreferredForegroundColor)(DRAWBOT_ColorRGBA* foreground);
    PF_Err (*PF_GetPreferredShadowColor)(DRAWBOT_ColorRGBA* shadow);
    PF_Err (*PF_GetPreferredStrokeWidth)(float* stroke_width);
    PF_Err (*PF_GetPreferredVertexSize)(float* vertex_size);
    PF_Err (*PF_GetPreferredShadowOffset)(A_LPoint* shadow_offset);
    PF_Err (*PF_StrokePath)(DRAWBOT_DrawRef drawbot_ref, DRAWBOT_PathRef path, PF_Boolean draw_shadow);
} PF_EffectCustomUIOverlayThemeSuite1;

#ifdef __cplusplus
}
#endif

#endif
