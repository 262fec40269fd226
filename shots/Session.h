/// One run of the module in the simulated host: the module loaded, global
/// and parameter setup done, and the parameter array at the settings' values.
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "imagefiles/ImageFormat.h"
#include "modulefiles/ModuleFile.h"
#include "shots/RenderSettings.h"
#include "simhost/Host.h"
#include "simhost/ParamSet.h"

namespace quorvel::shots {

/// The module answered a command with an error: reported as one line, exit status 1.
class ModuleFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Where the layer sits in a frame handed to the module: the display window
/// of an image file whose data window reaches beyond it, else the frame.
struct LayerPlace {
    int x = 0, y = 0;
    int width = 0, height = 0;
};

LayerPlace LayerPlaceOf(const frames::World& frame, const imagefiles::ImageFormat* format);

class Session {
public:
    Session(const std::filesystem::path& module_path, const RenderSettings& settings, int layer_width,
            int layer_height);
    /// Another effect instance over a module the caller keeps loaded: each
    /// has its own host records, so instances may render on different
    /// threads at once.
    Session(PF_FilterProc entry, const RenderSettings& settings, int layer_width, int layer_height);

    sim::Host& host() { return host_; }
    /// Renders that follow place the layer (of the size the session was
    /// made for) at `place` in their frames.
    void Place(const LayerPlace& place);
    /// Where renders place the layer now, and its size.
    LayerPlace place() const;
    /// Default values for `input`, then the settings' values.
    sim::ParamSet Params(const frames::World& input) const;
    /// Renders `input` into `output` (same layout and size).
    void Render(sim::ParamSet& params, frames::World& output);
    /// Throws ModuleFailure when the host saw the module break a rule
    /// (a suite kept, an object leaked).
    void CheckHost() const;

private:
    void Setup();

    std::optional<modulefiles::LoadedModule> module_;
    RenderSettings settings_;
    sim::Host host_;
};

/// Reads a parameter by persistent id from the array.
PF_ParamDef& ParamById(sim::ParamSet& params, A_long id);

}  // namespace quorvel::shots
