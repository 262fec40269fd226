#include "simhost/ParamSet.h"

#include <cstdint>
#include <cstring>

#include "frames/Poison.h"

namespace quorvel::sim {

namespace {

/// `percent` (16.16) of `extent` pixels, as a 16.16 pixel coordinate.
PF_Fixed PercentOf(PF_Fixed percent, int extent) { return PF_Fixed(std::int64_t(percent) * extent / 100); }

/// The record a host hands over for a control: its header and the value
/// record of its type; the rest of the union and the unused member poison.
PF_ParamDef HostRecordOf(const PF_ParamDef& registered) {
    PF_ParamDef def;
    frames::Poison(def);
    def.uu.id = registered.uu.id;
    def.ui_flags = 0;
    def.ui_width = 0;
    def.ui_height = 0;
    def.param_type = registered.param_type;
    std::memcpy(def.name, registered.name, sizeof def.name);
    def.flags = registered.flags;
    switch (registered.param_type) {
        case PF_Param_LAYER:
            def.u.ld = registered.u.ld;
            break;
        case PF_Param_SLIDER:
            def.u.sd = registered.u.sd;
            break;
        case PF_Param_FIX_SLIDER:
            def.u.fd = registered.u.fd;
            break;
        case PF_Param_ANGLE:
            def.u.ad = registered.u.ad;
            break;
        case PF_Param_CHECKBOX:
            def.u.bd = registered.u.bd;
            break;
        case PF_Param_COLOR:
            def.u.cd = registered.u.cd;
            break;
        case PF_Param_POINT:
            def.u.td = registered.u.td;
            break;
        case PF_Param_POPUP:
            def.u.pd = registered.u.pd;
            break;
        case PF_Param_FLOAT_SLIDER:
            def.u.fs_d = registered.u.fs_d;
            break;
        default:
            def.u = registered.u;
            break;
    }
    return def;
}

}  // namespace

ParamSet::ParamSet(const std::vector<PF_ParamDef>& registered, const PF_EffectWorld& input, int layer_width,
                   int layer_height) {
    defs_.reserve(registered.size() + 1);
    ids_.assign(registered.size() + 1, 0);
    PF_ParamDef layer;
    std::memset(&layer, 0, sizeof layer);
    layer.param_type = PF_Param_LAYER;
    layer.u.ld = input;
    defs_.push_back(HostRecordOf(layer));
    for (std::size_t i = 0; i < registered.size(); ++i) {
        PF_ParamDef def = HostRecordOf(registered[i]);
        if (def.param_type == PF_Param_POINT) {
            def.u.td.x_value = PercentOf(def.u.td.x_dephault, layer_width);
            def.u.td.y_value = PercentOf(def.u.td.y_dephault, layer_height);
        }
        defs_.push_back(def);
        ids_[i + 1] = def.uu.id;
    }
    Repoint();
}

ParamSet::ParamSet(const ParamSet& other) : defs_(other.defs_), ids_(other.ids_) { Repoint(); }

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
