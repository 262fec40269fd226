/// Strict parsing of option values (the whole text must be the number), and
/// numbers and bad input as the tool prints them back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "host/PF_Host.h"

namespace quorvel::shots {

/// How much of a bad value or line a message quotes.
inline constexpr std::size_t kQuoteLength = 80;
/// `text` as a message quotes it: whole when short, else its first
/// `length` bytes (not splitting a UTF-8 character) and "…".
std::string Excerpt(std::string_view text, std::size_t length = kQuoteLength);

/// `text` as a message prints it, one line of valid UTF-8: control
/// characters and bytes that are not UTF-8 (a file's names may hold any)
/// become \xNN.
std::string Printable(std::string_view text);

/// The shortest decimal text that reads back as `value`, never in exponent form.
std::string NumberText(double value);

/// A finite decimal number with an optional '+', or none: the whole text must be the number.
std::optional<double> ReadDecimal(std::string_view text);
/// A finite decimal number; throws ShotError naming the option otherwise.
double ParseNumber(const std::string& option, const std::string& text);
std::int32_t ParseInt(const std::string& option, const std::string& text);
/// "X,Y".
std::pair<double, double> ParsePair(const std::string& option, const std::string& text, char separator = ',');
/// "N/D" with a signed numerator and a positive denominator; a zero
/// numerator is refused too, as no host sends one.
PF_RationalScale ParseRational(const std::string& option, const std::string& text);
/// The longest frame side the tool makes up itself (test cards, drag layers).
inline constexpr int kMaxFrameSide = 16384;
/// "WxH", each side a whole number of pixels from 1 to kMaxFrameSide.
std::pair<int, int> ParseSize(const std::string& option, const std::string& text);
/// A value in pixels, degrees or percent to the host's 16.16; throws when it
/// does not fit.
PF_Fixed ToFixed(const std::string& option, double value);

}  // namespace quorvel::shots
