#include "shots/ValueText.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <string>

#include "numeric/FixedPoint.h"
#include "shots/ShotError.h"

namespace quorvel::shots {

std::string Excerpt(std::string_view text, std::size_t length) {
    if (text.size() <= length) return std::string(text);
    std::size_t cut = length;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return std::string(text.substr(0, cut)) + "\xE2\x80\xA6";  // an ellipsis
}

namespace {

/// The length of the well-formed UTF-8 character at the start of `text`, or 0.
std::size_t CharacterLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, least = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    char32_t code = lead & (0x3F >> (length - 1));
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

std::string Printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += char(c);
            ++i;
            continue;
        }
        if (const std::size_t length = c >= 0x80 ? CharacterLength(text.substr(i)) : 0) {
            out.append(text.substr(i, length));
            i += length;
            continue;
        }
        static constexpr char kHex[] = "0123456789abcdef";
        out += "\\x";
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
        ++i;
    }
    return out;
}

std::string NumberText(double value) {
    char text[400];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (ec != std::errc()) return std::to_string(value);
    std::string s(text, end);
    return s == "-0" ? "0" : s;
}

std::optional<double> ReadDecimal(std::string_view text) {
    double value = 0;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (!text.empty() && *begin == '+') ++begin;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
    return value;
}

double ParseNumber(const std::string& option, const std::string& text) {
    const std::optional<double> value = ReadDecimal(text);
    if (!value) throw ShotError(frames::Mention(option) + ": '" + Excerpt(text) + "' is not a number");
    return *value;
}

std::int32_t ParseInt(const std::string& option, const std::string& text) {
    std::int32_t value = 0;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (!text.empty() && *begin == '+') ++begin;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (text.empty() || ec != std::errc() || ptr != end) {
        throw ShotError(frames::Mention(option) + ": '" + Excerpt(text) + "' is not a whole number");
    }
    return value;
}

std::pair<double, double> ParsePair(const std::string& option, const std::string& text, char separator) {
    const auto at = text.find(separator);
    if (at == std::string::npos) {
        throw ShotError(frames::Mention(option) + ": expected two numbers as X" + std::string(1, separator) +
                        "Y, got '" + Excerpt(text) + "'");
    }
    return {ParseNumber(option, text.substr(0, at)), ParseNumber(option, text.substr(at + 1))};
}

PF_RationalScale ParseRational(const std::string& option, const std::string& text) {
    const auto at = text.find('/');
    if (at == std::string::npos)
        throw ShotError(frames::Mention(option) + ": expected a ratio N/D, got '" + Excerpt(text) + "'");
    const std::int32_t num = ParseInt(option, text.substr(0, at));
    const std::int32_t den = ParseInt(option, text.substr(at + 1));
    if (den <= 0)
        throw ShotError(frames::Mention(option) + ": the denominator of '" + Excerpt(text) + "' must be positive");
    if (num == 0)
        throw ShotError(frames::Mention(option) + ": the numerator of '" + Excerpt(text) + "' must not be zero");
    return PF_RationalScale{num, A_u_long(den)};
}

std::pair<int, int> ParseSize(const std::string& option, const std::string& text) {
    const auto at = text.find('x');
    if (at == std::string::npos)
        throw ShotError(frames::Mention(option) + ": expected WxH, got '" + Excerpt(text) + "'");
    const int w = ParseInt(option, text.substr(0, at));
    const int h = ParseInt(option, text.substr(at + 1));
    if (w < 1 || h < 1 || w > kMaxFrameSide || h > kMaxFrameSide) {
        throw ShotError(frames::Mention(option) + ": each side must be 1 to " + std::to_string(kMaxFrameSide) +
                        " pixels, not '" + Excerpt(text) + "'");
    }
    return {w, h};
}

PF_Fixed ToFixed(const std::string& option, double value) {
    const std::optional<PF_Fixed> fixed = CheckedFixedFromDoubleNearestTiesEven(value);
    if (!fixed) {
        throw ShotError(frames::Mention(option) + ": " + std::to_string(value) +
                        " is outside the host's range (-32768 to 32767)");
    }
    return *fixed;
}

}  // namespace quorvel::shots
