/// The simulated host: it owns the records and services a real host hands to
/// an effect, sends commands through the module's entry point, logs every
/// call the module makes back, injects faults, and checks after every
/// command that the module handed back everything it took.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "frames/Drawing.h"
#include "frames/View.h"
#include "frames/World.h"
#include "host/PF_Host.h"
#include "simhost/CallLog.h"
#include "simhost/FaultPlan.h"
#include "simhost/ParamSet.h"

namespace quorvel::sim {

enum class HostApp { AfterEffects, Premiere };

class IterateEngine;

/// One event sent to the module, with the context and callbacks it refers to,
/// laid out as a host lays them out for that kind of event: the members the
/// event carries set, everything else poison.
class EventRecord {
public:
    EventRecord(PF_EventType type, PF_WindowType window);
    EventRecord(const EventRecord&) = delete;
    EventRecord& operator=(const EventRecord&) = delete;

    PF_EventExtra& extra() { return extra_; }
    PF_DoClickEventInfo& click() { return extra_.u.do_click; }

private:
    PF_Context context_{};
    PF_Context* context_ptr_ = &context_;
    PF_EventExtra extra_{};
};

class Host {
public:
    struct Options {
        HostApp app = HostApp::AfterEffects;
        /// Worker threads for the iterate suites; 0 means every core.
        int threads = 0;
        PF_RationalScale downsample_x{1, 1};
        PF_RationalScale downsample_y{1, 1};
        PF_RationalScale pixel_aspect_ratio{1, 1};
        /// The frame's time is current_time / time_scale seconds; a frame
        /// lasts time_step / time_scale (1001 / 24000 at 23.976 frames/s).
        A_long current_time = 0;
        A_long time_step = 1;
        A_u_long time_scale = 24;
        /// The layer's size, which the in-data reports.
        int layer_width = 1920;
        int layer_height = 1080;
        /// Where the layer's top-left corner sits in the frames the module
        /// is handed, in frame pixels: frames that also hold pixels beyond
        /// the layer (a file's overscan) start left of and above it.
        int layer_x = 0;
        int layer_y = 0;
    };

    explicit Host(PF_FilterProc entry);
    Host(PF_FilterProc entry, Options options);
    ~Host();

    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    Options& options() { return options_; }
    const Options& options() const { return options_; }
    FaultPlan& faults() { return faults_; }
    CallLog& log() { return log_; }
    frames::View& view() { return view_; }
    frames::Drawing& drawing() { return *drawing_; }
    /// Where the strokes of later draw events are also sent (a Canvas to
    /// paint them); null for recording only.
    void SetStrokeSink(frames::StrokeSink* sink) { sink_ = sink; }

    /// Sends one command with the caller's out-data record, exactly as given.
    PF_Err Call(PF_Cmd cmd, PF_OutData& out_data, PF_ParamDef* params[] = nullptr, PF_EffectWorld* output = nullptr,
                void* extra = nullptr);
    /// Sends one command with a fresh out-data record (out_data()), as a host
    /// prepares it: members cleared, padding and the audio record poison.
    PF_Err Send(PF_Cmd cmd, PF_ParamDef* params[] = nullptr, PF_EffectWorld* output = nullptr, void* extra = nullptr);

    /// Runs `body` as if it were a command: the in-data is prepared, the
    /// host's services answer, and the suite balance is checked afterwards.
    /// For exercising module code below the entry point.
    PF_Err Run(const std::function<PF_Err(PF_InData&, PF_OutData&)>& body);

    PF_Err About() { return Send(PF_Cmd_ABOUT); }
    PF_Err GlobalSetup() { return Send(PF_Cmd_GLOBAL_SETUP); }
    PF_Err ParamsSetup() { return Send(PF_Cmd_PARAMS_SETUP); }
    /// Renders with the parameters as the layer has them; points are handed
    /// over where they fall in the frame.
    PF_Err Render(ParamSet& params, frames::World& output);
    /// Sends an event; a draw event paints into a fresh Drawing.
    PF_Err Event(EventRecord& event, ParamSet& params, frames::World* output = nullptr);

