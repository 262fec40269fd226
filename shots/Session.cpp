#include "shots/Session.h"

#include "shots/ShotError.h"

namespace quorvel::shots {

Session::Session(const std::filesystem::path& module_path, const RenderSettings& settings, int layer_width,
                 int layer_height)
    : module_(std::in_place, module_path),
      settings_(settings),
      host_(module_->entry(), HostOptionsFor(settings, layer_width, layer_height)) {
    Setup();
}

Session::Session(PF_FilterProc entry, const RenderSettings& settings, int layer_width, int layer_height)
    : settings_(settings), host_(entry, HostOptionsFor(settings, layer_width, layer_height)) {
    Setup();
}

LayerPlace LayerPlaceOf(const frames::World& frame, const imagefiles::ImageFormat* format) {
    if (format == nullptr) return LayerPlace{0, 0, frame.width(), frame.height()};
    return LayerPlace{format->layer_x, format->layer_y, format->layer_width, format->layer_height};
}

void Session::Place(const LayerPlace& place) {
    host_.options().layer_x = place.x;
    host_.options().layer_y = place.y;
}

LayerPlace Session::place() const {
    const sim::Host::Options& o = host_.options();
    return LayerPlace{o.layer_x, o.layer_y, o.layer_width, o.layer_height};
}

void Session::Setup() {
    if (const PF_Err err = host_.GlobalSetup()) {
        throw ModuleFailure("global setup failed with error " + std::to_string(err));
    }
    if (const PF_Err err = host_.ParamsSetup()) {
        throw ModuleFailure("parameter setup failed with error " + std::to_string(err));
    }
}

sim::ParamSet Session::Params(const frames::World& input) const {
    sim::ParamSet params = host_.DefaultParams(input);
    ApplyParams(settings_, params);
    return params;
}

void Session::Render(sim::ParamSet& params, frames::World& output) {
    if (settings_.app == sim::HostApp::Premiere)
        host_.SetWorldFormat(output.def(), frames::PremiereFormat(output.layout()));
    if (const PF_Err err = host_.Render(params, output)) {
        std::string message = "the module's render failed with error " + std::to_string(err);
        if (host_.out_data().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE) {
            message += ": " + std::string(host_.out_data().return_msg);
        }
        throw ModuleFailure(message);
    }
    CheckHost();
}

void Session::CheckHost() const {
    if (!host_.problems().empty()) {
        throw ModuleFailure(
            "host check: " + host_.problems().front() +
            (host_.problems().size() > 1 ? " (and " + std::to_string(host_.problems().size() - 1) + " more)" : ""));
    }
}

PF_ParamDef& ParamById(sim::ParamSet& params, A_long id) {
    const int index = params.IndexOfId(id);
    if (index < 0) throw ModuleFailure("the module registered no control with id " + std::to_string(id));
    return params[index];
}

}  // namespace quorvel::shots
