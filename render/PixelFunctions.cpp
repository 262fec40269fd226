#include "render/PixelFunctions.h"

#include <array>
#include <cmath>
#include <cstring>

#include "render/FastFalloff.h"
#include "render/MaskEvaluator.h"

namespace quorvel {

namespace {

/// Where the functions run once per pixel start: at a cache line, so that
/// their common path spans as few lines of the instruction cache and of the
/// decoded-instruction cache as it can. Where they happened to fall otherwise
/// moved the default frame's time by a fifth on the machine the benchmarks
/// ran on.
constexpr int kCodeAlignment = 64;

/// AlphaToUnit8 of every byte, worked out by the compiler: the same correctly
/// rounded quotients, without a division in every pixel.
constexpr std::array<float, 256> kUnitOfAlpha8 = [] {
    std::array<float, 256> table{};
    for (int k = 0; k < 256; ++k) table[std::size_t(k)] = AlphaToUnit8(std::uint8_t(k));
    return table;
}();

// Where each layout keeps its alpha and how it maps to unit range. The whole
// pixel is copied through, so the colour channels keep their exact bits.
struct ARGB8Layout {
    using Pixel = PF_Pixel8;
    static float Alpha(const Pixel& p) { return kUnitOfAlpha8[p.alpha]; }
    static void SetAlpha(Pixel& p, float unit) { p.alpha = UnitToAlpha8(unit); }
};

struct ARGB16Layout {
    using Pixel = PF_Pixel16;
    static float Alpha(const Pixel& p) { return AlphaToUnit16(p.alpha); }
    static void SetAlpha(Pixel& p, float unit) { p.alpha = UnitToAlpha16(unit); }
};

struct BGRA8Layout {
    using Pixel = PixelBGRA8;
    static float Alpha(const Pixel& p) { return kUnitOfAlpha8[p.alpha]; }
    static void SetAlpha(Pixel& p, float unit) { p.alpha = UnitToAlpha8(unit); }
};

struct BGRA32fLayout {
    using Pixel = PixelBGRA32f;
    static float Alpha(const Pixel& p) { return p.alpha; }
    static void SetAlpha(Pixel& p, float unit) { p.alpha = unit; }
};

/// The pixel's last step, once its outside value R is known: alpha in, mask
/// value, composite, alpha out. The pixel goes through a local copy: the
/// host's buffers are raw memory (the BGRA bytes arrive typed as PF_Pixel8),
/// and `in` may be `out` when the host renders in place.
template <typename Layout>
inline PF_Err StorePixel(const MaskEvaluator& mask, float outside, const void* in, void* out) {
    typename Layout::Pixel pixel;
    std::memcpy(&pixel, in, sizeof pixel);
    const float alpha = Layout::Alpha(pixel);
    const float value = detail::ApplyInvert(mask, outside);
    const float merged = CompositeAlpha(mask, value, alpha);
    Layout::SetAlpha(pixel, merged);
    std::memcpy(out, &pixel, sizeof pixel);
    return PF_Err_NONE;
}

// The feather border's pixels, entered from MaskPixel by a tail call: the
// common pixel (outside the outline or in the inner shape) then costs a leaf
// function with no register saved and no stack frame, and only the border
// pays for the square roots and curves. One of each per falloff curve, chosen
// before the call, so that the cheap curves run with no dispatch of their own
// and no call around them. Where the curve's value is rounded to float (the
// ring, the side bands) it comes from the fast curves; the rectangle's
// corners combine the exact double values.
template <typename Layout, std::int32_t kFalloff>
[[gnu::noinline, gnu::aligned(kCodeAlignment)]] PF_Err EllipseRingPixel(const MaskEvaluator& mask, float u, float v,
                                                                        const void* in, void* out) {
    const float outside = detail::EllipseRingWith(mask, {u, v}, FastRoundedFalloff<kFalloff>);
    return StorePixel<Layout>(mask, outside, in, out);
}

template <typename Layout, std::int32_t kFalloff>
[[gnu::noinline, gnu::aligned(kCodeAlignment)]] PF_Err RectangleBorderPixel(const MaskEvaluator& mask, float au,
                                                                            float av, const void* in, void* out) {
    const float outside =
        detail::RectangleBorderWith(mask, au, av, FalloffCurve<kFalloff>, FastRoundedFalloff<kFalloff>);
    return StorePixel<Layout>(mask, outside, in, out);
}

/// The one pixel step every layout shares: MaskValue and the composite, with
/// the border's arithmetic kept off the common path. The border functions
/// take the position as two floats, not as a MaskPoint, so that no pair has
/// to be packed on the common path for a call it does not make.
template <typename Layout>
PF_Err MaskPixel(const void* refcon, A_long x, A_long y, const void* in, void* out) {
    const auto& mask = *static_cast<const MaskEvaluator*>(refcon);
    const detail::MaskPoint p = detail::ToMaskSpace(mask, x, y);
    if (mask.isEllipse) {
        const float outside = detail::TestEllipse(mask, p);
        if (outside == detail::kInBorder) [[unlikely]] {
            return WithFalloff(mask.falloff, [&]<std::int32_t kFalloff>() {
                return EllipseRingPixel<Layout, kFalloff>(mask, p.u, p.v, in, out);
            });
        }
        return StorePixel<Layout>(mask, outside, in, out);
    }
    const float outside = detail::TestRectangle(mask, p);
    if (outside == detail::kInBorder) [[unlikely]] {
        return WithFalloff(mask.falloff, [&]<std::int32_t kFalloff>() {
            return RectangleBorderPixel<Layout, kFalloff>(mask, std::fabs(p.u), std::fabs(p.v), in, out);
        });
    }
    return StorePixel<Layout>(mask, outside, in, out);
}

}  // namespace

[[gnu::aligned(kCodeAlignment)]] PF_Err MaskPixelARGB8(void* refcon, A_long x, A_long y, PF_Pixel8* in,
                                                       PF_Pixel8* out) {
    return MaskPixel<ARGB8Layout>(refcon, x, y, in, out);
}

[[gnu::aligned(kCodeAlignment)]] PF_Err MaskPixelARGB16(void* refcon, A_long x, A_long y, PF_Pixel16* in,
                                                        PF_Pixel16* out) {
    return MaskPixel<ARGB16Layout>(refcon, x, y, in, out);
}

[[gnu::aligned(kCodeAlignment)]] PF_Err MaskPixelBGRA8(void* refcon, A_long x, A_long y, PF_Pixel8* in,
                                                       PF_Pixel8* out) {
    static_assert(sizeof(PF_Pixel8) == sizeof(PixelBGRA8));
    return MaskPixel<BGRA8Layout>(refcon, x, y, in, out);
}

[[gnu::aligned(kCodeAlignment)]] PF_Err MaskPixelBGRA32f(void* refcon, A_long x, A_long y, PixelBGRA32f* in,
                                                         PixelBGRA32f* out) {
    return MaskPixel<BGRA32fLayout>(refcon, x, y, in, out);
}

}  // namespace quorvel