    /// The records of the last command.
    PF_InData& in_data() { return in_data_; }
    PF_OutData& out_data() { return out_data_; }

    /// What the module registered at parameter setup.
    const std::vector<PF_ParamDef>& registered_params() const { return registered_; }
    const std::vector<PF_CustomUIInfo>& registered_ui() const { return registered_ui_; }
    /// Premiere pixel formats the module declared, in order (after any clear).
    const std::vector<PrPixelFormat>& declared_formats() const { return declared_formats_; }

    /// The parameter array at defaults for a layer `input`.
    ParamSet DefaultParams(const frames::World& input) const;

    /// The Premiere pixel format the Pixel Format Suite reports for a world.
    void SetWorldFormat(const PF_EffectWorld* world, PrPixelFormat format) { world_formats_[world] = format; }

    /// Suite acquisitions and releases so far, by (name, version).
    int Acquired(const std::string& name, A_long version = 1) const;
    int Released(const std::string& name, A_long version = 1) const;

    /// Contract violations seen so far: a suite not released, released twice
    /// or under another name or version; a drawing object leaked or released
    /// twice. Each is checked at the end of every command.
    const std::vector<std::string>& problems() const { return problems_; }
    void ClearProblems() { problems_.clear(); }

    // ---- Entry points for the host's C function tables (internal). ----
    static Host& Current();
    SPErr AcquireSuite(const char* name, A_long version, const void** suite);
    SPErr ReleaseSuite(const char* name, A_long version);
    PF_Err AddParam(A_long index, const PF_ParamDef* def);
    PF_Err RegisterUI(const PF_CustomUIInfo* info);
    PF_Err PixelFormatCall(const char* function, PrPixelFormat format, bool clear);
    PF_Err GetPixelFormat(PF_EffectWorld* world, PrPixelFormat* format);
    PF_Err Iterate8(PF_InData* in_data, A_long progress_base, A_long progress_final, PF_EffectWorld* src,
                    const PF_LRect* area, void* refcon, PF_IteratePixel8Func pix_fn, PF_EffectWorld* dst);
    PF_Err Iterate16(PF_InData* in_data, A_long progress_base, A_long progress_final, PF_EffectWorld* src,
                     const PF_LRect* area, void* refcon, PF_IteratePixel16Func pix_fn, PF_EffectWorld* dst);
    /// Notes a call of a host function the module has no business calling.
    void Unexpected(const char* function);
    /// Logs a call and applies the fault plan to it.
    PF_Err Hook(const char* function, std::string args = {});
    PF_Err GetDrawingReference(PF_ContextH context, DRAWBOT_DrawRef* ref);

private:
    void PrepareInData();
    template <typename Pixel, typename Fn>
    PF_Err IterateAs(const char* name, A_long progress_base, A_long progress_final, PF_EffectWorld* src,
                     const PF_LRect* area, void* refcon, Fn pix_fn, PF_EffectWorld* dst);
    void CheckBalance(PF_Cmd cmd);

    PF_FilterProc entry_;
    Options options_;
    FaultPlan faults_;
    CallLog log_;
    frames::View view_;
    std::unique_ptr<frames::Drawing> drawing_;
    frames::StrokeSink* sink_ = nullptr;
    std::unique_ptr<IterateEngine> iterate_;

    PF_InData in_data_{};
    PF_OutData out_data_{};
    PF_UtilCallbacks utils_{};

    std::vector<PF_ParamDef> registered_;
    std::vector<PF_CustomUIInfo> registered_ui_;
    std::vector<PrPixelFormat> declared_formats_;
    std::map<const PF_EffectWorld*, PrPixelFormat> world_formats_;

    std::map<SuiteKey, int> outstanding_;
    std::map<SuiteKey, int> acquired_;
    std::map<SuiteKey, int> released_;
    std::vector<std::string> problems_;
};

}  // namespace quorvel::sim
