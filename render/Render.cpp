// The render command: one evaluator per frame, then the pixel function for
// the host's pixel layout, driven by the host's iterate suites or, for float
// frames, by the module's own loop.
#include "render/Render.h"

#include "render/FloatRows.h"
#include "render/MaskEvaluator.h"
#include "render/PixelFunctions.h"
#include "shell/Errors.h"
#include "shell/Params.h"
#include "shell/SuiteHandler.h"

namespace quorvel {

namespace {

/// Rows of the output's extent hint; an empty or inverted hint gives 0 or
/// less. Wraps instead of overflowing on absurd hints.
A_long ExtentLines(const PF_LayerDef& output) {
    const auto bottom = static_cast<A_u_long>(output.extent_hint.bottom);
    const auto top = static_cast<A_u_long>(output.extent_hint.top);
    return static_cast<A_long>(bottom - top);
}

/// Premiere: the pixel layout must be asked for; only the two BGRA formats
/// declared at global setup are rendered.
void RenderPremiere(PF_InData* in_data, SuiteHandler& suites, MaskEvaluator& mask, PF_EffectWorld* input,
                    PF_LayerDef* output, A_long lines) {
    // On a failure the user has already been told.
    const auto* pixel_formats = suites.Take<PF_PixelFormatSuite1>(SuiteId::PixelFormat);
    if (pixel_formats == nullptr) RaiseMissingSuite();

    // The preset stands when the host leaves the code alone; the call's own
    // result says nothing the code does not.
    PrPixelFormat format = PrPixelFormat_BGRA_4444_8u;
    pixel_formats->GetPixelFormat(output, &format);

    bool supported = true;
    switch (format) {
        case PrPixelFormat_BGRA_4444_32f:
            // The module's own loop over the frame, as IterateFloatPixels
            // with MaskPixelBGRA32f, whole rows at a time.
            MaskRowsBGRA32f(lines, input, mask, output);
            break;
        case PrPixelFormat_BGRA_4444_8u:
            // Premiere reports an interrupted iteration by other means; the
            // result here is the suite release's.
            suites.Iterate8Suite1()->iterate(in_data, 0, lines, input, nullptr, &mask, MaskPixelBGRA8, output);
            break;
        default:
            supported = false;
            break;
    }
    // Handed back before the command ends, whatever its result; on a code
    // thrown above the handler's destructor hands it back.
    const bool released = suites.Release(SuiteId::PixelFormat);
    if (!supported) RaiseError(PF_Err_UNRECOGNIZED_PARAM_TYPE);
    if (!released) RaiseMissingSuite();
}

}  // namespace

PF_Err Render(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output) {
    SuiteHandler suites(in_data, out_data);

    MaskEvaluator mask;
    InitMaskEvaluator(mask, params, in_data);

    const A_long lines = ExtentLines(*output);
    PF_EffectWorld* input = &params[kParamInput]->u.ld;

    if (in_data->appl_id == PF_APPL_ID_PREMIERE) {
        RenderPremiere(in_data, suites, mask, input, output, lines);
    } else if ((output->world_flags & PF_WorldFlag_DEEP) != 0) {
        RaiseIfError(
            suites.Iterate16Suite1()->iterate(in_data, 0, lines, input, nullptr, &mask, MaskPixelARGB16, output));
    } else {
        RaiseIfError(
            suites.Iterate8Suite1()->iterate(in_data, 0, lines, input, nullptr, &mask, MaskPixelARGB8, output));
    }
    return PF_Err_NONE;
}

}  // namespace quorvel
