#include "simhost/Host.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "frames/Poison.h"
#include "numeric/FixedPoint.h"
#include "simhost/Forbidden_pvt.h"
#include "simhost/HostSuites_pvt.h"
#include "simhost/Iterate_pvt.h"

namespace quorvel::sim {

namespace {

thread_local Host* t_current = nullptr;

/// Values the host puts in the records it hands over: its version of the
/// interface, its own id, a context's magic and the layer's timing.
constexpr PF_SpecVersion kSpecVersion{13, 28};
constexpr A_long kCompositingHostId = 0x46584354;  // 'FXTC'; anything but 'PrMr'
constexpr A_u_long kContextMagic = 0x434E5458;     // 'CNTX'
constexpr A_long kLayerSeconds = 10;
constexpr PF_Fixed kShutterAngle = FixedFromWholeSaturating(180);
constexpr PF_Fixed kShutterPhase = FixedFromWholeSaturating(-90);

/// Makes `host` the one the function tables reach for the length of a command.
class CurrentHostScope {
public:
    explicit CurrentHostScope(Host* host) : previous_(t_current) { t_current = host; }
    ~CurrentHostScope() { t_current = previous_; }
    CurrentHostScope(const CurrentHostScope&) = delete;
    CurrentHostScope& operator=(const CurrentHostScope&) = delete;

private:
    Host* previous_;
};

std::string Hex(A_u_long v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", v);
    return buf;
}

std::string KeyText(const SuiteKey& key) { return "\"" + key.first + "\" v" + std::to_string(key.second); }

const char* CommandName(PF_Cmd cmd) {
    switch (cmd) {
        case PF_Cmd_ABOUT:
            return "ABOUT";
        case PF_Cmd_GLOBAL_SETUP:
            return "GLOBAL_SETUP";
        case PF_Cmd_PARAMS_SETUP:
            return "PARAMS_SETUP";
        case PF_Cmd_RENDER:
            return "RENDER";
        case PF_Cmd_EVENT:
            return "EVENT";
        default:
            return "command";
    }
}

/// An out-data record as a host prepares it: members cleared, the audio
/// record and the padding poison.
void PrepareOutData(PF_OutData& out) {
    frames::Poison(out);
    out.my_version = 0;
    std::memset(out.name, 0, sizeof out.name);
    out.global_data = nullptr;
    out.num_params = 0;
    out.sequence_data = nullptr;
    out.flat_sdata_size = 0;
    out.frame_data = nullptr;
    out.width = 0;
    out.height = 0;
    out.origin = PF_Point{0, 0};
    out.out_flags = PF_OutFlag_NONE;
    std::memset(out.return_msg, 0, sizeof out.return_msg);
    out.start_sampL = 0;
    out.dur_sampL = 0;
    out.out_flags2 = 0;
}

}  // namespace

EventRecord::EventRecord(PF_EventType type, PF_WindowType window) {
    frames::Poison(context_);
    context_.magic = kContextMagic;
    context_.w_type = window;

    frames::Poison(extra_);
    extra_.contextH = &context_ptr_;
    extra_.e_type = type;
    // The union holds what this kind of event carries; the rest stays poison.
    if (type == PF_Event_DO_CLICK || type == PF_Event_DRAG) {
        PF_DoClickEventInfo& click = extra_.u.do_click;
        click.when = 0;
        click.screen_point = PF_Point{0, 0};
        click.num_clicks = 1;
        click.modifiers = 0;
        for (A_intptr_t& refcon : click.continue_refcon) refcon = 0;
        click.send_drag = 0;
        click.last_time = 0;
    } else if (type == PF_Event_DRAW) {
        extra_.u.draw.update_rect = PF_LRect{0, 0, 0, 0};
        extra_.u.draw.depth = 32;
    }
    // The effect-window record describes the effect controls window only.
    if (window == PF_Window_EFFECT) std::memset(&extra_.effect_win, 0, sizeof extra_.effect_win);
    FillEventCallbacks(extra_.cbs, nullptr);
    extra_.evt_in_flags = 0;
    extra_.evt_out_flags = PF_EO_NONE;
}

Host::Host(PF_FilterProc entry) : Host(entry, Options{}) {}

Host::Host(PF_FilterProc entry, Options options)
    : entry_(entry),
      options_(options),
      drawing_(std::make_unique<frames::Drawing>()),
      iterate_(std::make_unique<IterateEngine>(options.threads)) {
    if (entry_ == nullptr) throw std::invalid_argument("Host needs an entry point");
}

Host::~Host() = default;

Host& Host::Current() {
    if (t_current == nullptr) std::abort();  // a host function called outside any command
    return *t_current;
}

/// Every member a host sets, in the record's order; what it leaves alone
/// (the reserved members, the audio record a video effect never gets, the
/// padding) stays poison.
void Host::PrepareInData() {
    utils_ = *UtilCallbacksTable();
    frames::Poison(in_data_);
    FillInteractCallbacks(in_data_.inter);
    in_data_.utils = &utils_;
    in_data_.effect_ref = this;
    in_data_.quality = PF_Quality_HI;
    in_data_.version = kSpecVersion;
    in_data_.serial_num = 0;
    in_data_.appl_id = options_.app == HostApp::Premiere ? A_long(PF_APPL_ID_PREMIERE) : kCompositingHostId;
    in_data_.num_params = registered_.empty() ? 0 : A_long(registered_.size() + 1);
    in_data_.what_cpu = 0;
    in_data_.what_fpu = 0;
    in_data_.current_time = options_.current_time;
    in_data_.time_step = options_.time_step;
    in_data_.total_time = A_long(std::int64_t(options_.time_scale) * kLayerSeconds);
    in_data_.local_time_step = options_.time_step;
    in_data_.time_scale = options_.time_scale;
    in_data_.field = PF_Field_FRAME;
    in_data_.shutter_angle = kShutterAngle;
    in_data_.width = options_.layer_width;
    in_data_.height = options_.layer_height;
    in_data_.extent_hint = PF_LRect{0, 0, options_.layer_width, options_.layer_height};
    in_data_.output_origin_x = 0;
    in_data_.output_origin_y = 0;
    in_data_.downsample_x = options_.downsample_x;
    in_data_.downsample_y = options_.downsample_y;
    in_data_.pixel_aspect_ratio = options_.pixel_aspect_ratio;
    in_data_.in_flags = 0;
    in_data_.global_data = nullptr;  // the module keeps no data with the host
    in_data_.sequence_data = nullptr;
    in_data_.frame_data = nullptr;
    in_data_.start_sampL = 0;
    in_data_.dur_sampL = 0;
    in_data_.total_sampL = 0;
    in_data_.pica_basicP = faults_.no_basic_suite() ? nullptr : const_cast<SPBasicSuite*>(BasicSuiteTable());
    in_data_.pre_effect_source_origin_x = 0;
    in_data_.pre_effect_source_origin_y = 0;
    in_data_.shutter_phase = kShutterPhase;
    if (options_.threads != iterate_->threads() && !(options_.threads == 0)) {
        iterate_ = std::make_unique<IterateEngine>(options_.threads);
    }
}

PF_Err Host::Call(PF_Cmd cmd, PF_OutData& out_data, PF_ParamDef* params[], PF_EffectWorld* output, void* extra) {
    PrepareInData();
    outstanding_.clear();
    PF_Err result;
    {
        CurrentHostScope scope(this);
        result = entry_(cmd, &in_data_, &out_data, params, output, extra);
    }
    CheckBalance(cmd);
    return result;
}

PF_Err Host::Run(const std::function<PF_Err(PF_InData&, PF_OutData&)>& body) {
    PrepareInData();
    outstanding_.clear();
    PrepareOutData(out_data_);
    PF_Err result;
    {
        CurrentHostScope scope(this);
        result = body(in_data_, out_data_);
    }
    CheckBalance(-1);
    return result;
}

namespace {

/// `pixels` of a frame at the downsample factor, in layer coordinates as 16.16.
PF_Fixed LayerShift(int pixels, const PF_RationalScale& downsample) {
    if (pixels == 0 || downsample.num == 0) return 0;
    return PF_Fixed(std::llround(double(pixels) * 65536.0 * double(downsample.den) / double(downsample.num)));
}

PF_Fixed Shifted(PF_Fixed value, PF_Fixed shift) {
    const std::int64_t sum = std::int64_t(value) + std::int64_t(shift);
    return PF_Fixed(std::clamp<std::int64_t>(sum, INT32_MIN, INT32_MAX));
}

}  // namespace

PF_Err Host::Render(ParamSet& params, frames::World& output) {
    if (options_.layer_x == 0 && options_.layer_y == 0) return Send(PF_Cmd_RENDER, params.get(), output.def());
    // The module places points in the frame it renders; the layer starts
    // inside that frame, so its points move with it.
    ParamSet placed = params;
    const PF_Fixed dx = LayerShift(options_.layer_x, options_.downsample_x);
    const PF_Fixed dy = LayerShift(options_.layer_y, options_.downsample_y);
    for (int i = 1; i < placed.size(); ++i) {
        if (placed[i].param_type != PF_Param_POINT) continue;
        placed[i].u.td.x_value = Shifted(placed[i].u.td.x_value, dx);
        placed[i].u.td.y_value = Shifted(placed[i].u.td.y_value, dy);
    }
    return Send(PF_Cmd_RENDER, placed.get(), output.def());
}

PF_Err Host::Send(PF_Cmd cmd, PF_ParamDef* params[], PF_EffectWorld* output, void* extra) {
    PrepareOutData(out_data_);
    return Call(cmd, out_data_, params, output, extra);
}

PF_Err Host::Event(EventRecord& event, ParamSet& params, frames::World* output) {
    drawing_ = std::make_unique<frames::Drawing>();
    drawing_->set_sink(sink_);
    FillEventCallbacks(event.extra().cbs, this);
    event.extra().evt_in_flags = 0;
    event.extra().evt_out_flags = PF_EO_NONE;
    params.ClearChangeFlags();
    const PF_Err err = Send(PF_Cmd_EVENT, params.get(), output != nullptr ? output->def() : nullptr, &event.extra());
    for (const std::string& problem : drawing_->Problems(true)) problems_.push_back("EVENT: " + problem);
    return err;
}

void Host::CheckBalance(PF_Cmd cmd) {
    for (const auto& [key, count] : outstanding_) {
        if (count > 0) {
            problems_.push_back(std::string(CommandName(cmd)) + ": suite " + KeyText(key) + " acquired " +
                                std::to_string(count) + " time(s) more than released");
        }
    }
    outstanding_.clear();
}

ParamSet Host::DefaultParams(const frames::World& input) const {
    return ParamSet(registered_, *input.def(), options_.layer_width, options_.layer_height);
}

int Host::Acquired(const std::string& name, A_long version) const {
    const auto it = acquired_.find({name, version});
    return it == acquired_.end() ? 0 : it->second;
}

int Host::Released(const std::string& name, A_long version) const {
    const auto it = released_.find({name, version});
    return it == released_.end() ? 0 : it->second;
}

void Host::Unexpected(const char* function) {
    log_.Add(function, "");
    problems_.push_back(std::string("the module called ") + function + ", which it has no business calling");
}

void ForbiddenCall(const char* name) { Host::Current().Unexpected(name); }

PF_Err Host::Hook(const char* function, std::string args) {
    log_.Add(function, std::move(args));
    return faults_.OnCall(function).value_or(PF_Err_NONE);
}

SPErr Host::AcquireSuite(const char* name, A_long version, const void** suite) {
    const SuiteKey key{name != nullptr ? name : "", version};
    log_.Add("AcquireSuite", key.first + ", " + std::to_string(version));
    if (suite == nullptr) return kSPSuiteNotFoundError;
    *suite = nullptr;
    if (const auto planned = faults_.OnCall("AcquireSuite")) return *planned;
    if (faults_.IsMissing(key)) return kSPSuiteNotFoundError;
    if (faults_.IsNull(key)) return kSPNoError;  // success, but nothing handed out
    const auto& tables = SuiteTables();
    const auto it = tables.find(key);
    if (it == tables.end()) return kSPSuiteNotFoundError;
    *suite = it->second;
    ++outstanding_[key];
    ++acquired_[key];
    return kSPNoError;
}

SPErr Host::ReleaseSuite(const char* name, A_long version) {
    const SuiteKey key{name != nullptr ? name : "", version};
    log_.Add("ReleaseSuite", key.first + ", " + std::to_string(version));
    ++released_[key];
    int& count = outstanding_[key];
    if (count <= 0) {
        problems_.push_back("suite " + KeyText(key) + " released without a matching acquisition");
        return kSPSuiteNotFoundError;
    }
    --count;
    return kSPNoError;
}

PF_Err Host::AddParam(A_long index, const PF_ParamDef* def) {
    log_.Add("add_param", std::to_string(index) + ", id " + std::to_string(def->uu.id) + ", \"" + def->name + "\"");
    if (const auto planned = faults_.OnCall("add_param")) return *planned;
    registered_.push_back(*def);
    return PF_Err_NONE;
}

PF_Err Host::RegisterUI(const PF_CustomUIInfo* info) {
    log_.Add("register_ui", "events " + std::to_string(info->events));
    if (const auto planned = faults_.OnCall("register_ui")) return *planned;
    registered_ui_.push_back(*info);
    return PF_Err_NONE;
}

PF_Err Host::PixelFormatCall(const char* function, PrPixelFormat format, bool clear) {
    if (const PF_Err err = Hook(function, clear ? std::string() : Hex(format))) return err;
    if (clear) {
        declared_formats_.clear();
    } else {
        declared_formats_.push_back(format);
    }
    return PF_Err_NONE;
}

PF_Err Host::GetPixelFormat(PF_EffectWorld* world, PrPixelFormat* format) {
    if (const PF_Err err = Hook("GetPixelFormat")) return err;
    const auto it = world_formats_.find(world);
    if (it == world_formats_.end()) return PF_Err_BAD_CALLBACK_PARAM;
    *format = it->second;
    return PF_Err_NONE;
}

namespace {

std::string IterateArgs(A_long base, A_long final, const PF_LRect* area) {
    std::string args = std::to_string(base) + ", " + std::to_string(final) + ", ";
    if (area == nullptr) return args + "whole";
    return args + std::to_string(area->left) + " " + std::to_string(area->top) + " " + std::to_string(area->right) +
           " " + std::to_string(area->bottom);
}

}  // namespace

/// Both iterate suites: the call logged and checked against the fault plan,
/// then every pixel of the area (the whole destination when none is given).
template <typename Pixel, typename Fn>
PF_Err Host::IterateAs(const char* name, A_long progress_base, A_long progress_final, PF_EffectWorld* src,
                       const PF_LRect* area, void* refcon, Fn pix_fn, PF_EffectWorld* dst) {
    const PF_Err interrupt = Hook(name, IterateArgs(progress_base, progress_final, area));
    if (src == nullptr || dst == nullptr || pix_fn == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    const PF_LRect whole{0, 0, dst->width, dst->height};
    // An interrupted render stops halfway down, as when the user cancels.
    const A_long stop = interrupt != PF_Err_NONE ? dst->height / 2 : INT32_MAX;
    return iterate_->Run<Pixel>(*src, *dst, area != nullptr ? *area : whole, refcon, pix_fn, stop, interrupt);
}

PF_Err Host::Iterate8(PF_InData*, A_long progress_base, A_long progress_final, PF_EffectWorld* src,
                      const PF_LRect* area, void* refcon, PF_IteratePixel8Func pix_fn, PF_EffectWorld* dst) {
    return IterateAs<PF_Pixel8>("iterate8", progress_base, progress_final, src, area, refcon, pix_fn, dst);
}

PF_Err Host::Iterate16(PF_InData*, A_long progress_base, A_long progress_final, PF_EffectWorld* src,
                       const PF_LRect* area, void* refcon, PF_IteratePixel16Func pix_fn, PF_EffectWorld* dst) {
    return IterateAs<PF_Pixel16>("iterate16", progress_base, progress_final, src, area, refcon, pix_fn, dst);
}

PF_Err Host::GetDrawingReference(PF_ContextH context, DRAWBOT_DrawRef* ref) {
    if (const PF_Err err = Hook("PF_GetDrawingReference")) return err;
    *ref = (context == nullptr || faults_.null_drawing_reference()) ? nullptr
                                                                    : reinterpret_cast<DRAWBOT_DrawRef>(drawing_.get());
    return PF_Err_NONE;
}

}  // namespace quorvel::sim
