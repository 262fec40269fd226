/// User values (pixels, degrees, percent) as the host's parameter records
/// carry them: signed 16.16 fixed point, 1.0 = 65536, rounded to nearest with
/// halves to even (numeric/FixedPoint.h). The host, the tool, the tests and
/// the benchmark all encode through here, so what a test sends is what a
/// host would send for the same typed value.
#pragma once

#include "host/PF_Host.h"

namespace quorvel::frames {

/// Each writes its type's value member of a parameter record through
/// FixedFromDoubleNearestTiesEven, leaving the rest of the record as it was.
void SetPoint(PF_ParamDef& def, double x, double y);
void SetAngle(PF_ParamDef& def, double degrees);
/// A fixed-point slider such as Opacity (percent).
void SetFixedSlider(PF_ParamDef& def, double value);

}  // namespace quorvel::frames
