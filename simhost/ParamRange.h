/// The values a control holds: a slider's valid range, which the host's
/// control never leaves. A value typed outside it is refused; one pasted
/// or computed is clamped to it.
#pragma once

#include <optional>
#include <string>

#include "host/PF_Host.h"

namespace quorvel::sim {

/// In the units the user sees: a fixed slider's 16.16 bounds as numbers.
struct ParamRange {
    double min = 0;
    double max = 0;

    bool Holds(double value) const { return value >= min && value <= max; }
    /// The nearest value in the range (its low end for a value that is not
    /// a number).
    double Clamp(double value) const;
    /// "0 to 100"
    std::string Text() const;
};

/// The range of a float or fixed slider; none for controls without one
/// (points, angles, popups, checkboxes).
std::optional<ParamRange> RangeOf(const PF_ParamDef& def);

}  // namespace quorvel::sim
