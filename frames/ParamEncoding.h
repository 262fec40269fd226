/// User values (pixels, degrees, percent) as the host's parameter records
/// carry them: signed 16.16 fixed point, 1.0 = 65536. The host, the tool,
/// the tests and the benchmark all encode through here, so what a test sends
/// is what a host would send for the same typed value.
#pragma once

#include <optional>

#include "host/PF_Host.h"

namespace quorvel::sim {

/// v x 65536 rounded to the nearest 16.16 value, halves to even, whatever
/// the current floating-point rounding mode; saturated at the ends of the
/// range, and NaN gives 0. For values the host computes itself (mapped
/// points), where clamping beats refusing.
PF_Fixed DoubleToFixed(double v);

/// The same rounding, but nothing when the rounded value lies outside 16.16
/// (about -32768 to 32768) or v is not finite: for values a user typed, which
/// are refused rather than silently clamped.
std::optional<PF_Fixed> CheckedDoubleToFixed(double v);

double FixedToDouble(PF_Fixed v);

/// Each writes its type's value member of a parameter record through
/// DoubleToFixed, leaving the rest of the record as it was.
void SetPoint(PF_ParamDef& def, double x, double y);
void SetAngle(PF_ParamDef& def, double degrees);
/// A fixed-point slider such as Opacity (percent).
void SetFixedSlider(PF_ParamDef& def, double value);

}  // namespace quorvel::sim
