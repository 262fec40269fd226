/// The handlers the entry point dispatches to.
#pragma once

#include "PF_Host.h"

namespace quorvel {

PF_Err About(PF_InData* in_data, PF_OutData* out_data);
PF_Err GlobalSetup(PF_InData* in_data, PF_OutData* out_data);
PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data);
PF_Err Render(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output);
PF_Err HandleOverlayEvent(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output,
                          PF_EventExtra* event);

}  // namespace quorvel
