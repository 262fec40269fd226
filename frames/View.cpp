#include "frames/View.h"

#include "numeric/FixedPoint.h"

namespace quorvel::frames {

namespace {

PF_FixedPoint Affine(PF_FixedPoint p, double scale, double ox, double oy) {
    return {FixedFromDoubleNearestTiesEven(DoubleFromFixed(p.x) * scale + ox),
            FixedFromDoubleNearestTiesEven(DoubleFromFixed(p.y) * scale + oy)};
}

PF_FixedPoint InverseAffine(PF_FixedPoint p, double scale, double ox, double oy) {
    if (scale == 0.0) return p;
    return {FixedFromDoubleNearestTiesEven((DoubleFromFixed(p.x) - ox) / scale),
            FixedFromDoubleNearestTiesEven((DoubleFromFixed(p.y) - oy) / scale)};
}

}  // namespace

PF_FixedPoint View::LayerToComp(PF_FixedPoint p) const { return Affine(p, layer_scale, layer_x, layer_y); }
PF_FixedPoint View::CompToLayer(PF_FixedPoint p) const { return InverseAffine(p, layer_scale, layer_x, layer_y); }
PF_FixedPoint View::SourceToFrame(PF_FixedPoint p) const { return Affine(p, zoom, pan_x, pan_y); }
PF_FixedPoint View::FrameToSource(PF_FixedPoint p) const { return InverseAffine(p, zoom, pan_x, pan_y); }

}  // namespace quorvel::frames
