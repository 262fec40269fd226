#include "frames/ParamEncoding.h"

#include "numeric/FixedPoint.h"

namespace quorvel::frames {

void SetPoint(PF_ParamDef& def, double x, double y) {
    def.u.td.x_value = FixedFromDoubleNearestTiesEven(x);
    def.u.td.y_value = FixedFromDoubleNearestTiesEven(y);
}

void SetAngle(PF_ParamDef& def, double degrees) { def.u.ad.value = FixedFromDoubleNearestTiesEven(degrees); }

void SetFixedSlider(PF_ParamDef& def, double value) { def.u.fd.value = FixedFromDoubleNearestTiesEven(value); }

}  // namespace quorvel::frames
