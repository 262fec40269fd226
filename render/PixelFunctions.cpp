#include "PixelFunctions.h"

#include <cstring>

#include "MaskEvaluator.h"

namespace quorvel {

namespace {

// Where each layout keeps its alpha and how it maps to unit range. The whole
// pixel is copied through, so the colour channels keep their exact bits.
struct ARGB8Layout {
    using Pixel = PF_Pixel8;
    static float Alpha(const Pixel& p) { return AlphaToUnit8(p.alpha); }
    static void SetAlpha(Pixel& p, float unit) { p.alpha = UnitToAlpha8(unit); }
};

struct ARGB16Layout {
    using Pixel = PF_Pixel16;
    static float Alpha(const Pixel& p) { return AlphaToUnit16(p.alpha); }
    static void SetAlpha(Pixel& p, float unit) { p.alpha = UnitToAlpha16(unit); }
};

struct BGRA8Layout {
    using Pixel = PixelBGRA8;
    static float Alpha(const Pixel& p) { return AlphaToUnit8(p.alpha); }
    static void SetAlpha(Pixel& p, float unit) { p.alpha = UnitToAlpha8(unit); }
};

struct BGRA32fLayout {
    using Pixel = PixelBGRA32f;
    static float Alpha(const Pixel& p) { return p.alpha; }
    static void SetAlpha(Pixel& p, float unit) { p.alpha = unit; }
};

/// The one pixel step every layout shares. The pixel goes through a local
/// copy: the host's buffers are raw memory (the BGRA bytes arrive typed as
/// PF_Pixel8), and `in` may be `out` when the host renders in place.
template <typename Layout>
PF_Err MaskPixel(const void* refcon, A_long x, A_long y, const void* in, void* out) {
    const auto& mask = *static_cast<const MaskEvaluator*>(refcon);
    typename Layout::Pixel pixel;
    std::memcpy(&pixel, in, sizeof pixel);
    const float alpha = Layout::Alpha(pixel);
    float value = 0.0f;
    const PF_Err err = MaskValue(mask, x, y, value);
    const float merged = CompositeAlpha(mask, value, alpha);
    Layout::SetAlpha(pixel, merged);
    std::memcpy(out, &pixel, sizeof pixel);
    return err;
}

}  // namespace

PF_Err MaskPixelARGB8(void* refcon, A_long x, A_long y, PF_Pixel8* in, PF_Pixel8* out) {
    return MaskPixel<ARGB8Layout>(refcon, x, y, in, out);
}

PF_Err MaskPixelARGB16(void* refcon, A_long x, A_long y, PF_Pixel16* in, PF_Pixel16* out) {
    return MaskPixel<ARGB16Layout>(refcon, x, y, in, out);
}

PF_Err MaskPixelBGRA8(void* refcon, A_long x, A_long y, PF_Pixel8* in, PF_Pixel8* out) {
    static_assert(sizeof(PF_Pixel8) == sizeof(PixelBGRA8));
    return MaskPixel<BGRA8Layout>(refcon, x, y, in, out);
}

PF_Err MaskPixelBGRA32f(void* refcon, A_long x, A_long y, PixelBGRA32f* in, PixelBGRA32f* out) {
    return MaskPixel<BGRA32fLayout>(refcon, x, y, in, out);
}

}  // namespace quorvel
