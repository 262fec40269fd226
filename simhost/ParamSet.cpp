#include "ParamSet.h"

#include <cstdint>

namespace quorvel::sim {

namespace {

/// `percent` (16.16) of `extent` pixels, as a 16.16 pixel coordinate.
PF_Fixed PercentOf(PF_Fixed percent, int extent) {
    return PF_Fixed(std::int64_t(percent) * extent / 100);
}

}  // namespace

ParamSet::ParamSet(const std::vector<PF_ParamDef>& registered, const PF_EffectWorld& input, int layer_width,
                   int layer_height) {
    defs_.resize(registered.size() + 1);
    ids_.assign(registered.size() + 1, 0);
    defs_[0].param_type = PF_Param_LAYER;
    defs_[0].u.ld = input;
    for (std::size_t i = 0; i < registered.size(); ++i) {
        PF_ParamDef def = registered[i];
        if (def.param_type == PF_Param_POINT) {
            def.u.td.x_value = PercentOf(def.u.td.x_dephault, layer_width);
            def.u.td.y_value = PercentOf(def.u.td.y_dephault, layer_height);
        }
        defs_[i + 1] = def;
        ids_[i + 1] = def.uu.id;
    }
    Repoint();
}

ParamSet::ParamSet(const ParamSet& other) : defs_(other.defs_), ids_(other.ids_) {
    Repoint();
}

ParamSet& ParamSet::operator=(const ParamSet& other) {
    defs_ = other.defs_;
    ids_ = other.ids_;
    Repoint();
    return *this;
}

void ParamSet::ClearChangeFlags() {
    for (std::size_t i = 1; i < defs_.size(); ++i) defs_[i].uu.change_flags = PF_ChangeFlag_NONE;
}

int ParamSet::IndexOfId(A_long id) const {
    for (std::size_t i = 1; i < ids_.size(); ++i) {
        if (ids_[i] == id) return int(i);
    }
    return -1;
}

void ParamSet::Repoint() {
    pointers_.clear();
    for (PF_ParamDef& def : defs_) pointers_.push_back(&def);
}

}  // namespace quorvel::sim
