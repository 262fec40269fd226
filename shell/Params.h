/// The effect's controls: their order in the params array and their
/// registration with the host; their persistent ids and pop-up choices are
/// effect/Controls.h's, shared with the tool.
#pragma once

#include "effect/Controls.h"
#include "host/PF_Host.h"

namespace quorvel {

/// Position in the params array the host passes to render and event calls.
enum ParamIndex : A_long {
    kParamInput = 0,
    kParamMaskType,
    kParamCompositeMode,
    kParamOrigin,
    kParamWidth,
    kParamHeight,
    kParamAngle,
    kParamFeather,
    kParamOpacity,
    kParamInvert,
    kParamFalloff,
    kNumParams
};

inline constexpr const char* kFalloffParamName = "Alpha falloff";
inline constexpr const char* kFalloffChoices = "Linear|Quadratic|Cubic|Gamma 2.2|Gaussian|Exponential";
inline constexpr const char* kInvertCheckboxText = "Invert mask";

/// Registers the ten controls and the on-screen controls with the host.
/// Returns 0; the host's first refusal ends the command as a thrown code.
PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data);

}  // namespace quorvel
