#include "KeysCommand.h"

#include <fstream>
#include <iostream>
#include <tuple>

#include "AtomicFile.h"
#include "Commands.h"
#include "HostError.h"
#include "ModuleOption.h"
#include "Parse.h"
#include "Session.h"

namespace quorvel::cli {

namespace {

/// The options that only make sense for keyframe text.
constexpr const char* kKeyTextOnly[] = {"keys-start", "strict-timing", "track", "track-block", "track-offset"};

std::vector<OptionDef> OptionDefs() {
    std::vector<OptionDef> defs = {ModuleOptionDef()};
    for (OptionDef& def : KeyOptionDefs()) defs.push_back(std::move(def));
    defs.push_back({"fps", "RATE", "frames per second of the keys' frames, written as Units Per Second (default 24)"});
    defs.push_back({"size", "WxH", "the layer's size, written as Source Width and Height (default 1920x1080)"});
    defs.push_back({"par", "N/D", "the layer's pixel aspect ratio, written for source and comp (default 1/1)"});
    defs.push_back({"out", "FILE", "write the text to FILE instead of stdout"});
    defs.push_back({"help", "", "show this help"});
    return defs;
}

constexpr const char* kUsage =
    "usage: quorvel-host keys [--module PATH] (--key NAME@FRAME=VALUE[:INTERP] ... | --keys FILE) [options]\n"
    "\n"
    "Prints the animation the keys give as the keyframe text the compositing\n"
    "host copies and pastes, ready to paste onto the effect: a header (Units Per\n"
    "Second from --fps, Source Width and Height from --size, pixel aspect ratios\n"
    "from --par), a block for each keyed control, named as the module registers\n"
    "it with the index the host shows (Effects, VT Quorvel #1, Width #4), the\n"
    "control's unit (pixels, degrees, percent), and a row a key. The host's rows\n"
    "are linear keys: eased keys are written as a row at every whole frame of\n"
    "their segments, held keys with a row at the last whole frame of the hold,\n"
    "so every whole frame keeps its value. Frames are the keys' own; keyframe\n"
    "text read with --keys keeps its times unless --keys-start moves its first\n"
    "frame. Loads the module for its controls; reads no image.\n"
    "\n"
    "    quorvel-host keys --key width@0=300 --key width@48=900 --key opacity@0=100:hold \\\n"
    "        --key opacity@24=0 --fps 24 --size 1920x1080\n\n";

double AspectOf(const Args& args) {
    const auto v = args.Get("par");
    if (!v) return 1.0;
    const PF_RationalScale par = ParseRational("par", *v);
    return double(par.num) / double(par.den);
}

}  // namespace

std::vector<OptionDef> KeyOptionDefs() {
    return {
        {"key", "NAME@FRAME=VALUE[:INTERP]", "a keyframe; repeat for more (INTERP linear, hold or ease)", true},
        {"keys", "FILE", "keyframes from a JSON file or the hosts' keyframe text"},
        {"keys-start", "FRAME", "keyframe text: the frame its first frame lands on"},
        {"strict-timing", "", "keyframe text: refuse data at another rate than --fps instead of converting it"},
        {"track", "CONTROL", "keyframe text: the point control (origin) its point track drives"},
        {"track-block", "PATH", "keyframe text: which point track, by path, such as 'Transform / Position'"},
        {"track-offset", "X,Y", "keyframe text: added to every tracked point"},
    };
}

Animation ReadAnimation(const Args& args, const FrameRate& rate, std::optional<double> default_start) {
    Animation animation;
    for (const std::string& key : args.GetAll("key")) animation.AddKeyOption(key);
    KeyTextOptions options;
    options.rate = rate;
    options.start = default_start;
    if (const auto v = args.Get("keys-start")) options.start = ParseNumber("keys-start", *v);
    options.strict_timing = args.Has("strict-timing");
    options.track = args.Get("track");
    options.track_block = args.Get("track-block");
    if (const auto v = args.Get("track-offset")) options.track_offset = ParsePair("track-offset", *v);
    if (const auto file = args.Get("keys")) animation.AddKeyFile(*file, options);
    if (!animation.HasKeyText()) {
        for (const char* option : kKeyTextOnly) {
            if (args.Has(option)) {
                throw UsageError(std::string("--") + option +
                                 " applies to keyframe text: --keys FILE holding the hosts' keyframe data");
            }
        }
    }
    return animation;
}

int RunKeys(const ToolContext& ctx, const std::vector<std::string>& argv) {
    const std::vector<OptionDef> defs = OptionDefs();
    const Args args(argv, defs);
    if (args.Has("help")) {
        std::cout << kUsage << OptionsHelp(defs);
        return 0;
    }
    if (!args.positional().empty()) throw UsageError("unexpected argument '" + args.positional().front() + "'");
    KeyTextSettings settings;
    if (const auto v = args.Get("fps")) settings.rate = ParseFrameRate("fps", *v);
    if (const auto v = args.Get("size"))
        std::tie(settings.source_width, settings.source_height) = ParseSize("size", *v);
    settings.pixel_aspect = AspectOf(args);
    Animation animation = ReadAnimation(args, settings.rate, std::nullopt);
    if (animation.empty()) throw UsageError("keys needs keys to write: --key NAME@FRAME=VALUE or --keys FILE");

    const sim::LoadedModule module(ResolveModulePath(ctx.argv0, args));
    sim::Host host(module.entry(), sim::Host::Options{});
    if (const PF_Err err = host.GlobalSetup())
        throw ModuleFailure("global setup failed with error " + std::to_string(err));
    if (const PF_Err err = host.ParamsSetup()) {
        throw ModuleFailure("parameter setup failed with error " + std::to_string(err));
    }
    // The layer's pixels play no part: only the controls and the layer's size do.
    const sim::ParamSet params(host.registered_params(), PF_EffectWorld{}, settings.source_width,
                               settings.source_height);
    settings.effect_name = EffectDisplayName(module.descriptor());
    animation.Resolve(params, settings.effect_name);
    for (const std::string& note : animation.Notes()) std::cerr << "quorvel-host: " << note << "\n";
    const std::string text = WriteKeyText(AnimationKeyText(animation, params, settings));

    if (const auto out = args.Get("out")) {
        sim::WriteAtomically(*out, [&](const std::filesystem::path& temp) {
            std::ofstream file(temp, std::ios::binary);
            file << text;
            file.close();
            if (!file) throw UsageError("cannot write " + *out);
        });
        std::cout << "wrote " << *out << " (" << animation.KeyedNames().size() << " keyed controls)\n";
    } else {
        std::cout << text;
    }
    return ReportHostProblems(host) ? 1 : 0;
}

}  // namespace quorvel::cli
