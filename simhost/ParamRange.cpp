#include "simhost/ParamRange.h"

#include <algorithm>
#include <charconv>

#include "numeric/FixedPoint.h"

namespace quorvel::sim {

double ParamRange::Clamp(double value) const {
    if (!(value >= min)) return min;
    return std::min(value, max);
}

std::string ParamRange::Text() const {
    // The shortest decimals that read back as the bounds.
    auto shortest = [](double v) {
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, v).ptr;
        return std::string(text, end);
    };
    return shortest(min) + " to " + shortest(max);
}

std::optional<ParamRange> RangeOf(const PF_ParamDef& def) {
    switch (def.param_type) {
        case PF_Param_FLOAT_SLIDER:
            return ParamRange{double(def.u.fs_d.valid_min), double(def.u.fs_d.valid_max)};
        case PF_Param_FIX_SLIDER:
            return ParamRange{DoubleFromFixed(def.u.fd.valid_min), DoubleFromFixed(def.u.fd.valid_max)};
        default:
            return std::nullopt;
    }
}

}  // namespace quorvel::sim
