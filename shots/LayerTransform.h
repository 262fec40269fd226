/// A layer's 2D transform as the compositing host composes it, and how a
/// matte drawn on a layer at one frame follows the layer's motion to
/// another: what a tracker's exported transform does to a shape.
#pragma once

#include <utility>

namespace quorvel::shots {

/// A point p of the layer lands at Position + R(Rotation) · S(Scale / 100) ·
/// (p − Anchor Point). Frames grow downward, so a positive rotation turns
/// clockwise on screen, as the matte's own angle does.
struct LayerTransform {
    double anchor_x = 0, anchor_y = 0;
    double position_x = 0, position_y = 0;
    double scale_x = 100, scale_y = 100;  ///< percent
    double rotation = 0;                  ///< degrees

    std::pair<double, double> Map(double x, double y) const;
    /// The point that lands at (x, y). Both scales must be non-zero.
    std::pair<double, double> Unmap(double x, double y) const;
};

/// The matte's shape as its controls hold it: origin in layer pixels,
/// sizes in pixels, angle in degrees.
struct MatteGeometry {
    double x = 0, y = 0;
    double width = 0, height = 0;
    double angle = 0;
    double feather = 0;
};

/// The matte as drawn where the layer had transform `from`, carried to where
/// it has `to`: its origin goes with the layer's point under it; width and
/// height scale by the X and Y scale ratios, the feather by their geometric
/// mean, and the angle turns by the rotation between them. A mirroring
/// scale keeps sizes positive. `from` must have non-zero scales.
MatteGeometry CarryMatte(const MatteGeometry& matte, const LayerTransform& from, const LayerTransform& to);

}  // namespace quorvel::shots
