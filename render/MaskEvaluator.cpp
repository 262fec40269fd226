#include "render/MaskEvaluator.h"

#include "numeric/FixedPoint.h"
#include "shell/Params.h"

namespace quorvel {

namespace {

/// A host rational as num / den in float; the numerator is signed, the
/// denominator unsigned.
float RatioOf(std::int32_t num, std::uint32_t den) { return static_cast<float>(num) / static_cast<float>(den); }

}  // namespace

float RoundedFalloff(std::int32_t falloff, float t) {
    return static_cast<float>(ApplyFalloff(falloff, static_cast<double>(t)));
}

namespace detail {

float RectangleBorder(const MaskEvaluator& mask, float au, float av) {
    return RectangleBorderWith(
        mask, au, av, [&mask](double t) { return ApplyFalloff(mask.falloff, t); },
        [&mask](float t) { return static_cast<float>(ApplyFalloff(mask.falloff, static_cast<double>(t))); });
}

float EllipseRing(const MaskEvaluator& mask, MaskPoint p) {
    return EllipseRingWith(
        mask, p, [&mask](float t) { return static_cast<float>(ApplyFalloff(mask.falloff, static_cast<double>(t))); });
}

}  // namespace detail

void InitMaskEvaluator(MaskEvaluator& mask, PF_ParamDef* params[], const PF_InData* in_data) {
    mask = MaskEvaluator{};

    // Degrees to radians with the sign reversed: frame y grows downward, so a
    // positive Angle turns the shape clockwise on screen.
    const double angle = DoubleFromFixed(params[kParamAngle]->u.ad.value);
    const double theta = angle * -kRadiansPerDegree;
    const float c = static_cast<float>(std::cos(theta));
    const float s = static_cast<float>(std::sin(theta));

    const float px = FloatFromFixed(params[kParamOrigin]->u.td.x_value);
    const float py = FloatFromFixed(params[kParamOrigin]->u.td.y_value);

    // Horizontal distances become square pixels (times the pixel aspect) and
    // both become full-resolution pixels (divided by the downsampling).
    // The aspect enters inverted: den / num.
    const PF_RationalScale& aspect = in_data->pixel_aspect_ratio;
    const float aspect_inv = static_cast<float>(aspect.den) / static_cast<float>(aspect.num);
    const float down_x = RatioOf(in_data->downsample_x.num, in_data->downsample_x.den);
    const float sx = aspect_inv * down_x;
    const float sy = RatioOf(in_data->downsample_y.num, in_data->downsample_y.den);

    auto& m = mask.transform;
    m[0][0] = c / sx;
    m[0][1] = -(s / sy);
    {
        const float a = py * s;
        const float b = a / sy;
        const float d = px * c;
        const float e = d / sx;
        m[0][2] = b - e;
    }
    m[1][0] = s / sx;
    m[1][1] = c / sy;
    {
        const float a = px * s;
        const float b = a / sx;
        const float d = py * c;
        const float e = d / sy;
        m[1][2] = -b - e;
    }
    m[2][0] = 0.0f;
    m[2][1] = 0.0f;
    m[2][2] = 1.0f;

    mask.halfWidth = static_cast<float>(params[kParamWidth]->u.fs_d.value * 0.5);
    mask.halfHeight = static_cast<float>(params[kParamHeight]->u.fs_d.value * 0.5);

    mask.falloff = params[kParamFalloff]->u.pd.value;
    {
        const double percent = DoubleFromFixed(params[kParamOpacity]->u.fd.value);
        mask.opacity = static_cast<float>(percent / 100.0);
    }

    // Only the half-width clamps, and to one pixel short of it, so the inner
    // shape never collapses to a point; the Height never clamps.
    float feather = static_cast<float>(params[kParamFeather]->u.fs_d.value);
    if (feather >= mask.halfWidth) feather = mask.halfWidth - 1.0f;
    mask.feather = feather;

    // The v-side feather is the same fraction of its half-axis as the u-side.
    mask.innerHalfWidth = mask.halfWidth - feather;
    const float aspect_of_shape = mask.halfWidth / mask.halfHeight;
    const float feather_v = feather / aspect_of_shape;
    mask.innerHalfHeight = mask.halfHeight - feather_v;

    if (params[kParamMaskType]->u.pd.value == kMaskRectangle) {
        mask.isEllipse = false;
        mask.edgeScaleU = 1.0f / feather;
        mask.edgeScaleV = 1.0f / feather_v;
    } else {
        mask.isEllipse = true;
        const float hw2 = mask.halfWidth * mask.halfWidth;
        const float hh2 = mask.halfHeight * mask.halfHeight;
        mask.edgeScaleU = 1.0f / hw2;
        mask.edgeScaleV = 1.0f / hh2;
        mask.outerAxesProduct = mask.halfHeight * mask.halfWidth;
        mask.innerAxesProduct = mask.innerHalfHeight * mask.innerHalfWidth;
        mask.innerHalfWidthSq = mask.innerHalfWidth * mask.innerHalfWidth;
        mask.innerHalfHeightSq = mask.innerHalfHeight * mask.innerHalfHeight;
        mask.invInnerHalfWidthSq = 1.0f / mask.innerHalfWidthSq;
        mask.invInnerHalfHeightSq = 1.0f / mask.innerHalfHeightSq;
        mask.halfWidthSq = hw2;
        mask.halfHeightSq = hh2;
    }

    // Only the low byte of the checkbox value counts.
    mask.invert = static_cast<std::uint8_t>(params[kParamInvert]->u.bd.value) != 0;
    mask.compositeMode = params[kParamCompositeMode]->u.pd.value;
}

}  // namespace quorvel
