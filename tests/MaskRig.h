// Evaluators and float frames for the tests of the render arithmetic:
// parameter values in user units turned into the host's encodings, the
// evaluator InitMaskEvaluator builds from them, and 16-byte-per-pixel worlds.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "frames/ParamEncoding.h"
#include "render/MaskEvaluator.h"
#include "shell/Params.h"

namespace quorvel::test {

/// Parameter values in user units; defaults are the worked example (Width
/// 200, Height 100, Feather 20, Linear, Angle 0, origin (0, 0), Create).
struct MaskSettings {
    A_long mask_type = kMaskEllipse;
    A_long compositeMode = kCompositeCreate;
    double origin_x = 0.0;
    double origin_y = 0.0;
    double width = 200.0;
    double height = 100.0;
    double angle = 0.0;
    double feather = 20.0;
    double opacity_percent = 100.0;
    A_long invert = 0;
    A_long falloff = kFalloffLinear;
};

/// A params array in the host's index order and encodings.
class ParamArray {
public:
    explicit ParamArray(const MaskSettings& s) {
        auto& mask_type = defs_[kParamMaskType];
        mask_type.param_type = PF_Param_POPUP;
        mask_type.u.pd.value = s.mask_type;
        auto& composite = defs_[kParamCompositeMode];
        composite.param_type = PF_Param_POPUP;
        composite.u.pd.value = s.compositeMode;
        auto& origin = defs_[kParamOrigin];
        origin.param_type = PF_Param_POINT;
        frames::SetPoint(origin, s.origin_x, s.origin_y);
        SetFloat(kParamWidth, s.width);
        SetFloat(kParamHeight, s.height);
        SetFloat(kParamFeather, s.feather);
        auto& angle = defs_[kParamAngle];
        angle.param_type = PF_Param_ANGLE;
        frames::SetAngle(angle, s.angle);
        auto& opacity = defs_[kParamOpacity];
        opacity.param_type = PF_Param_FIX_SLIDER;
        frames::SetFixedSlider(opacity, s.opacity_percent);
        auto& invert = defs_[kParamInvert];
        invert.param_type = PF_Param_CHECKBOX;
        invert.u.bd.value = s.invert;
        auto& falloff = defs_[kParamFalloff];
        falloff.param_type = PF_Param_POPUP;
        falloff.u.pd.value = s.falloff;
        for (std::size_t i = 0; i < defs_.size(); ++i) pointers_[i] = &defs_[i];
    }
    ParamArray(const ParamArray&) = delete;
    ParamArray& operator=(const ParamArray&) = delete;

    PF_ParamDef** get() { return pointers_.data(); }

private:
    void SetFloat(A_long index, double value) {
        defs_[index].param_type = PF_Param_FLOAT_SLIDER;
        defs_[index].u.fs_d.value = value;
    }

    std::array<PF_ParamDef, kNumParams> defs_{};
    std::array<PF_ParamDef*, kNumParams> pointers_{};
};

struct Scales {
    PF_RationalScale downsample_x{1, 1};
    PF_RationalScale downsample_y{1, 1};
    PF_RationalScale pixel_aspect{1, 1};
};

inline MaskEvaluator Build(const MaskSettings& settings, const Scales& scales = {}) {
    ParamArray params(settings);
    PF_InData in_data{};
    in_data.downsample_x = scales.downsample_x;
    in_data.downsample_y = scales.downsample_y;
    in_data.pixel_aspect_ratio = scales.pixel_aspect;
    MaskEvaluator mask;
    InitMaskEvaluator(mask, params.get(), &in_data);
    return mask;
}

inline float Mask(const MaskEvaluator& mask, int x, int y) {
    float value = -1.0f;
    EXPECT_EQ(MaskValue(mask, x, y, value), PF_Err_NONE);
    return value;
}

inline MaskSettings Rectangle(MaskSettings s = {}) {
    s.mask_type = kMaskRectangle;
    return s;
}

/// A 16-byte-per-pixel world over owned storage; a negative rowbytes puts
/// `data` on the last row in memory so rows run upward.
class FloatWorld {
public:
    FloatWorld(A_long width, A_long height, A_long rowbytes)
        : storage_(std::size_t(std::abs(rowbytes)) * std::size_t(height), std::byte{0xAB}) {
        world_.width = width;
        world_.height = height;
        world_.rowbytes = rowbytes;
        std::byte* base = storage_.data();
        if (rowbytes < 0) base += std::size_t(-rowbytes) * std::size_t(height - 1);
        world_.data = reinterpret_cast<PF_PixelPtr>(base);
    }
    FloatWorld(const FloatWorld&) = delete;
    FloatWorld& operator=(const FloatWorld&) = delete;

    PF_EffectWorld* get() { return &world_; }
    std::byte* At(A_long x, A_long row) {
        return reinterpret_cast<std::byte*>(world_.data) + std::ptrdiff_t(row) * world_.rowbytes + 16 * x;
    }
    const std::vector<std::byte>& bytes() const { return storage_; }

private:
    std::vector<std::byte> storage_;
    PF_EffectWorld world_{};
};

}  // namespace quorvel::test
