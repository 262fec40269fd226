/// The parameter array the host passes to render and event calls: the
/// registered definitions with their values at the current time.
#pragma once

#include <vector>

#include "host/PF_Host.h"

namespace quorvel::sim {

class ParamSet {
public:
    /// Index 0 is the input layer; then every registered definition at its
    /// default. Point defaults are percentages of the layer, as the host's
    /// convention has it, and become layer pixel coordinates here.
    ParamSet(const std::vector<PF_ParamDef>& registered, const PF_EffectWorld& input, int layer_width,
             int layer_height);

    ParamSet(const ParamSet& other);
    ParamSet& operator=(const ParamSet& other);

    /// The array as the entry point takes it; valid while this set lives.
    PF_ParamDef** get() { return pointers_.data(); }
    int size() const { return int(defs_.size()); }
    PF_ParamDef& operator[](int index) { return defs_.at(std::size_t(index)); }
    const PF_ParamDef& operator[](int index) const { return defs_.at(std::size_t(index)); }

    /// The index of the control registered with persistent id `id`, or -1.
    int IndexOfId(A_long id) const;

    void SetLayer(const PF_EffectWorld& input) { defs_[0].u.ld = input; }
    /// Resets every definition's change flags, as the host does before an event.
    void ClearChangeFlags();

private:
    void Repoint();

    std::vector<PF_ParamDef> defs_;
    std::vector<A_long> ids_;  // kept apart: the record's id field is reused for change flags
    std::vector<PF_ParamDef*> pointers_;
};

}  // namespace quorvel::sim
