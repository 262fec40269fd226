// Fuzz target: keyframe text. Read as it is, it must write and read back
// to the same blocks; read as keys for the module, it must resolve or be
// refused, and what it resolves to must write and read back too.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzControls.h"
#include "shots/KeyframeText.h"
#include "shots/ShotError.h"

namespace {

using namespace quorvel::shots;

bool SameText(const KeyText& a, const KeyText& b) {
    if (a.header.size() != b.header.size() || a.blocks.size() != b.blocks.size()) return false;
    for (std::size_t i = 0; i < a.header.size(); ++i) {
        if (a.header[i].name != b.header[i].name || a.header[i].value != b.header[i].value) return false;
    }
    for (std::size_t i = 0; i < a.blocks.size(); ++i) {
        const KeyTextBlock& x = a.blocks[i];
        const KeyTextBlock& y = b.blocks[i];
        if (x.path != y.path || x.columns != y.columns || x.rows.size() != y.rows.size() || x.values != y.values) {
            return false;
        }
        for (std::size_t r = 0; r < x.rows.size(); ++r) {
            if (x.rows[r].frame != y.rows[r].frame) return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvel;
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    try {
        const KeyText text = ParseKeyText(content, "fuzz.txt");
        const KeyText back = ParseKeyText(WriteKeyText(text), "written.txt");
        if (!SameText(text, back)) __builtin_trap();
    } catch (const ShotError&) {
        return 0;
    }
    shots::Animation animation;
    try {
        animation.AddKeyText("fuzz.txt", content);
        animation.Resolve(fuzz::ModuleControls().params, fuzz::ModuleControls().effect_name);
    } catch (const ShotError&) {
        return 0;
    }
    fuzz::CheckRoundTrip(animation);
    return 0;
}
