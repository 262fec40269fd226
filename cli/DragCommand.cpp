#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "Commands.h"
#include "ModuleOption.h"
#include "OverlayPicture.h"
#include "Parse.h"
#include "RenderSettings.h"
#include "Session.h"
#include "TestCard.h"
#include "ViewSettings.h"

namespace quorvel::cli {

namespace {

std::vector<OptionDef> OptionDefs() {
    std::vector<OptionDef> defs = {
        ModuleOptionDef(),
        {"size", "WxH", "the layer's size (default 1920x1080)"},
        {"click", "H,V", "where the mouse goes down, in window pixels (required)"},
        {"to", "H,V", "a drag position in window pixels; repeat for a path, the last one releases", true},
        {"json", "", "print one JSON object"},
        {"out", "OUTPUT.png",
         "also save the window with the overlay after the drag (not in builds without the drawing library)"},
    };
    for (OptionDef& def : RenderOptionDefs()) defs.push_back(std::move(def));
    for (OptionDef& def : ViewOptionDefs()) defs.push_back(std::move(def));
    defs.push_back({"help", "", "show this help"});
    return defs;
}

constexpr const char* kUsage =
    "usage: quorvel-host drag [params] [--host ae|premiere] [--window comp|layer] [--size WxH]\n"
    "                         [view options] --click H,V --to H,V [--to H,V ...] [--json]\n"
    "\n"
    "Replays a mouse drag on the module's on-screen controls: one click at --click,\n"
    "then one drag event per --to, the last marked as the mouse release. Prints\n"
    "which handle the click grabbed (0 for none) and the parameter values after\n"
    "the drag.\n\n";

constexpr const char* kHandleNames[] = {"none",          "top-left corner",    "top-right corner",
                                        "bottom-left corner", "bottom-right corner", "rotation",
                                        "left feather",  "right feather",      "top feather",
                                        "bottom feather", "opacity"};

PF_Point ParsePoint(const std::string& option, const std::string& text) {
    const auto at = text.find(',');
    if (at == std::string::npos) throw UsageError("--" + option + ": expected H,V in whole pixels, got '" + text + "'");
    return PF_Point{ParseInt(option, text.substr(0, at)), ParseInt(option, text.substr(at + 1))};
}

}  // namespace

int RunDrag(const ToolContext& ctx, const std::vector<std::string>& argv) {
    const std::vector<OptionDef> defs = OptionDefs();
    const Args args(argv, defs);
    if (args.Has("help")) {
        std::cout << kUsage << OptionsHelp(defs);
        return 0;
    }
    if (!args.positional().empty()) throw UsageError("unexpected argument '" + args.positional().front() + "'");
    const auto click_text = args.Get("click");
    if (!click_text) throw UsageError("drag needs --click H,V");
    const PF_Point click = ParsePoint("click", *click_text);
    std::vector<PF_Point> path;
    for (const std::string& to : args.GetAll("to")) path.push_back(ParsePoint("to", to));
    if (path.empty()) throw UsageError("drag needs at least one --to H,V");
    const auto [width, height] = ParseSize("size", args.Get("size").value_or("1920x1080"));
    const RenderSettings settings = ParseRenderSettings(args);
    const sim::View view = ParseView(args);
    const auto out = args.Get("out");
    if (out) CheckOverlayPictureOutput(*out);

    Session session(ResolveModulePath(ctx.argv0, args), settings, width, height);
    sim::World layer = out ? sim::MakeTestCard(settings.layout, width, height) : sim::World(settings.layout, width, height);
    sim::ParamSet params = session.Params(layer);
    sim::Host& host = session.host();
    host.view() = view;

    sim::EventRecord event(PF_Event_DO_CLICK, view.window);
    event.click().screen_point = click;
    if (const PF_Err err = host.Event(event, params)) {
        throw ModuleFailure("the module's click event failed with error " + std::to_string(err));
    }
    // The host sends drags only when the click asked for them.
    const bool grabbed = event.click().send_drag != 0;
    const A_intptr_t handle = grabbed ? event.click().continue_refcon[0] : 0;
    if (grabbed) {
        for (std::size_t i = 0; i < path.size(); ++i) {
            event.extra().e_type = PF_Event_DRAG;
            event.click().screen_point = path[i];
            event.click().last_time = i + 1 == path.size();
            if (const PF_Err err = host.Event(event, params)) {
                throw ModuleFailure("the module's drag event failed with error " + std::to_string(err));
            }
        }
    }
    session.CheckHost();

    const double w = ParamById(params, 3).u.fs_d.value;
    const double h = ParamById(params, 4).u.fs_d.value;
    const PF_Fixed angle = ParamById(params, 5).u.ad.value;
    const double feather = ParamById(params, 6).u.fs_d.value;
    const PF_Fixed opacity = ParamById(params, 7).u.fd.value;
    if (args.Has("json")) {
        nlohmann::json j;
        j["handle"] = handle;
        j["width"] = w;
        j["height"] = h;
        j["angle"] = angle / 65536.0;
        j["angle_fixed"] = angle;
        j["feather"] = feather;
        j["opacity"] = opacity / 65536.0;
        j["opacity_fixed"] = opacity;
        std::cout << j.dump() << "\n";
    } else {
        const char* name = handle >= 0 && handle <= 10 ? kHandleNames[handle] : "unknown";
        std::printf("handle   %ld (%s)\nwidth    %g\nheight   %g\nangle    %g degrees\nfeather  %g\nopacity  %g %%\n",
                    long(handle), name, w, h, angle / 65536.0, feather, opacity / 65536.0);
    }
    if (out) {
        sim::World frame(settings.layout, width, height);
        session.Render(params, frame);
        WriteOverlayPicture(session, params, frame, view, *out);
    }
    return 0;
}

}  // namespace quorvel::cli
