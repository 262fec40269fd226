/// The on-screen controls' command, as the entry point dispatches it.
#pragma once

#include "host/PF_Host.h"

namespace quorvel {

/// Draws the controls, or answers a click or a drag on them. Returns 0; a
/// failure ends the command as a thrown code (shell/Errors.h).
PF_Err HandleOverlayEvent(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output,
                          PF_EventExtra* event);

}  // namespace quorvel
