/// Persistent ids of the effect's controls: how a host finds them whatever
/// their position in the parameter array, and how saved projects name them.
#pragma once

#include "host/PF_Host.h"

namespace quorvel::shots {

inline constexpr A_long kIdOrigin = 1;
inline constexpr A_long kIdMaskType = 2;
inline constexpr A_long kIdWidth = 3;
inline constexpr A_long kIdHeight = 4;
inline constexpr A_long kIdAngle = 5;
inline constexpr A_long kIdFeather = 6;
inline constexpr A_long kIdOpacity = 7;
inline constexpr A_long kIdCompositeMode = 8;
inline constexpr A_long kIdInvert = 9;
inline constexpr A_long kIdFalloff = 10;

}  // namespace quorvel::shots
