/// The effect's controls as a host stores them: their persistent ids and
/// their pop-ups' choices by number. The module registers and reads the
/// controls by these, and the tool, which cannot link the module, finds and
/// sets them by the same ones; the saved projects of both hosts depend on
/// every value here.
#pragma once

#include <iterator>

#include "host/PF_Host.h"

namespace quorvel {

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

/// A pop-up choice and the one word that names it where a control's value is
/// typed rather than picked from the host's list (the tool's options).
struct PopupChoice {
    A_long number;
    const char* word;
};

inline constexpr PopupChoice kMaskTypeWords[] = {{kMaskEllipse, "ellipse"}, {kMaskRectangle, "rectangle"}};
inline constexpr PopupChoice kCompositeModeWords[] = {{kCompositeAdd, "add"},
                                                      {kCompositeSubtract, "subtract"},
                                                      {kCompositeIntersect, "intersect"},
                                                      {kCompositeCreate, "create"}};
inline constexpr PopupChoice kFalloffWords[] = {{kFalloffLinear, "linear"},     {kFalloffQuadratic, "quadratic"},
                                                {kFalloffCubic, "cubic"},       {kFalloffGamma, "gamma"},
                                                {kFalloffGaussian, "gaussian"}, {kFalloffExponential, "exponential"}};

// A word for every choice the host offers, and no more.
static_assert(std::size(kMaskTypeWords) == kMaskTypeCount);
static_assert(std::size(kCompositeModeWords) == kCompositeModeCount);
static_assert(std::size(kFalloffWords) == kFalloffCount);

}  // namespace quorvel
