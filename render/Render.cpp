#include "Commands.h"

namespace quorvel {

PF_Err Render(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*) {
    return PF_Err_NONE;
}

}  // namespace quorvel
