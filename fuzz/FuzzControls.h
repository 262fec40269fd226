// The module's controls as keys meet them: loaded once per fuzzing process
// from the module the build made, with the effect's display name.
#pragma once

#include <string>

#include "modulefiles/ModuleFile.h"
#include "shots/Keyframes.h"
#include "shots/ShotError.h"
#include "simhost/Host.h"
#include "simhost/ParamSet.h"

namespace quorvel::fuzz {

struct Controls {
    sim::ParamSet params;
    std::string effect_name;
};

inline const Controls& ModuleControls() {
    static const modulefiles::LoadedModule module(QUORVEL_MODULE_PATH);
    static const Controls controls = [] {
        sim::Host host(module.entry(), sim::Host::Options{});
        if (host.GlobalSetup() != PF_Err_NONE || host.ParamsSetup() != PF_Err_NONE) __builtin_trap();
        return Controls{sim::ParamSet(host.registered_params(), PF_EffectWorld{}, 1920, 1080),
                        shots::EffectDisplayName(module.descriptor())};
    }();
    return controls;
}

/// Writes the resolved animation as keyframe text, reads it back, and
/// checks that every key's value comes back at its frame: what `keys`
/// writes, its own reader takes.
inline void CheckRoundTrip(const shots::Animation& animation) {
    const Controls& c = ModuleControls();
    if (animation.KeyedNames().empty()) return;  // nothing to write: `keys` refuses it before
    shots::KeyTextSettings settings;
    settings.effect_name = c.effect_name;
    std::string text;
    try {
        text = shots::WriteKeyText(shots::AnimationKeyText(animation, c.params, settings));
    } catch (const shots::ShotError&) {
        return;  // eased keys too far apart to write a row a frame: refused by name
    }
    shots::Animation back;
    shots::KeyTextOptions options;
    options.rate = settings.rate;
    back.AddKeyText("written.txt", text, options);
    back.Resolve(c.params, c.effect_name);
    for (const std::string& name : animation.KeyedNames()) {
        for (const shots::Keyframe& key : animation.KeysOf(name)) {
            if (shots::Evaluate(back.KeysOf(name), key.frame) !=
                std::vector<double>(key.value.begin(), key.value.end())) {
                __builtin_trap();
            }
        }
    }
}

}  // namespace quorvel::fuzz
