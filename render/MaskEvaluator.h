/// The matte: one frame's parameters turned into a read-only record, and the
/// per-pixel questions asked of it (mask value and composite with alpha).
///
/// Every evaluation below is written one rounding step per statement, in the
/// order the result is defined by. The 8- and 16-bit outputs truncate, so a
/// difference in the last bit of a float changes the stored alpha; the module
/// is built without contraction or fast maths so these statements are what
/// the machine executes.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "host/PF_Host.h"
#include "render/FloatOps.h"
#include "shell/Params.h"

namespace quorvel {

/// Per-render record: built once by InitMaskEvaluator, then only read (from
/// any number of threads). Holds no pointers and owns nothing.
struct MaskEvaluator {
    /// Pixel position to mask space, row-major; only the first two rows are read.
    std::array<std::array<float, 3>, 3> transform;
    float halfWidth;
    float halfHeight;
    /// Rectangle: 1 / feather along u. Ellipse: 1 / halfWidth².
    float edgeScaleU;
    /// Rectangle: 1 / feather along v. Ellipse: 1 / halfHeight².
    float edgeScaleV;
    float outerAxesProduct;
    float innerHalfWidth;
    float innerHalfHeight;
    float innerAxesProduct;
    float innerHalfWidthSq;
    float innerHalfHeightSq;
    float invInnerHalfWidthSq;
    float invInnerHalfHeightSq;
    float halfWidthSq;
    float halfHeightSq;
    /// Feather width along u after the clamp to one pixel under halfWidth.
    float feather;
    /// Fraction: 100 % is 1.
    float opacity;
    bool isEllipse;
    bool invert;
    std::int32_t compositeMode;
    std::int32_t falloff;
};

// The record's layout is part of its contract with whoever inspects it.
static_assert(sizeof(bool) == 1);
static_assert(offsetof(MaskEvaluator, halfWidth) == 36);
static_assert(offsetof(MaskEvaluator, opacity) == 96);
static_assert(offsetof(MaskEvaluator, isEllipse) == 100);
static_assert(offsetof(MaskEvaluator, invert) == 101);
static_assert(offsetof(MaskEvaluator, compositeMode) == 104);
static_assert(offsetof(MaskEvaluator, falloff) == 108);

/// Fills `mask` from parameters 1 to 10 and the in-data's downsample and
/// pixel-aspect factors. Cannot fail; degenerate values give IEEE results.
void InitMaskEvaluator(MaskEvaluator& mask, PF_ParamDef* params[], const PF_InData* in_data);

/// Falloff curve number kFalloff (an Alpha falloff choice) at t; F(0) = 0.
/// Numbers outside the six choices give Linear.
template <std::int32_t kFalloff>
inline double FalloffCurve(double t) {
    if constexpr (kFalloff == kFalloffQuadratic) {
        return t * t;
    } else if constexpr (kFalloff == kFalloffCubic) {
        const double t2 = t * t;
        return t2 * t;
    } else if constexpr (kFalloff == kFalloffGamma) {
        return std::pow(t, 0.454);
    } else if constexpr (kFalloff == kFalloffGaussian) {
        // Stops short of 1 at the outline (1 - 1/360).
        const double e = std::pow(t, 2.5);
        return 1.0 - std::pow(360.0, -e);
    } else if constexpr (kFalloff == kFalloffExponential) {
        const double d = 1.0 - std::pow(2.5, -t);
        const double s = d * 2.5;
        return s / 1.5;
    } else {
        return t;
    }
}

/// Returns body.operator()<k>() for k the curve number that `falloff`
/// selects: the one place that maps Alpha falloff values to curves, for
/// code that picks the curve once and then runs it for many pixels.
template <typename Body>
inline decltype(auto) WithFalloff(std::int32_t falloff, Body&& body) {
    switch (falloff) {
        case kFalloffQuadratic:
            return body.template operator()<kFalloffQuadratic>();
        case kFalloffCubic:
            return body.template operator()<kFalloffCubic>();
        case kFalloffGamma:
            return body.template operator()<kFalloffGamma>();
        case kFalloffGaussian:
            return body.template operator()<kFalloffGaussian>();
        case kFalloffExponential:
            return body.template operator()<kFalloffExponential>();
        default:  // Linear, and any value the popup cannot produce
            return body.template operator()<kFalloffLinear>();
    }
}

/// The falloff curve `falloff` (Alpha falloff choice) at t; F(0) = 0. Values
/// outside the six choices behave as Linear.
inline double ApplyFalloff(std::int32_t falloff, double t) {
    return WithFalloff(falloff, [t]<std::int32_t kFalloff>() { return FalloffCurve<kFalloff>(t); });
}

/// The falloff curve `falloff` at a float t, rounded to float: what the ring
/// and the side bands store. Out of line, for code that evaluates it rarely.
float RoundedFalloff(std::int32_t falloff, float t);

/// Curve number kFalloff at a float t, rounded to float: what the ring and
/// the side bands store.
template <std::int32_t kFalloff>
inline float RoundedFalloffCurve(float t) {
    return static_cast<float>(FalloffCurve<kFalloff>(static_cast<double>(t)));
}

namespace detail {

struct MaskPoint {
    float u;
    float v;
};

/// Pixel (x, y) to mask space, used as given (no half-pixel offset).
inline MaskPoint ToMaskSpace(const MaskEvaluator& mask, std::int32_t x, std::int32_t y) {
    const auto& m = mask.transform;
    const float fx = static_cast<float>(x);
    const float fy = static_cast<float>(y);
    const float u0 = fx * m[0][0];
    const float u1 = fy * m[0][1];
    const float u2 = u0 + u1;
    const float u = u2 + m[0][2];
    const float v0 = fx * m[1][0];
    const float v1 = fy * m[1][1];
    const float v2 = v0 + v1;
    const float v = v2 + m[1][2];
    return {u, v};
}

/// Outside value R (0 in the inner shape, 1 on and beyond the outline) to M.
inline float ApplyInvert(const MaskEvaluator& mask, float outside) {
    if (mask.invert) return outside;
    return 1.0f - outside;
}

/// What the cheap tests of a shape return for a pixel in the feather
/// border, where R takes the border's arithmetic. For every other pixel they
/// return R itself: 1 outside the outline, 0 in the inner shape or inside a
/// hard edge.
inline constexpr float kInBorder = -1.0f;

/// Rectangle border, for a pixel inside the outline with a non-zero
/// feather: R from the band position(s), 0 in the inner rectangle. `curve`
/// is the falloff, double to double, as the corners combine it; `rounded`
/// is the same falloff rounded to float, float to float, as the side bands
/// store it.
template <typename Curve, typename RoundedCurve>
inline float RectangleBorderWith(const MaskEvaluator& mask, float au, float av, Curve curve, RoundedCurve rounded) {
    const bool in_band_u = au >= mask.innerHalfWidth;
    const bool in_band_v = av >= mask.innerHalfHeight;
    if (in_band_u && in_band_v) {
        // Corner: the two axis falloffs combine as a Euclidean length, which
        // rounds the corners of the border.
        const float du = au - mask.innerHalfWidth;
        const float tu = du * mask.edgeScaleU;
        const float dv = av - mask.innerHalfHeight;
        const float tv = dv * mask.edgeScaleV;
        const double fu = curve(tu);
        const double fv = curve(tv);
        const double fu2 = fu * fu;
        const double fv2 = fv * fv;
        const double sum = fu2 + fv2;
        const double q = SquareRoot(sum);
        return q > 1.0 ? 1.0f : static_cast<float>(q);
    }
    if (in_band_u) {
        const float du = au - mask.innerHalfWidth;
        const float tu = du * mask.edgeScaleU;
        return rounded(tu);
    }
    if (in_band_v) {
        const float dv = av - mask.innerHalfHeight;
        const float tv = dv * mask.edgeScaleV;
        return rounded(tv);
    }
    return 0.0f;
}

/// Ellipse ring between the inner ellipse and the outline: the fraction of
/// the way from one to the other along the ray from the centre through the
/// pixel, through `rounded`, the falloff rounded to float (float to float).
template <typename RoundedCurve>
inline float EllipseRingWith(const MaskEvaluator& mask, MaskPoint p, RoundedCurve rounded) {
    const float uu = p.u * p.u;
    const float vv = p.v * p.v;
    const float rr = vv + uu;
    const float r = SquareRoot(rr);
    // The ray's direction: u / r and v / r, taken as one pair.
    const FloatPair direction = FloatPair(p.u, p.v) / FloatPair(r, r);
    const float du = direction.first();
    const float dv = direction.second();
    // Squared radius terms of the inner ellipse along the ray...
    const float in_a = du * mask.innerHalfHeightSq;
    const float in_a2 = in_a * du;
    const float in_b = dv * mask.innerHalfWidthSq;
    const float in_b2 = in_b * dv;
    const float in_sum = in_a2 + in_b2;
    // ... and of the outline.
    const float out_a = du * mask.halfHeightSq;
    const float out_a2 = out_a * du;
    const float out_b = dv * mask.halfWidthSq;
    const float out_b2 = out_b * dv;
    const float out_sum = out_a2 + out_b2;
    // The two radii: innerAxesProduct / √in_sum and outerAxesProduct / √out_sum,
    // each root and each quotient rounded on its own, taken as pairs.
    const FloatPair radii =
        FloatPair(mask.innerAxesProduct, mask.outerAxesProduct) / SquareRoot(FloatPair(in_sum, out_sum));
    const float r_in = radii.first();
    const float r_out = radii.second();
    const float num = r - r_in;
    const float den = r_out - r_in;
    const float t = num / den;
    return rounded(t);
}

/// The two with the record's own curve, as MaskValue asks for them. Out of
/// line: they carry the square roots and curves, which only the border needs.
float RectangleBorder(const MaskEvaluator& mask, float au, float av);
float EllipseRing(const MaskEvaluator& mask, MaskPoint p);

/// The rectangle's tests at mask-space point p: R, or kInBorder.
inline float TestRectangle(const MaskEvaluator& mask, MaskPoint p) {
    const float au = std::fabs(p.u);
    const float av = std::fabs(p.v);
    // Written as "not inside" so that a NaN position (degenerate scale
    // factors) counts as outside instead of landing in the inner shape.
    if (!(au < mask.halfWidth) || !(av < mask.halfHeight)) return 1.0f;
    if (mask.feather == 0.0f) return 0.0f;  // hard edge
    // The inner rectangle, where neither band starts (RectangleBorder's last
    // case), answered here so that its pixels stay on the common path.
    if (au < mask.innerHalfWidth && av < mask.innerHalfHeight) return 0.0f;
    return kInBorder;
}

/// The ellipse's tests at mask-space point p: E, or kInBorder.
inline float TestEllipse(const MaskEvaluator& mask, MaskPoint p) {
    const float uu = p.u * p.u;
    const float vv = p.v * p.v;
    const float outer_v = vv * mask.edgeScaleV;
    const float outer_u = uu * mask.edgeScaleU;
    const float outer_sum = outer_v + outer_u;
    // "Not inside" rather than ">= 1": with a zero Width or Height the sum on
    // the zero axis is 0 × ∞ = NaN, and such an ellipse is empty.
    if (!(outer_sum < 1.0f)) return 1.0f;
    if (mask.feather == 0.0f) return 0.0f;  // hard edge
    const float inner_v = vv * mask.invInnerHalfHeightSq;
    const float inner_u = uu * mask.invInnerHalfWidthSq;
    const float inner_sum = inner_v + inner_u;
    if (inner_sum <= 1.0f) return 0.0f;  // inner ellipse, its edge included
    return kInBorder;
}

/// Rectangle outside value R at mask-space point p.
inline float RectangleOutside(const MaskEvaluator& mask, MaskPoint p) {
    const float outside = TestRectangle(mask, p);
    if (outside != kInBorder) return outside;
    return RectangleBorder(mask, std::fabs(p.u), std::fabs(p.v));
}

/// Ellipse outside value E at mask-space point p.
inline float EllipseOutside(const MaskEvaluator& mask, MaskPoint p) {
    const float outside = TestEllipse(mask, p);
    if (outside != kInBorder) return outside;
    return EllipseRing(mask, p);
}

}  // namespace detail

/// Mask value M of the rectangle at pixel (x, y). Always returns 0.
inline PF_Err RectangleMaskValue(const MaskEvaluator& mask, std::int32_t x, std::int32_t y, float& value) {
    value = detail::ApplyInvert(mask, detail::RectangleOutside(mask, detail::ToMaskSpace(mask, x, y)));
    return PF_Err_NONE;
}

/// Mask value M of the ellipse at pixel (x, y). Always returns 0.
inline PF_Err EllipseMaskValue(const MaskEvaluator& mask, std::int32_t x, std::int32_t y, float& value) {
    value = detail::ApplyInvert(mask, detail::EllipseOutside(mask, detail::ToMaskSpace(mask, x, y)));
    return PF_Err_NONE;
}

/// Mask value M at pixel (x, y) for the record's shape. Always returns 0.
/// The pixel functions compute the same value from the same pieces (the
/// transform, the shape's test, its border with the frame's curve, the
/// invert), arranged so that the common pixel never reaches the border code.
inline PF_Err MaskValue(const MaskEvaluator& mask, std::int32_t x, std::int32_t y, float& value) {
    const detail::MaskPoint p = detail::ToMaskSpace(mask, x, y);
    const float outside = mask.isEllipse ? detail::EllipseOutside(mask, p) : detail::RectangleOutside(mask, p);
    value = detail::ApplyInvert(mask, outside);
    return PF_Err_NONE;
}

/// Merges mask value M, scaled by the opacity, with alpha A (both unit
/// range). Only Add and Subtract clamp; A outside [0, 1] may pass through.
/// A mode the popup cannot produce (anything but 1 to 4) leaves the alpha
/// unchanged: an unknown mode, e.g. from a newer project, must not destroy
/// the layer, and the identity survives the 8- and 16-bit round trip exactly.
inline float CompositeAlpha(const MaskEvaluator& mask, float value, float alpha) {
    const float weight = value * mask.opacity;
    switch (mask.compositeMode) {
        case kCompositeAdd: {
            const float sum = weight + alpha;
            return sum > 1.0f ? 1.0f : sum;
        }
        case kCompositeSubtract: {
            const float difference = alpha - weight;
            return difference < 0.0f ? 0.0f : difference;
        }
        case kCompositeIntersect:
            return weight * alpha;
        case kCompositeCreate:  // the layer's alpha is replaced
            return weight;
        default:
            return alpha;
    }
}

}  // namespace quorvel
