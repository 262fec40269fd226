/// The handlers the entry point dispatches to: its own two, and those each
/// layer publishes for its command.
#pragma once

#include "host/PF_Host.h"
#include "overlay/OverlayEvent.h"
#include "render/Render.h"
#include "shell/Params.h"

namespace quorvel {

PF_Err About(PF_InData* in_data, PF_OutData* out_data);
PF_Err GlobalSetup(PF_InData* in_data, PF_OutData* out_data);

}  // namespace quorvel
