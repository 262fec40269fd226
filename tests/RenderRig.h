// A host set up to render small frames through the module's entry point.
#pragma once

#include <cstring>
#include <vector>

#include "frames/ParamEncoding.h"
#include "shell/Params.h"
#include "tests/ModuleFixture.h"

namespace quorvel::test {

/// Host, registered parameters, an input frame filled with a byte pattern
/// and an output frame of the same layout, ready for PF_Cmd_RENDER.
struct RenderRig {
    explicit RenderRig(frames::PixelLayout layout, int width = 16, int height = 8, int threads = 1, int padding = 0)
        : host(frames::IsPremiereLayout(layout) ? sim::HostApp::Premiere : sim::HostApp::AfterEffects, threads),
          input(layout, width, height, padding),
          output(layout, width, height, padding),
          params(Setup()) {
        for (std::size_t i = 0; i < input.bytes().size(); ++i) input.bytes()[i] = std::uint8_t(i * 7 + 3);
        if (layout == frames::PixelLayout::ARGB16) {
            // Keep 16-bit channels within the host's 0..32768.
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    PF_Pixel16& p = input.At<PF_Pixel16>(x, y);
                    p = {A_u_short(p.alpha % 32769), A_u_short(p.red % 32769), A_u_short(p.green % 32769),
                         A_u_short(p.blue % 32769)};
                }
            }
        }
        if (layout == frames::PixelLayout::BGRA32f) {
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    input.At<frames::BGRA32fPixel>(x, y) = {0.25f * float(x), -1.5f, float(y) / 3.0f, 0.75f};
                }
            }
        }
        params.SetLayer(*input.def());
        if (frames::IsPremiereLayout(layout)) host.SetWorldFormat(output.def(), frames::PremiereFormat(layout));
        output.Fill(0xEE);
    }

    PF_Err Render() { return host.Render(params, output); }

    void SetFloat(int index, double v) { params[index].u.fs_d.value = v; }
    void SetPopup(int index, A_long v) { params[index].u.pd.value = v; }
    void SetOrigin(double x, double y) { frames::SetPoint(params[kParamOrigin], x, y); }
    void SetOpacity(double percent) { frames::SetFixedSlider(params[kParamOpacity], percent); }

    bool OutputUntouched() const {
        for (std::uint8_t b : output.bytes()) {
            if (b != 0xEE) return false;
        }
        return true;
    }

    CheckedHost host;
    frames::World input;
    frames::World output;
    sim::ParamSet params;

private:
    sim::ParamSet Setup() {
        EXPECT_EQ(host.GlobalSetup(), PF_Err_NONE);
        EXPECT_EQ(host.ParamsSetup(), PF_Err_NONE);
        host.log().Clear();
        return host.DefaultParams(input);
    }
};

}  // namespace quorvel::test
