#include <fstream>
#include <iostream>
#include <tuple>

#include "cli/Commands.h"
#include "cli/KeyOptions.h"
#include "cli/ModuleOption.h"
#include "cli/SettingFlags.h"
#include "frames/HostError.h"
#include "imagefiles/AtomicFile.h"
#include "modulefiles/ModuleFile.h"
#include "shots/Session.h"
#include "shots/ValueText.h"

namespace quorvel::cli {

namespace {

constexpr const char* kUsage = "keys [options] (--key NAME@FRAME=VALUE ... | --keys FILE)";

}  // namespace

int RunKeys(const ToolContext& ctx, const std::vector<std::string>& argv) {
    std::optional<std::string> module_path;
    KeyChoice keys;
    shots::KeyTextSettings settings;
    std::optional<std::string> out;
    CommandLine line(ctx, kUsage);
    AddModuleOption(line, module_path);
    AddKeyOptions(line, keys);
    bool fps_given = false;
    line.Group(OptionGroup::Shot);
    line.Value("fps", "RATE",
               "frames per second of the keys' frames, written as Units Per Second (default: keyframe text's own, "
               "else 24)",
               [&](const std::string& v) {
                   settings.rate = shots::ParseFrameRate("fps", v);
                   fps_given = true;
               });
    line.Group(OptionGroup::Input);
    line.Value("size", "WxH", "the layer's size, written as Source Width and Height (default 1920x1080)",
               [&](const std::string& v) {
                   std::tie(settings.source_width, settings.source_height) = shots::ParseSize("size", v);
               });
    line.Value("par", "N/D", "the layer's pixel aspect ratio, written for source and comp (default 1/1)",
               [&](const std::string& v) {
                   const PF_RationalScale par = shots::ParseRational("par", v);
                   settings.pixel_aspect = double(par.num) / double(par.den);
               });
    line.Group(OptionGroup::Output);
    line.Value("out", "FILE", "write the text to FILE instead of stdout", [&](const std::string& v) { out = v; });
    if (!line.Parse(argv, std::cout)) return 0;
    if (keys.track == shots::kTrackTransform) {
        // The carried matte is the render options' shape, which keys has none of.
        throw UsageError(
            "--track transform carries the matte the render options give: use it with render (--dry-run "
            "shows every frame's values)");
    }
    // Without --fps, keyframe text keeps its own clock: whole frames stay whole.
    shots::Animation animation = ReadAnimation(keys, settings.rate, std::nullopt, !fps_given);
    if (!fps_given) {
        if (const std::optional<double> data_rate = animation.DataRate()) {
            settings.rate = shots::NearestFrameRate(*data_rate);
        }
    }
    if (animation.empty()) throw UsageError("keys needs keys to write: --key NAME@FRAME=VALUE or --keys FILE");

    const modulefiles::LoadedModule module(ResolveModulePath(ctx.argv0, module_path));
    sim::Host host(module.entry(), sim::Host::Options{});
    if (const PF_Err err = host.GlobalSetup())
        throw shots::ModuleFailure("global setup failed with error " + std::to_string(err));
    if (const PF_Err err = host.ParamsSetup()) {
        throw shots::ModuleFailure("parameter setup failed with error " + std::to_string(err));
    }
    // The layer's pixels play no part: only the controls and the layer's size do.
    const sim::ParamSet params(host.registered_params(), PF_EffectWorld{}, settings.source_width,
                               settings.source_height);
    settings.effect_name = shots::EffectDisplayName(module.descriptor());
    animation.Resolve(params, settings.effect_name);
    for (const frames::Message& note : animation.Notes()) Say(note);
    const std::string text = shots::WriteKeyText(shots::AnimationKeyText(animation, params, settings));

    if (out) {
        imagefiles::WriteAtomically(*out, [&](const std::filesystem::path& temp) {
            std::ofstream file(temp, std::ios::binary);
            file << text;
            file.close();
            if (!file) throw frames::HostError("cannot write " + *out);
        });
        std::cout << "wrote " << *out << " (" << animation.KeyedNames().size() << " keyed controls)\n";
    } else {
        std::cout << text;
    }
    return ReportHostProblems(host) ? 1 : 0;
}

}  // namespace quorvel::cli
