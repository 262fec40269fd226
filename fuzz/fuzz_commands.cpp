// Fuzz target: decodes its input into a sequence of host commands with
// arbitrary parameter values, scale factors, frame shapes and host faults,
// sends them through the module's entry point, and checks after each one
// that the module answered with a code it may give, handed back every suite
// and drawing object, and wrote nothing outside the output frame.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "modulefiles/ModuleFile.h"
#include "simhost/Host.h"

namespace {

using namespace quorvel::frames;
using namespace quorvel::modulefiles;
using namespace quorvel::sim;

[[noreturn]] void Finding(const std::string& what) {
    std::fprintf(stderr, "FINDING: %s\n", what.c_str());
    std::abort();
}

const LoadedModule& Module() {
    static const LoadedModule module(QUORVEL_MODULE_PATH);
    return module;
}

/// The definitions the module registers, taken once from a host without faults.
const std::vector<PF_ParamDef>& Registered() {
    static const std::vector<PF_ParamDef> defs = [] {
        Host host(Module().entry());
        host.GlobalSetup();
        host.ParamsSetup();
        return host.registered_params();
    }();
    return defs;
}

const char* const kSuites[] = {kPFANSISuite,       kPFPixelFormatSuite,    kPFIterate8Suite,
                               kPFIterate16Suite,  kPFEffectCustomUISuite, kPFEffectCustomUIOverlayThemeSuite,
                               kDRAWBOT_DrawSuite, kDRAWBOT_SupplierSuite, kDRAWBOT_SurfaceSuite,
                               kDRAWBOT_PathSuite};

const char* const kCalls[] = {"add_param",
                              "register_ui",
                              "GetPixelFormat",
                              "iterate8",
                              "iterate16",
                              "PF_GetDrawingReference",
                              "GetSupplier",
                              "GetSurface",
                              "NewPen",
                              "NewPath",
                              "ReleaseObject",
                              "MoveTo",
                              "LineTo",
                              "AddArc",
                              "Close",
                              "StrokePath",
                              "PF_StrokePath",
                              "AcquireSuite",
                              "ClearSupportedPixelFormats",
                              "AddSupportedPixelFormat"};

double HostileDouble(FuzzedDataProvider& in) {
    static const double kSpecial[] = {0.0,
                                      -0.0,
                                      1.0,
                                      0.5,
                                      -1.0,
                                      300.0,
                                      15000.0,
                                      1e300,
                                      -1e300,
                                      std::numeric_limits<double>::denorm_min(),
                                      std::numeric_limits<double>::infinity(),
                                      -std::numeric_limits<double>::infinity(),
                                      std::numeric_limits<double>::quiet_NaN(),
                                      2147483648.0,
                                      65536.0 * 65536.0};
    switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0:
            return in.PickValueInArray(kSpecial);
        case 1:
            return in.ConsumeFloatingPointInRange(-40000.0, 40000.0);
        default: {
            double d;
            const auto bytes = in.ConsumeBytes<std::uint8_t>(sizeof d);
            std::uint8_t raw[sizeof d] = {};
            if (!bytes.empty()) std::memcpy(raw, bytes.data(), bytes.size());
            std::memcpy(&d, raw, sizeof d);
            return d;
        }
    }
}

A_long HostileInt(FuzzedDataProvider& in) {
    static const A_long kSpecial[] = {0, 1, 2, 3, 4, 5, 6, 7, -1, 0x10000, 0x320000, 0x640000, INT32_MAX, INT32_MIN};
    return in.ConsumeBool() ? in.PickValueInArray(kSpecial) : in.ConsumeIntegral<A_long>();
}

PF_RationalScale HostileRational(FuzzedDataProvider& in) {
    if (in.ConsumeBool()) return {in.ConsumeIntegralInRange<A_long>(1, 4), in.ConsumeIntegralInRange<A_u_long>(1, 4)};
    return {HostileInt(in), in.ConsumeIntegral<A_u_long>()};
}

