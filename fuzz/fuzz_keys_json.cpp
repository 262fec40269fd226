// Fuzz target: a key file that is not keyframe text, read as JSON keys,
// resolved against the module's controls, then written as keyframe text
// and read back.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/FuzzControls.h"
#include "shots/ShotError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvel;
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    if (shots::LooksLikeKeyText(content)) return 0;  // the other target's
    shots::Animation animation;
    try {
        animation.AddKeyContent("fuzz.json", content);
        animation.Resolve(fuzz::ModuleControls().params, fuzz::ModuleControls().effect_name);
    } catch (const shots::ShotError&) {
        return 0;
    }
    fuzz::CheckRoundTrip(animation);
    return 0;
}
