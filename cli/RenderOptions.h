/// The render options shared by every command that renders a frame: which
/// host and depth, the effect's parameters as users think of them, and the
/// host's scale factors, declared straight into the engine's settings.
#pragma once

#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "shots/RenderSettings.h"
#include "simhost/ParamSet.h"

namespace quorvel::cli {

void AddRenderOptions(CommandLine& line, shots::RenderSettings& settings);

/// The controls' values in a parameter array as the render options and
/// keys that set them: what pastes into render to give a frame those
/// values. A slider's value outside its range is given clamped to it, as
/// the host's control holds it.
class ValueOptions {
public:
    explicit ValueOptions(const sim::ParamSet& params);

    /// The options of the controls whose values differ from `other`'s (of
    /// the same module), in the module's order: "--width", "412", "--origin",
    /// "964,512"...
    std::vector<std::string> Options(const ValueOptions& other) const;
    /// "--key", "width@1024=412"... for the animatable ones among them.
    std::vector<std::string> Keys(const ValueOptions& other, int frame) const;
    /// What was clamped, a line each: "opacity 110 is outside ...".
    const std::vector<std::string>& clamped() const { return clamped_; }

private:
    struct Control {
        std::string name;  ///< as the options spell it
        std::string text;  ///< the option's value; "on" or "off" for a flag
        bool flag = false;
        bool animatable = false;
    };
    std::vector<Control> controls_;
    std::vector<std::string> clamped_;
};

}  // namespace quorvel::cli
