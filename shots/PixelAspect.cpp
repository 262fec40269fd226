#include "shots/PixelAspect.h"

#include <cmath>
#include <cstdint>

#include "shots/SettingNames.h"
#include "shots/ValueText.h"

namespace quorvel::shots {

namespace {

/// Ratios agreeing to this (relatively) are one: a header holds the ratio in
/// single precision.
constexpr double kSameAspect = 1e-5;

std::string RatioText(const PF_RationalScale& r) { return std::to_string(r.num) + "/" + std::to_string(r.den); }

double ValueOf(const PF_RationalScale& r) { return double(r.num) / double(r.den); }

/// Takes the stated ratio, saying where it came from unless it is square.
std::optional<frames::Message> Adopt(RenderSettings& settings, double stated, const std::string& from) {
    settings.pixel_aspect_ratio = AspectRatioOf(stated);
    if (settings.pixel_aspect_ratio.num == A_long(settings.pixel_aspect_ratio.den)) return std::nullopt;
    return frames::Message("pixel aspect ratio " + RatioText(settings.pixel_aspect_ratio) + ", from " + from);
}

}  // namespace

PF_RationalScale AspectRatioOf(double value) {
    // Continued fractions: the convergents are the best approximations for
    // their denominators; the first within the header's precision is taken.
    constexpr std::int64_t kMaxDen = 10000;
    std::int64_t h0 = 0, h1 = 1, k0 = 1, k1 = 0;
    double x = value;
    PF_RationalScale best{A_long(std::lround(value)), 1};
    for (int i = 0; i < 40; ++i) {
        const double whole = std::floor(x);
        const auto a = std::int64_t(whole);
        const std::int64_t h = a * h1 + h0, k = a * k1 + k0;
        if (k > kMaxDen) break;
        best = {A_long(h), A_u_long(k)};
        if (std::fabs(double(h) / double(k) / value - 1.0) < 1e-7 || x == whole) break;
        h0 = h1, h1 = h, k0 = k1, k1 = k;
        x = 1.0 / (x - whole);
    }
    return best;
}

std::optional<frames::Message> SettlePixelAspect(RenderSettings& settings, const imagefiles::ImageFormat* image,
                                                 const std::string& image_name, const Animation* animation) {
    const std::optional<double> stated = image != nullptr ? image->pixel_aspect : std::nullopt;
    if (stated && !(*stated >= kMinPixelAspect && *stated <= kMaxPixelAspect)) {
        return frames::Message("note: the header of " + image_name + " gives a pixel aspect ratio of " +
                               NumberText(*stated) + ", which no picture has; it is not used");
    } else if (stated) {
        if (settings.par_given) {
            if (std::fabs(ValueOf(settings.pixel_aspect_ratio) / *stated - 1.0) > kSameAspect) {
                return setting::pixel_aspect_ratio + " " + RatioText(settings.pixel_aspect_ratio) +
                       " is used; the header of " + image_name + " says " + NumberText(*stated);
            }
            return std::nullopt;
        }
        return Adopt(settings, *stated, "the header of " + image_name);
    }
    if (settings.par_given || animation == nullptr) return std::nullopt;
    if (const std::optional<SourceAspect> text = animation->SourcePixelAspect()) {
        return Adopt(settings, text->ratio, "the Source Pixel Aspect Ratio of " + text->where);
    }
    return std::nullopt;
}

}  // namespace quorvel::shots
