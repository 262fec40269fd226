#include "frames/ParamEncoding.h"

#include <cmath>
#include <limits>

namespace quorvel::sim {

namespace {

constexpr double kOne = 65536.0;
constexpr double kLowest = double(std::numeric_limits<PF_Fixed>::min());
constexpr double kHighest = double(std::numeric_limits<PF_Fixed>::max());

/// v x 65536 to the nearest whole number, halves to even. Scaling by a power
/// of two and taking the fraction off the floor are both exact, so the
/// result does not depend on the rounding mode a module may have left set.
double Round16(double v) {
    const double scaled = v * kOne;
    double whole = std::floor(scaled);
    const double fraction = scaled - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
    return whole;
}

}  // namespace

PF_Fixed DoubleToFixed(double v) {
    if (std::isnan(v)) return 0;
    const double rounded = Round16(v);
    if (rounded >= kHighest) return std::numeric_limits<PF_Fixed>::max();
    if (rounded <= kLowest) return std::numeric_limits<PF_Fixed>::min();
    return PF_Fixed(rounded);
}

std::optional<PF_Fixed> CheckedDoubleToFixed(double v) {
    if (!std::isfinite(v)) return std::nullopt;
    const double rounded = Round16(v);
    if (!(rounded >= kLowest && rounded <= kHighest)) return std::nullopt;
    return PF_Fixed(rounded);
}

double FixedToDouble(PF_Fixed v) { return double(v) / kOne; }

void SetPoint(PF_ParamDef& def, double x, double y) {
    def.u.td.x_value = DoubleToFixed(x);
    def.u.td.y_value = DoubleToFixed(y);
}

void SetAngle(PF_ParamDef& def, double degrees) { def.u.ad.value = DoubleToFixed(degrees); }

void SetFixedSlider(PF_ParamDef& def, double value) { def.u.fd.value = DoubleToFixed(value); }

}  // namespace quorvel::sim
