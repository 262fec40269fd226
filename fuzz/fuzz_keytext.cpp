// Fuzz target: keyframe text. Read as it is, its usable blocks must write
// and read back to the same blocks; read as keys for the module, it must resolve or be
// refused, and what it resolves to must write and read back too.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz/FuzzControls.h"
#include "shots/KeyframeText.h"
#include "shots/ShotError.h"

namespace {

using namespace quorvel::shots;

/// The blocks a command may use: what the writer writes.
std::vector<const KeyTextBlock*> Usable(const KeyText& text) {
    std::vector<const KeyTextBlock*> blocks;
    for (const KeyTextBlock& b : text.blocks) {
        if (b.usable()) blocks.push_back(&b);
    }
    return blocks;
}

bool SameText(const KeyText& a, const KeyText& b) {
    if (a.header.size() != b.header.size()) return false;
    for (std::size_t i = 0; i < a.header.size(); ++i) {
        if (a.header[i].name != b.header[i].name || a.header[i].value != b.header[i].value) return false;
    }
    const std::vector<const KeyTextBlock*> x = Usable(a);
    const std::vector<const KeyTextBlock*> y = Usable(b);
    if (x.size() != y.size() || y.size() != b.blocks.size()) return false;
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (x[i]->path != y[i]->path || x[i]->columns != y[i]->columns || x[i]->constant != y[i]->constant ||
            x[i]->rows.size() != y[i]->rows.size() || x[i]->values != y[i]->values) {
            return false;
        }
        for (std::size_t r = 0; r < x[i]->rows.size(); ++r) {
            if (x[i]->rows[r].frame != y[i]->rows[r].frame) return false;
        }
    }
    return true;
}

/// Read as a tracked layer's transform, whatever it resolves to carries the
/// matte at any frame into values the controls hold.
void CarryTheMatte(std::string_view content) {
    using namespace quorvel;
    KeyTextOptions options;
    options.track = std::string(kTrackTransform);
    Animation animation;
    try {
        animation.AddKeyText("fuzz.txt", content, options);
        animation.Resolve(fuzz::ModuleControls().params, fuzz::ModuleControls().effect_name);
    } catch (const ShotError&) {
        return;
    }
    sim::ParamSet params = fuzz::ModuleControls().params;
    for (double frame : {-1e12, 0.0, 0.5, 7.0, 1e12}) animation.Apply(frame, params);
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
    CarryTheMatte(content);
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
