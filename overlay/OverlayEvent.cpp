#include "Commands.h"

namespace quorvel {

PF_Err HandleOverlayEvent(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*, PF_EventExtra*) {
    return PF_Err_NONE;
}

}  // namespace quorvel