void FuzzParams(FuzzedDataProvider& in, ParamSet& params) {
    const int edits = in.ConsumeIntegralInRange(0, 12);
    for (int i = 0; i < edits && params.size() > 1; ++i) {
        PF_ParamDef& def = params[in.ConsumeIntegralInRange(1, params.size() - 1)];
        switch (def.param_type) {
            case PF_Param_POPUP:
                def.u.pd.value = HostileInt(in);
                break;
            case PF_Param_CHECKBOX:
                def.u.bd.value = HostileInt(in);
                break;
            case PF_Param_FLOAT_SLIDER:
                def.u.fs_d.value = HostileDouble(in);
                break;
            case PF_Param_ANGLE:
                def.u.ad.value = HostileInt(in);
                break;
            case PF_Param_FIX_SLIDER:
                def.u.fd.value = HostileInt(in);
                break;
            case PF_Param_POINT:
                def.u.td.x_value = HostileInt(in);
                def.u.td.y_value = HostileInt(in);
                break;
            default:
                break;
        }
    }
}

/// What a planned fault may legitimately turn into: the codes injected,
/// plus the module's own.
struct Plan {
    std::set<PF_Err> codes = {PF_Err_NONE, PF_Err_BAD_CALLBACK_PARAM, PF_Err_INVALID_CALLBACK};
    bool release_fails = false;
};

Plan FuzzFaults(FuzzedDataProvider& in, FaultPlan& faults) {
    Plan plan;
    const int n = in.ConsumeIntegralInRange(0, 3);
    for (int i = 0; i < n; ++i) {
        switch (in.ConsumeIntegralInRange(0, 4)) {
            case 0:
                faults.MissingSuite(in.PickValueInArray(kSuites));
                break;
            case 1:
                faults.NullSuite(in.PickValueInArray(kSuites));
                break;
            case 2: {
                const std::string call = in.PickValueInArray(kCalls);
                const PF_Err code = in.ConsumeIntegralInRange<PF_Err>(1, 100000);
                faults.FailCall(call, in.ConsumeIntegralInRange(0, 12), code);
                plan.codes.insert(code);
                plan.release_fails |= call == "ReleaseObject";
                break;
            }
            case 3:
                faults.NoBasicSuite();
                break;
            default:
                faults.NullDrawingReference();
                break;
        }
    }
    return plan;
}

void CheckProblems(Host& host, const Plan& plan, const char* what) {
    for (const std::string& p : host.problems()) {
        // A failed release leaves its object with the host, by design.
        if (plan.release_fails && p.find("never released") != std::string::npos) continue;
        Finding(std::string(what) + ": " + p);
    }
    host.ClearProblems();
}

void CheckCode(PF_Err err, const Plan& plan, std::initializer_list<PF_Err> also, const char* what) {
    if (plan.codes.count(err) != 0) return;
    for (PF_Err ok : also) {
        if (err == ok) return;
    }
    Finding(std::string(what) + " returned " + std::to_string(err));
}

PixelLayout ConsumeLayout(FuzzedDataProvider& in, bool premiere) {
    const bool deep = in.ConsumeBool();
    if (premiere) return deep ? PixelLayout::BGRA32f : PixelLayout::BGRA8;
    return deep ? PixelLayout::ARGB16 : PixelLayout::ARGB8;
}

