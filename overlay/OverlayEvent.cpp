// The on-screen controls' door: routes the host's user-interface events to
// drawing, clicking and dragging.
#include "overlay/OverlayEvent.h"

#include "overlay/OverlayDraw.h"
#include "overlay/OverlayGeometry.h"
#include "overlay/OverlayInteraction.h"
#include "shell/Errors.h"

namespace quorvel {

PF_Err HandleOverlayEvent(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef*,
                          PF_EventExtra* event) {
    if (event == nullptr) RaiseError(PF_Err_BAD_CALLBACK_PARAM);

    // A click that arrives while the host still has a drag going (send_drag
    // set) continues that drag; the record says so for whoever reads it next.
    if (event->e_type == PF_Event_DO_CLICK && event->u.do_click.send_drag) event->e_type = PF_Event_DRAG;

    switch (event->e_type) {
        case PF_Event_DO_CLICK:
            return HandleOverlayClick(in_data, params, event);
        case PF_Event_DRAG:
            return HandleOverlayDrag(in_data, params, event);
        case PF_Event_DRAW: {
            const PF_WindowType window = EventWindowType(event);
            if (window != PF_Window_COMP && window != PF_Window_LAYER) break;
            DrawOverlay(in_data, out_data, params, event);
            // Handled whatever the drawing achieved: drawing failures are not
            // the user's business, and the host must not draw over us.
            event->evt_out_flags = PF_EO_HANDLED_EVENT;
            break;
        }
        default:
            break;
    }
    return PF_Err_NONE;
}

}  // namespace quorvel
