#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/Commands.h"
#include "cli/ControlsFrame.h"
#include "cli/RenderOptions.h"
#include "cli/ViewOptions.h"
#include "effect/Controls.h"
#include "numeric/FixedPoint.h"
#include "shots/HandlePlaces.h"
#include "shots/Keyframes.h"
#include "shots/OverlayPicture.h"
#include "shots/Session.h"
#include "shots/ValueText.h"

namespace quorvel::cli {

namespace {

constexpr const char* kUsage = "drag [options] --click H,V --to H,V [--to H,V ...]";

PF_Point ParsePoint(const std::string& option, const std::string& text) {
    const auto at = text.find(',');
    if (at == std::string::npos) throw UsageError("--" + option + ": expected H,V in whole pixels, got '" + text + "'");
    return PF_Point{shots::ParseInt(option, text.substr(0, at)), shots::ParseInt(option, text.substr(at + 1))};
}

/// What a click that grabbed nothing missed: the handle the module draws
/// nearest to it, asked of the module with a draw event.
std::string MissNote(sim::Host& host, sim::ParamSet& params, const frames::View& view, PF_Point click) {
    std::string note = "the click at " + std::to_string(click.h) + "," + std::to_string(click.v) + " grabbed no handle";
    sim::EventRecord draw(PF_Event_DRAW, view.window);
    if (host.Event(draw, params) != PF_Err_NONE) return note;
    const auto nearest = shots::Nearest(shots::DrawnHandles(host.drawing().strokes()), click.h, click.v);
    if (!nearest) return note;
    char distance[32];
    std::snprintf(distance, sizeof distance, "%.1f", nearest->distance);
    return note + ": the nearest is the " + shots::HandleName(nearest->handle.number) + " handle, " + distance +
           " window pixels away";
}

/// "--width 412 --height 230"
std::string Joined(const std::vector<std::string>& args) {
    std::string text;
    for (const std::string& arg : args) text += (text.empty() ? "" : " ") + arg;
    return text;
}

/// Clicks at `click` and, when the click grabbed a handle, drags along
/// `path`, releasing at its end. Returns the grabbed handle, 0 for none
/// (told on the standard error with what the click missed).
A_intptr_t ClickAndDrag(sim::Host& host, sim::ParamSet& params, const frames::View& view, PF_Point click,
                        const std::vector<PF_Point>& path) {
    sim::EventRecord event(PF_Event_DO_CLICK, view.window);
    event.click().screen_point = click;
    if (const PF_Err err = host.Event(event, params)) {
        throw shots::ModuleFailure("the module's click event failed with error " + std::to_string(err));
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
                throw shots::ModuleFailure("the module's drag event failed with error " + std::to_string(err));
            }
        }
    } else {
        std::cerr << "quorvel-host: " << MissNote(host, params, view, click) << "\n";
    }
    return handle;
}

/// What a drag left, to print: the handle it moved and what pastes into
/// render (the options, and on a frame of a shot the keys).
struct DragOutcome {
    std::optional<int> frame;
    A_intptr_t handle = 0;
    std::vector<std::string> options;
    std::vector<std::string> keys;
};

/// Every control's value after the drag and the outcome, as one JSON object.
void PrintJson(sim::ParamSet& params, const DragOutcome& drag) {
    const PF_Fixed angle = shots::ParamById(params, kIdAngle).u.ad.value;
    const PF_Fixed opacity = shots::ParamById(params, kIdOpacity).u.fd.value;
    const PF_PointDef& origin = shots::ParamById(params, kIdOrigin).u.td;
    nlohmann::json j;
    if (drag.frame) j["frame"] = *drag.frame;
    j["handle"] = drag.handle;
    j["mask_type"] = shots::ParamById(params, kIdMaskType).u.pd.value;
    j["composite"] = shots::ParamById(params, kIdCompositeMode).u.pd.value;
    j["falloff"] = shots::ParamById(params, kIdFalloff).u.pd.value;
    j["invert"] = shots::ParamById(params, kIdInvert).u.bd.value != 0;
    j["origin"] = nlohmann::json::array({DoubleFromFixed(origin.x_value), DoubleFromFixed(origin.y_value)});
    j["origin_fixed"] = nlohmann::json::array({origin.x_value, origin.y_value});
    j["width"] = shots::ParamById(params, kIdWidth).u.fs_d.value;
    j["height"] = shots::ParamById(params, kIdHeight).u.fs_d.value;
    j["angle"] = DoubleFromFixed(angle);
    j["angle_fixed"] = angle;
    j["feather"] = shots::ParamById(params, kIdFeather).u.fs_d.value;
    j["opacity"] = DoubleFromFixed(opacity);
    j["opacity_fixed"] = opacity;
    j["options"] = drag.options;
    if (drag.frame) j["keys"] = drag.keys;
    std::cout << j.dump() << "\n";
}

