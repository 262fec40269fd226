#include "imagefiles/TestCard.h"

#include <algorithm>
#include <cmath>

namespace quorvel::imagefiles {

namespace {

struct RGBA {
    float r, g, b, a;
};

/// Hue in [0, 1) to a saturated colour.
RGBA Hue(float h) {
    const float k[3] = {std::fmod(5.0f + h * 6.0f, 6.0f), std::fmod(3.0f + h * 6.0f, 6.0f),
                        std::fmod(1.0f + h * 6.0f, 6.0f)};
    float c[3];
    for (int i = 0; i < 3; ++i) c[i] = 1.0f - std::max(0.0f, std::min({k[i], 4.0f - k[i], 1.0f}));
    return {c[0], c[1], c[2], 1.0f};
}

RGBA CardPixel(int x, int y, int width, int height) {
    const float u = (float(x) + 0.5f) / float(width);
    const float v = (float(y) + 0.5f) / float(height);
    constexpr int kColumns = 8;
    constexpr int kRows = 5;
    RGBA c;
    if (v < 0.8f) {
        const int column = std::min(kColumns - 1, int(u * kColumns));
        const int row = std::min(kRows - 1, int(v / 0.8f * kRows));
        // Thin dark lines between patches make the grid readable.
        const float fx = u * kColumns - float(column);
        const float fy = v / 0.8f * kRows - float(row);
        const bool edge = fx < 0.02f || fx > 0.98f || fy < 0.03f || fy > 0.97f;
        c = Hue(float(column) / kColumns);
        const float shade = 1.0f - 0.18f * float(row);
        c = edge ? RGBA{0.08f, 0.08f, 0.08f, 1.0f} : RGBA{c.r * shade, c.g * shade, c.b * shade, 1.0f};
    } else {
        c = {u, u, u, 1.0f};
    }
    // The soft alpha ramp along the bottom band.
    if (v >= 0.9f) c.a = u;
    return c;
}

template <typename T>
T Quantise(float v, float max) {
    return T(std::lround(std::clamp(v, 0.0f, 1.0f) * max));
}

}  // namespace

frames::World MakeTestCard(frames::PixelLayout layout, int width, int height) {
    frames::World world(layout, width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const RGBA c = CardPixel(x, y, width, height);
            switch (layout) {
                case frames::PixelLayout::ARGB8:
                    world.At<PF_Pixel8>(x, y) = {Quantise<A_u_char>(c.a, 255), Quantise<A_u_char>(c.r, 255),
                                                 Quantise<A_u_char>(c.g, 255), Quantise<A_u_char>(c.b, 255)};
                    break;
                case frames::PixelLayout::ARGB16:
                    world.At<PF_Pixel16>(x, y) = {Quantise<A_u_short>(c.a, 32768), Quantise<A_u_short>(c.r, 32768),
                                                  Quantise<A_u_short>(c.g, 32768), Quantise<A_u_short>(c.b, 32768)};
                    break;
                case frames::PixelLayout::BGRA8:
                    world.At<frames::BGRA8Pixel>(x, y) = {
                        Quantise<std::uint8_t>(c.b, 255), Quantise<std::uint8_t>(c.g, 255),
                        Quantise<std::uint8_t>(c.r, 255), Quantise<std::uint8_t>(c.a, 255)};
                    break;
                case frames::PixelLayout::BGRA32f:
                    world.At<frames::BGRA32fPixel>(x, y) = {c.b, c.g, c.r, c.a};
                    break;
            }
        }
    }
    return world;
}

}  // namespace quorvel::imagefiles
