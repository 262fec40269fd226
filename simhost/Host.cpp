#include "Host.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "HostSuites.h"
#include "Iterate.h"

namespace quorvel::sim {

namespace {

thread_local Host* t_current = nullptr;

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

std::string KeyText(const SuiteKey& key) {
    return "\"" + key.first + "\" v" + std::to_string(key.second);
}

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

}  // namespace

EventRecord::EventRecord(PF_EventType type, PF_WindowType window) {
    context_.w_type = window;
    extra_.contextH = &context_ptr_;
    extra_.e_type = type;
    extra_.cbs = EventCallbacks();
}

Host::Host(PF_EntryPointFunc entry) : Host(entry, Options{}) {}

Host::Host(PF_EntryPointFunc entry, Options options)
    : entry_(entry),
      options_(options),
      drawing_(std::make_unique<Drawing>()),
      iterate_(std::make_unique<IterateEngine>(options.threads)) {
    if (entry_ == nullptr) throw std::invalid_argument("Host needs an entry point");
}

Host::~Host() = default;

Host& Host::Current() {
    if (t_current == nullptr) std::abort();  // a host function called outside any command
    return *t_current;
}

void Host::PrepareInData() {
    utils_ = *UtilCallbacksTable();
    std::memset(&in_data_, 0, sizeof in_data_);
    in_data_.inter = InteractCallbacks();
    in_data_.utils = &utils_;
    in_data_.effect_ref = this;
    in_data_.appl_id = options_.app == HostApp::Premiere ? A_long(PF_APPL_ID_PREMIERE) : A_long(0x46584354);  // 'FXTC'
    in_data_.current_time = options_.current_time;
    in_data_.time_step = options_.time_step;
    in_data_.time_scale = options_.time_scale;
    in_data_.width = options_.layer_width;
    in_data_.height = options_.layer_height;
    in_data_.downsample_x = options_.downsample_x;
    in_data_.downsample_y = options_.downsample_y;
    in_data_.pixel_aspect_ratio = options_.pixel_aspect_ratio;
    in_data_.pica_basicP = faults_.no_basic_suite() ? nullptr : const_cast<SPBasicSuite*>(BasicSuiteTable());
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
    std::memset(&out_data_, 0, sizeof out_data_);
    PF_Err result;
    {
        CurrentHostScope scope(this);
        result = body(in_data_, out_data_);
    }
    CheckBalance(-1);
    return result;
}

PF_Err Host::Send(PF_Cmd cmd, PF_ParamDef* params[], PF_EffectWorld* output, void* extra) {
    std::memset(&out_data_, 0, sizeof out_data_);
    return Call(cmd, out_data_, params, output, extra);
}

PF_Err Host::Event(EventRecord& event, ParamSet& params, World* output) {
    drawing_ = std::make_unique<Drawing>();
    drawing_->set_sink(sink_);
    event.extra().cbs = EventCallbacks();
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

ParamSet Host::DefaultParams(const World& input) const {
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