/// The drag's geometry and outcome for a person, a line each.
void PrintText(sim::ParamSet& params, const DragOutcome& drag) {
    const double w = shots::ParamById(params, kIdWidth).u.fs_d.value;
    const double h = shots::ParamById(params, kIdHeight).u.fs_d.value;
    const PF_Fixed angle = shots::ParamById(params, kIdAngle).u.ad.value;
    const double feather = shots::ParamById(params, kIdFeather).u.fs_d.value;
    const PF_Fixed opacity = shots::ParamById(params, kIdOpacity).u.fd.value;
    const PF_PointDef& origin = shots::ParamById(params, kIdOrigin).u.td;
    const std::string name = shots::HandleName(long(drag.handle));
    if (drag.frame) std::printf("frame    %d\n", *drag.frame);
    std::printf("handle   %ld (%s)\nwidth    %g\nheight   %g\nangle    %g degrees\nfeather  %g\nopacity  %g %%\n",
                long(drag.handle), name.c_str(), w, h, DoubleFromFixed(angle), feather, DoubleFromFixed(opacity));
    std::printf("origin   %s,%s\n", shots::NumberText(DoubleFromFixed(origin.x_value)).c_str(),
                shots::NumberText(DoubleFromFixed(origin.y_value)).c_str());
    // Whole lines to paste: nothing after the label when there is nothing to give.
    std::printf("options%s%s\n", drag.options.empty() ? "" : "  ", Joined(drag.options).c_str());
    if (drag.frame) std::printf("keys%s%s\n", drag.keys.empty() ? "" : "     ", Joined(drag.keys).c_str());
}

}  // namespace

int RunDrag(const ToolContext& ctx, const std::vector<std::string>& argv) {
    ControlsRequest request;
    std::optional<PF_Point> click;
    std::vector<std::string> to;
    bool json = false;
    std::optional<std::string> out;
    frames::View view;
    CommandLine line(ctx, kUsage);
    AddControlsOptions(line, request, "drag", true);
    line.Value("click", "H,V", "where the mouse goes down, in window pixels (required)",
               [&](const std::string& v) { click = ParsePoint("click", v); });
    line.Values("to", "H,V", "a drag position in window pixels; repeat for a path, the last one releases", to);
    line.Group(OptionGroup::Output);
    line.Flag("json", "print one JSON object", json);
    line.Value("out", "OUTPUT.png",
               "also save the window with the overlay after the drag (not in builds without the drawing library)",
               [&](const std::string& v) { out = v; });
    AddViewOptions(line, view);
    if (!line.Parse(argv, std::cout)) return 0;
    if (!click) throw UsageError("drag needs --click H,V");
    std::vector<PF_Point> path;
    for (const std::string& point : to) path.push_back(ParsePoint("to", point));
    if (path.empty()) throw UsageError("drag needs at least one --to H,V");
    if (out) shots::CheckOverlayPictureOutput(*out);

    // Without a picture to draw the test card's pixels are not needed, only its size.
    const std::unique_ptr<ControlsFrame> frame = OpenControlsFrame(ctx, request, out.has_value());
    shots::Session& session = frame->session();
    sim::ParamSet& params = frame->params();
    const ValueOptions before(params);
    sim::Host& host = session.host();
    host.view() = view;

    const A_intptr_t handle = ClickAndDrag(host, params, view, *click, path);
    session.CheckHost();

    // What pastes into render: the values unlike the module's defaults, and
    // for a shot, keys at the frame for what the drag changed.
    const ValueOptions after(params);
    DragOutcome drag{request.frame, handle, after.Options(ValueOptions(host.DefaultParams(frame->input()))), {}};
    if (request.frame) drag.keys = after.Keys(before, *request.frame);
    for (const std::string& note : after.clamped()) std::cerr << "quorvel-host: note: " << note << "\n";
    if (json) {
        PrintJson(params, drag);
    } else {
        PrintText(params, drag);
    }
    if (out) {
        const frames::World& input = frame->input();
        frames::World rendered(input.layout(), input.width(), input.height());
        session.Render(params, rendered);
        shots::WriteOverlayPicture(session, params, rendered, view, *out);
    }
    return 0;
}

}  // namespace quorvel::cli
