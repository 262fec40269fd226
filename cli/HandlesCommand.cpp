#include <cmath>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/Commands.h"
#include "cli/ControlsFrame.h"
#include "cli/ViewOptions.h"
#include "shots/HandlePlaces.h"
#include "shots/Session.h"

namespace quorvel::cli {

namespace {

constexpr const char* kUsage = "handles [options]";

/// The handle a click at `point` grabs (0 for none), asked of the module.
A_intptr_t Grabbed(sim::Host& host, sim::ParamSet& params, PF_WindowType window, PF_Point point) {
    sim::EventRecord click(PF_Event_DO_CLICK, window);
    click.click().screen_point = point;
    if (const PF_Err err = host.Event(click, params)) {
        throw shots::ModuleFailure("the module's click event failed with error " + std::to_string(err));
    }
    return click.click().send_drag != 0 ? click.click().continue_refcon[0] : 0;
}

}  // namespace

int RunHandles(const ToolContext& ctx, const std::vector<std::string>& argv) {
    ControlsRequest request;
    bool json = false;
    frames::View view;
    CommandLine line(ctx, kUsage);
    AddControlsOptions(line, request, "handles", true);
    line.Group(OptionGroup::Output);
    line.Flag("json", "print one JSON object", json);
    AddViewOptions(line, view);
    if (!line.Parse(argv, std::cout)) return 0;

    // Only the layer's size and place matter to where the handles are.
    const std::unique_ptr<ControlsFrame> frame = OpenControlsFrame(ctx, request, false);
    sim::Host& host = frame->session().host();
    host.view() = view;
    sim::EventRecord draw(PF_Event_DRAW, view.window);
    if (const PF_Err err = host.Event(draw, frame->params())) {
        throw shots::ModuleFailure("the module's draw event failed with error " + std::to_string(err));
    }
    const std::vector<shots::DrawnHandle> handles = shots::DrawnHandles(host.drawing().strokes());
    if (handles.empty()) throw shots::ModuleFailure("the module's drawing holds none of its handles");

    struct Row {
        const shots::DrawnHandle* handle;
        PF_Point point;
        A_intptr_t grabs;
    };
    std::vector<Row> rows;
    for (const shots::DrawnHandle& handle : handles) {
        // A click is in whole pixels: the one nearest the drawing's middle.
        const PF_Point point{A_long(std::lround(handle.x)), A_long(std::lround(handle.y))};
        rows.push_back({&handle, point, Grabbed(host, frame->params(), view.window, point)});
    }
    frame->session().CheckHost();

    nlohmann::json listed = nlohmann::json::array();
    for (const Row& row : rows) {
        const std::string name = shots::HandleName(row.handle->number);
        if (row.grabs != row.handle->number) {
            std::cerr << "quorvel-host: note: a click at " << row.point.h << "," << row.point.v << ", on the " << name
                      << " handle, grabs "
                      << (row.grabs == 0 ? "none"
                                         : "the " + shots::HandleName(long(row.grabs)) + " handle, tried first")
                      << "\n";
        }
        if (json) {
            listed.push_back({{"handle", row.handle->number},
                              {"name", name},
                              {"x", row.point.h},
                              {"y", row.point.v},
                              {"grabs", row.grabs}});
        } else {
            std::printf("%2ld  %-19s  %d,%d\n", row.handle->number, name.c_str(), int(row.point.h), int(row.point.v));
        }
    }
    if (json) {
        nlohmann::json j;
        if (request.frame) j["frame"] = *request.frame;
        j["handles"] = listed;
        std::cout << j.dump() << "\n";
    }
    return 0;
}

}  // namespace quorvel::cli
