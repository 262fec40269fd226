#include "shots/FrameRate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>

#include "shots/ShotError.h"
#include "shots/ValueText.h"

namespace quorvel::shots {

A_long FrameRate::TimeOf(int frame) const {
    const std::int64_t time = std::int64_t(frame) * time_step;
    if (time < INT32_MIN || time > INT32_MAX) {
        throw ShotError("frame " + std::to_string(frame) + " at " + std::to_string(time_scale) + "/" +
                        std::to_string(time_step) + " frames/s is beyond the host's time range");
    }
    return A_long(time);
}

FrameRate ParseFrameRate(const std::string& option, const std::string& text) {
    auto bad = [&] {
        return ShotError(frames::Mention(option) + ": '" + text +
                         "' is not a frame rate (such as 24, 25, 23.976, 29.97 or 24000/1001)");
    };
    // The NTSC family: what users type is a rounding of N*1000/1001.
    static const struct {
        const char* name;
        A_u_long scale;
    } kNtsc[] = {{"23.976", 24000}, {"23.98", 24000}, {"29.97", 30000},
                 {"47.952", 48000}, {"59.94", 60000}, {"119.88", 120000}};
    for (const auto& n : kNtsc) {
        if (text == n.name) return FrameRate{n.scale, 1001};
    }
    std::int64_t num = 0, den = 1;
    if (const auto slash = text.find('/'); slash != std::string::npos) {
        num = ParseInt(option, text.substr(0, slash));
        den = ParseInt(option, text.substr(slash + 1));
    } else {
        // A decimal, taken exactly: 12.5 is 125/10.
        const auto dot = text.find('.');
        const std::string whole = text.substr(0, dot);
        const std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
        if (whole.empty() || fraction.size() > 6 || (dot != std::string::npos && fraction.empty())) throw bad();
        for (char c : whole + fraction) {
            if (c < '0' || c > '9') throw bad();
        }
        num = ParseInt(option, whole + fraction);
        for (std::size_t i = 0; i < fraction.size(); ++i) den *= 10;
    }
    if (num <= 0 || den <= 0) throw bad();
    const std::int64_t g = std::gcd(num, den);
    num /= g;
    den /= g;
    if (double(num) / double(den) > 1000.0) throw ShotError(frames::Mention(option) + ": more than 1000 frames/s");
    // A frame every 1000 seconds is the slowest clock a host keeps.
    if (num * 1000 < den) throw ShotError(frames::Mention(option) + ": less than 0.001 frames/s");
    return FrameRate{A_u_long(num), A_long(den)};
}

FrameRate NearestFrameRate(double fps) {
    constexpr double kSame = 1e-4;  // relatively: the data rounds its rates
    for (A_u_long scale : {24000u, 30000u, 48000u, 60000u, 120000u}) {
        if (std::abs(fps / (scale / 1001.0) - 1.0) < kSame) return FrameRate{scale, 1001};
    }
    if (std::abs(fps - std::round(fps)) < kSame * fps && std::round(fps) >= 1)
        return FrameRate{A_u_long(std::round(fps)), 1};
    return FrameRate{A_u_long(std::max(1.0, std::round(fps * 1000.0))), 1000};
}

}  // namespace quorvel::shots
