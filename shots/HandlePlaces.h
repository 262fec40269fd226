/// The module's on-screen handles as the tool knows them: their names, and
/// where the module drew them in a draw event, read from the host's record
/// of its strokes rather than worked out again beside the module.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "frames/Drawing.h"

namespace quorvel::shots {

/// A handle's number as the module keeps it through a drag (1 to 10), and
/// the middle of its drawing in window pixels.
struct DrawnHandle {
    long number = 0;
    double x = 0, y = 0;
};

/// "rotation", "top-left corner"...; "none" for 0, "unknown" outside 0 to 10.
std::string HandleName(long number);

/// The ten handles in the strokes of one draw event, in number order; none
/// when the strokes are not the module's whole drawing (a draw that stopped
/// early).
std::vector<DrawnHandle> DrawnHandles(const std::vector<frames::Stroke>& strokes);

struct NearestHandle {
    DrawnHandle handle;
    double distance = 0;  ///< in window pixels
};

/// The handle nearest to the window point (x, y); nothing without handles.
std::optional<NearestHandle> Nearest(const std::vector<DrawnHandle>& handles, double x, double y);

}  // namespace quorvel::shots
