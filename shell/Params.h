/// The effect's controls: their order in the params array, their persistent
/// ids, and their registration with the host.
#pragma once

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

/// Persistent ids: the saved-project format, deliberately not the indices.
enum ParamId : A_long {
    kIdOrigin = 1,
    kIdMaskType = 2,
    kIdWidth = 3,
    kIdHeight = 4,
    kIdAngle = 5,
    kIdFeather = 6,
    kIdOpacity = 7,
    kIdCompositeMode = 8,
    kIdInvert = 9,
    kIdFalloff = 10
};

/// Popup choice numbers (1-based, as the host stores them).
enum MaskType : A_long { kMaskEllipse = 1, kMaskRectangle = 2 };
enum CompositeMode : A_long { kCompositeAdd = 1, kCompositeSubtract, kCompositeIntersect, kCompositeCreate };
enum Falloff : A_long {
    kFalloffLinear = 1,
    kFalloffQuadratic,
    kFalloffCubic,
    kFalloffGamma,
    kFalloffGaussian,
    kFalloffExponential
};
/// How many choices each popup offers: its last choice's number.
inline constexpr A_short kMaskTypeCount = kMaskRectangle;
inline constexpr A_short kCompositeModeCount = kCompositeCreate;
inline constexpr A_short kFalloffCount = kFalloffExponential;

inline constexpr const char* kFalloffParamName = "Alpha falloff";
inline constexpr const char* kFalloffChoices = "Linear|Quadratic|Cubic|Gamma 2.2|Gaussian|Exponential";
inline constexpr const char* kInvertCheckboxText = "Invert mask";

/// Registers the ten controls and the on-screen controls with the host.
/// Returns 0; the host's first refusal ends the command as a thrown code.
PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data);

}  // namespace quorvel
