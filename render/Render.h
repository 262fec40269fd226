/// The render command, as the entry point dispatches it.
#pragma once

#include "host/PF_Host.h"

namespace quorvel {

/// Fills the output's extent hint with the input, its alpha merged with the
/// mask, in whichever pixel layout the host asks for. Returns 0; a failure
/// ends the command as a thrown code (shell/Errors.h).
PF_Err Render(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output);

}  // namespace quorvel
