// The module's one door: every command enters here, and nothing but a host
// error code leaves.
#include <new>

#include "entry/Commands_pvt.h"
#include "shell/Constants.h"
#include "shell/DrawbotException.h"
#include "shell/Errors.h"
#include "shell/Strings.h"
#include "shell/SuiteHandler.h"

#if defined(_WIN32)
#define QUORVEL_EXPORT __declspec(dllexport)
#else
#define QUORVEL_EXPORT __attribute__((visibility("default")))
#endif

namespace quorvel {

PF_Err About(PF_InData* in_data, PF_OutData* out_data) {
    SuiteHandler suites(in_data->pica_basicP);
    suites.ANSISuite1()->sprintf(out_data->return_msg, "%s v%d.%d\r%s", LookupString(StrID_Name), kMajorVersion,
                                 kMinorVersion, LookupString(StrID_Description));
    return PF_Err_NONE;
}

PF_Err GlobalSetup(PF_InData* in_data, PF_OutData* out_data) {
    out_data->my_version = kEffectVersion;
    out_data->out_flags = kGlobalOutFlags;

    if (in_data->appl_id != PF_APPL_ID_PREMIERE) return PF_Err_NONE;

    // Global setup never fails: a host without the suite, or without a basic
    // suite at all, is told so and the module runs without declared formats.
    SuiteHandler suites(in_data, out_data, NoBasicSuite::kReport);
    const auto* suite = suites.Take<PF_PixelFormatSuite1>(SuiteId::PixelFormat);
    if (suite == nullptr) return PF_Err_NONE;

    suite->ClearSupportedPixelFormats(in_data->effect_ref);
    // The float format first: the host offers formats in the order declared.
    suite->AddSupportedPixelFormat(in_data->effect_ref, PrPixelFormat_BGRA_4444_32f);
    suite->AddSupportedPixelFormat(in_data->effect_ref, PrPixelFormat_BGRA_4444_8u);
    suites.Release(SuiteId::PixelFormat);
    return PF_Err_NONE;
}

namespace {

PF_Err Dispatch(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output,
                void* extra) {
    const bool handled = cmd == PF_Cmd_ABOUT || cmd == PF_Cmd_GLOBAL_SETUP || cmd == PF_Cmd_PARAMS_SETUP ||
                         cmd == PF_Cmd_RENDER || cmd == PF_Cmd_EVENT;
    // Every handled command reads the two records; a host that passes none gets an error, not a crash.
    if (handled && (in_data == nullptr || out_data == nullptr)) RaiseError(PF_Err_BAD_CALLBACK_PARAM);

    switch (cmd) {
        case PF_Cmd_ABOUT:
            return About(in_data, out_data);
        case PF_Cmd_GLOBAL_SETUP:
            return GlobalSetup(in_data, out_data);
        case PF_Cmd_PARAMS_SETUP:
            return ParamsSetup(in_data, out_data);
        case PF_Cmd_RENDER:
            return Render(in_data, out_data, params, output);
        case PF_Cmd_EVENT:
            return HandleOverlayEvent(in_data, out_data, params, output, static_cast<PF_EventExtra*>(extra));
        default:
            return PF_Err_NONE;
    }
}

}  // namespace

}  // namespace quorvel

extern "C" QUORVEL_EXPORT PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                                PF_ParamDef* params[], PF_LayerDef* output, void* extra) {
    try {
        return quorvel::Dispatch(cmd, in_data, out_data, params, output, extra);
    } catch (PF_Err thrown) {
        return thrown;
    } catch (const quorvel::DRAWBOT_Exception& e) {
        return e.err();
    } catch (const std::bad_alloc&) {
        return PF_Err_OUT_OF_MEMORY;
    } catch (...) {
        // Anything else is a fault of ours; the host must still get a code, not an unwinding.
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
}
