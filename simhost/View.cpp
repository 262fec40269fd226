#include "View.h"

#include <cmath>
#include <limits>

namespace quorvel::sim {

PF_Fixed DoubleToFixed(double v) {
    const double scaled = std::nearbyint(v * 65536.0);
    if (std::isnan(scaled)) return 0;
    if (scaled >= double(std::numeric_limits<PF_Fixed>::max())) return std::numeric_limits<PF_Fixed>::max();
    if (scaled <= double(std::numeric_limits<PF_Fixed>::min())) return std::numeric_limits<PF_Fixed>::min();
    return PF_Fixed(scaled);
}

double FixedToDouble(PF_Fixed v) {
    return double(v) / 65536.0;
}

namespace {

PF_FixedPoint Affine(PF_FixedPoint p, double scale, double ox, double oy) {
    return {DoubleToFixed(FixedToDouble(p.x) * scale + ox), DoubleToFixed(FixedToDouble(p.y) * scale + oy)};
}

PF_FixedPoint InverseAffine(PF_FixedPoint p, double scale, double ox, double oy) {
    if (scale == 0.0) return p;
    return {DoubleToFixed((FixedToDouble(p.x) - ox) / scale), DoubleToFixed((FixedToDouble(p.y) - oy) / scale)};
}

}  // namespace

PF_FixedPoint View::LayerToComp(PF_FixedPoint p) const {
    return Affine(p, layer_scale, layer_x, layer_y);
}
PF_FixedPoint View::CompToLayer(PF_FixedPoint p) const {
    return InverseAffine(p, layer_scale, layer_x, layer_y);
}
PF_FixedPoint View::SourceToFrame(PF_FixedPoint p) const {
    return Affine(p, zoom, pan_x, pan_y);
}
PF_FixedPoint View::FrameToSource(PF_FixedPoint p) const {
    return InverseAffine(p, zoom, pan_x, pan_y);
}

}  // namespace quorvel::sim
