#include "shots/LayerTransform.h"

#include <cmath>
#include <tuple>

#include "numeric/FixedPoint.h"

namespace quorvel::shots {

std::pair<double, double> LayerTransform::Map(double x, double y) const {
    const double dx = (x - anchor_x) * (scale_x / 100.0);
    const double dy = (y - anchor_y) * (scale_y / 100.0);
    const double c = std::cos(RadiansFromDegrees(rotation)), s = std::sin(RadiansFromDegrees(rotation));
    return {position_x + c * dx - s * dy, position_y + s * dx + c * dy};
}

std::pair<double, double> LayerTransform::Unmap(double x, double y) const {
    const double qx = x - position_x, qy = y - position_y;
    const double c = std::cos(RadiansFromDegrees(rotation)), s = std::sin(RadiansFromDegrees(rotation));
    return {anchor_x + (c * qx + s * qy) / (scale_x / 100.0), anchor_y + (c * qy - s * qx) / (scale_y / 100.0)};
}

MatteGeometry CarryMatte(const MatteGeometry& matte, const LayerTransform& from, const LayerTransform& to) {
    const double rx = std::fabs(to.scale_x / from.scale_x);
    const double ry = std::fabs(to.scale_y / from.scale_y);
    const auto [lx, ly] = from.Unmap(matte.x, matte.y);
    MatteGeometry carried = matte;
    std::tie(carried.x, carried.y) = to.Map(lx, ly);
    carried.width = matte.width * rx;
    carried.height = matte.height * ry;
    carried.feather = matte.feather * std::sqrt(rx * ry);
    carried.angle = matte.angle + (to.rotation - from.rotation);
    return carried;
}

}  // namespace quorvel::shots