/// Fills the whole buffer, padding included, with a pattern, and checks that
/// only pixel bytes of rows the module may write changed.
void CheckOutsideUntouched(const World& w, std::uint8_t pattern, const char* what) {
    const std::size_t pixel_bytes = std::size_t(w.width()) * BytesPerPixel(w.layout());
    for (int y = 0; y < w.height(); ++y) {
        for (std::size_t i = pixel_bytes; i < w.rowbytes(); ++i) {
            if (w.Row(y)[i] != pattern) Finding(std::string(what) + ": wrote into row padding");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::vector<PF_ParamDef>& registered = Registered();

    Host::Options options;
    const bool premiere = in.ConsumeBool();
    options.app = premiere ? HostApp::Premiere : HostApp::AfterEffects;
    options.threads = in.ConsumeIntegralInRange(1, 3);
    options.downsample_x = HostileRational(in);
    options.downsample_y = HostileRational(in);
    options.pixel_aspect_ratio = HostileRational(in);
    options.layer_width = in.ConsumeIntegralInRange(0, 64);
    options.layer_height = in.ConsumeIntegralInRange(0, 64);
    Host host(Module().entry(), options);
    const Plan plan = FuzzFaults(in, host.faults());

    World layer(ConsumeLayout(in, premiere), options.layer_width, options.layer_height);
    ParamSet params(registered, *layer.def(), options.layer_width, options.layer_height);
    EventRecord event(PF_Event_DRAW, PF_Window_COMP);

    const int commands = in.ConsumeIntegralInRange(1, 6);
    for (int c = 0; c < commands && in.remaining_bytes() > 0; ++c) {
        FuzzParams(in, params);
        switch (in.ConsumeIntegralInRange(0, 7)) {
            case 0:
                CheckCode(host.GlobalSetup(), plan, {}, "global setup");
                break;
            case 1:
                CheckCode(host.ParamsSetup(), plan, {}, "params setup");
                break;
            case 2:
                CheckCode(host.About(), plan, {}, "about");
                break;
            case 3: {
                const PixelLayout layout = ConsumeLayout(in, premiere);
                const int w = in.ConsumeIntegralInRange(0, 48);
                const int h = in.ConsumeIntegralInRange(0, 48);
                const int pad = in.ConsumeIntegralInRange(0, 3) * int(BytesPerPixel(layout));
                World input(layout, w, h, pad);
                World output(layout, w, h, pad);
                for (std::size_t i = 0; i < input.bytes().size(); ++i) input.bytes()[i] = std::uint8_t(i * 131 + 7);
                output.Fill(0xC3);
                const std::vector<std::uint8_t> input_before(input.bytes().begin(), input.bytes().end());
                // Extent hints: mostly around the frame (inside, empty, inverted,
                // taller than it), sometimes anything at all.
                const bool wild = in.ConsumeIntegralInRange(0, 7) == 0;
                const A_long top = wild ? HostileInt(in) : in.ConsumeIntegralInRange(-4, h + 4);
                const A_long bottom = wild ? HostileInt(in) : in.ConsumeIntegralInRange(-4, h + 4);
                output.SetExtentHint({0, top, w, bottom});
                if (premiere) {
                    const PrPixelFormat formats[] = {PremiereFormat(layout), PremiereFormat(layout), 0x12345678};
                    host.SetWorldFormat(output.def(), in.PickValueInArray(formats));
                }
                params.SetLayer(*input.def());
                const PF_Err err = host.Render(params, output);
                CheckCode(err, plan, {PF_Err_UNRECOGNIZED_PARAM_TYPE}, "render");
                if (!std::ranges::equal(input.bytes(), input_before)) Finding("render wrote into the input frame");
                CheckOutsideUntouched(output, 0xC3, "render");
                params.SetLayer(*layer.def());
                break;
            }
            default: {
                static const PF_EventType kTypes[] = {PF_Event_DRAW, PF_Event_DO_CLICK, PF_Event_DRAG, PF_Event_IDLE};
                static const PF_WindowType kWindows[] = {PF_Window_COMP, PF_Window_LAYER, PF_Window_EFFECT};
                event.extra().e_type = in.PickValueInArray(kTypes);
                (*event.extra().contextH)->w_type = in.PickValueInArray(kWindows);
                PF_DoClickEventInfo& click = event.click();
                click.screen_point = {HostileInt(in) >> in.ConsumeIntegralInRange(0, 31),
                                      HostileInt(in) >> in.ConsumeIntegralInRange(0, 31)};
                if (in.ConsumeBool()) click.continue_refcon[0] = in.ConsumeIntegralInRange<A_intptr_t>(-2, 12);
                click.send_drag = in.ConsumeBool();
                click.last_time = in.ConsumeBool();
                View& view = host.view();
                view.zoom = in.ConsumeBool() ? 1.0 : HostileDouble(in);
                view.pan_x = in.ConsumeBool() ? 0.0 : HostileDouble(in);
                view.layer_scale = in.ConsumeBool() ? 1.0 : HostileDouble(in);
                World output(layer.layout(), 1, 1);
                const PF_Err err = host.Event(event, params, &output);
                CheckCode(err, plan, {}, "event");
                for (int i = 4; i <= 8; ++i) {
                    const PF_ParamDef& d = params[i];
                    if (d.param_type == PF_Param_FLOAT_SLIDER && !std::isfinite(d.u.fs_d.value) &&
                        d.uu.change_flags == PF_ChangeFlag_CHANGED_VALUE) {
                        Finding("a drag wrote a non-finite value");
                    }
                }
                break;
            }
        }
        CheckProblems(host, plan, "command");
    }
    return 0;
}
