#include "shots/FramePattern.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string_view>

#include "shots/ShotError.h"
#include "shots/ValueText.h"

namespace quorvel::shots {

namespace {

/// The most frames one list may name: far beyond any shot, well short of
/// what would make the list itself a burden.
constexpr long long kMaxFrames = 10'000'000;

/// One signed whole number at `pos`; advances past it.
bool TakeInt(const std::string& text, std::size_t& pos, long long& value) {
    const char* begin = text.data() + pos;
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+') ++begin;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr == begin) return false;
    pos = std::size_t(ptr - text.data());
    return true;
}

}  // namespace

FramePattern::FramePattern(const std::string& option, const std::string& text) : text_(text) {
    auto bad = [&](const std::string& why) { return ShotError(frames::Mention(option) + ": '" + text + "' " + why); };
    std::string literal;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        std::size_t field_end = i;
        int width = 0;
        if (c == '%') {
            if (i + 1 < text.size() && text[i + 1] == '%') {
                literal += '%';
                i += 2;
                continue;
            }
            std::size_t j = i + 1;
            if (j < text.size() && text[j] == '0') {
                ++j;
                const std::size_t digits = j;
                while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
                if (j == digits) throw bad("has a frame field without a width (write %04d or %d)");
                // Checked as read: a width that overflows is simply too wide.
                const auto [end, ec] = std::from_chars(text.data() + digits, text.data() + j, width);
                if (ec != std::errc() || end != text.data() + j) width = std::numeric_limits<int>::max();
            }
            if (j >= text.size() || text[j] != 'd') {
                throw bad("has a '%' that is not a frame field (%d or %0Nd; write %% for a percent sign)");
            }
            field_end = j + 1;
        } else if (c == '#') {
            field_end = i;
            while (field_end < text.size() && text[field_end] == '#') ++field_end;
            width = int(field_end - i);
        } else {
            literal += c;
            ++i;
            continue;
        }
        if (numbered_) throw bad("has more than one frame field");
        if (width > 16) throw bad("pads frame numbers to more than 16 digits");
        numbered_ = true;
        width_ = width;
        prefix_ = literal;
        literal.clear();
        i = field_end;
    }
    if (numbered_) {
        suffix_ = literal;
    } else {
        prefix_ = literal;
    }
}

bool FramePattern::LooksNumbered(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '#') return true;
        if (text[i] == '%') {
            if (i + 1 < text.size() && text[i + 1] == '%') {
                ++i;
                continue;
            }
            return true;
        }
    }
    return false;
}

std::filesystem::path FramePattern::PathFor(int frame) const {
    if (!numbered_) return prefix_;
    char number[32];
    std::snprintf(number, sizeof number, "%0*d", width_, frame);
    return prefix_ + number + suffix_;
}

namespace {

/// Calls `visit(name, digits)` for each file in the folder of `prefix`
/// whose name is the prefix's last part, some text and `suffix`: the text
/// between is `digits`, unchecked. A farm's folder may hold many other
/// files: names are only compared. False when the folder cannot be read
/// or the frame number stands in a folder's name.
template <class Visit>
bool ForEachCandidate(const std::string& prefix_text, const std::string& suffix, Visit&& visit) {
    if (std::filesystem::path(suffix).has_parent_path()) return false;
    const std::filesystem::path prefix(prefix_text);
    const std::string name_prefix = prefix.filename().string();
    const std::filesystem::path folder = prefix.has_parent_path() ? prefix.parent_path() : ".";
    std::error_code ec;
    std::filesystem::directory_iterator entries(folder, ec);
    if (ec) return false;
    for (const std::filesystem::directory_iterator end; !ec && entries != end; entries.increment(ec)) {
        const std::string name = entries->path().filename().string();
        if (name.size() <= name_prefix.size() + suffix.size() || !name.starts_with(name_prefix) ||
            !name.ends_with(suffix)) {
            continue;
        }
        visit(name,
              std::string_view(name.data() + name_prefix.size(), name.size() - name_prefix.size() - suffix.size()));
    }
    return true;
}

}  // namespace

std::optional<int> FramePattern::FirstFrameOnDisk() const {
    if (!numbered_) return std::nullopt;
    std::optional<int> first;
    const bool read = ForEachCandidate(prefix_, suffix_, [&](const std::string& name, std::string_view digits) {
        int frame = 0;
        const auto [ptr, parsed] = std::from_chars(digits.data(), digits.data() + digits.size(), frame);
        if (parsed != std::errc() || ptr != digits.data() + digits.size()) return;
        if (PathFor(frame).filename().string() != name) return;
        if (!first || frame < *first) first = frame;
    });
    return read ? first : std::nullopt;
}

std::optional<std::pair<std::string, std::string>> FramePattern::OtherPadding() const {
    if (!numbered_) return std::nullopt;
    std::optional<std::string> found;
    std::size_t found_digits = 0;
    ForEachCandidate(prefix_, suffix_, [&](const std::string& name, std::string_view digits) {
        if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string_view::npos) return;
        if (PathFor(std::stoi(std::string(digits))).filename().string() == name) return;
        if (!found || name < *found) found = name, found_digits = digits.size();
    });
    if (!found) return std::nullopt;
    return std::pair{*found, prefix_ + std::string(found_digits, '#') + suffix_};
}

std::vector<int> ParseFrameList(const std::string& option, const std::string& text) {
    auto bad = [&](const std::string& why) {
        return ShotError(frames::Mention(option) + ": '" + Excerpt(text) + "' " + why +
                         " (expected frames such as 1001-1240, 1001, 1-100x5 or 1-10,20-30)");
    };
    std::vector<int> frames;
    std::vector<std::size_t> runs = {0};  // where each range's frames end
    long long total = 0;
    std::size_t pos = 0;
    while (true) {
        long long first = 0, last = 0, step = 1;
        if (!TakeInt(text, pos, first)) throw bad("is not a frame list");
        last = first;
        if (pos < text.size() && text[pos] == '-') {
            ++pos;
            if (!TakeInt(text, pos, last)) throw bad("has a range without an end");
            if (pos < text.size() && (text[pos] == 'x' || text[pos] == ':')) {
                ++pos;
                if (!TakeInt(text, pos, step) || step < 1) throw bad("has a step that is not a positive number");
            }
        }
        const long long limit = 1LL << 31;
        if (first < -limit || first >= limit || last < -limit || last >= limit) throw bad("has a frame out of range");
        if (last < first) throw bad("has a range that runs backwards");
        total += (last - first) / step + 1;
        if (total > kMaxFrames) throw bad("names more than ten million frames");
        // By count, so that a huge step cannot carry a frame past the end.
        const long long count = (last - first) / step + 1;
        for (long long i = 0; i < count; ++i) frames.push_back(int(first + i * step));
        runs.push_back(frames.size());
        if (pos == text.size()) break;
        if (text[pos] != ',') throw bad("has '" + text.substr(pos, 1) + "' where a comma or the end belongs");
        ++pos;
    }
    // Each range is ascending: merged pairwise, the list is sorted in time
    // proportional to its frames times the log of its ranges, whatever order
    // they come in (a plain sort degrades on a long range followed by a few
    // frames inside it).
    while (runs.size() > 2) {
        std::vector<std::size_t> merged = {0};
        for (std::size_t i = 0; i + 2 < runs.size(); i += 2) {
            std::inplace_merge(frames.begin() + std::ptrdiff_t(runs[i]), frames.begin() + std::ptrdiff_t(runs[i + 1]),
                               frames.begin() + std::ptrdiff_t(runs[i + 2]));
            merged.push_back(runs[i + 2]);
        }
        if ((runs.size() - 1) % 2 == 1) merged.push_back(runs.back());
        runs = std::move(merged);
    }
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    return frames;
}

FrameChunk ParseFrameChunk(const std::string& option, const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) {
        throw ShotError(frames::Mention(option) + ": expected SIZE:INDEX (such as 8:0), found '" + Excerpt(text) + "'");
    }
    FrameChunk chunk;
    chunk.size = ParseInt(option + " size", text.substr(0, colon));
    chunk.index = ParseInt(option + " index", text.substr(colon + 1));
    if (chunk.size < 1)
        throw ShotError(frames::Mention(option) + ": a chunk holds at least 1 frame, not " +
                        std::to_string(chunk.size));
    if (chunk.index < 0)
        throw ShotError(frames::Mention(option) + ": the chunk index counts from 0, not " +
                        std::to_string(chunk.index));
    return chunk;
}

std::vector<int> FramesOfChunk(const std::vector<int>& frames, const FrameChunk& chunk) {
    const std::size_t first = std::size_t(chunk.index) * std::size_t(chunk.size);
    if (first >= frames.size()) return {};
    const std::size_t end = std::min(frames.size(), first + std::size_t(chunk.size));
    return {frames.begin() + std::ptrdiff_t(first), frames.begin() + std::ptrdiff_t(end)};
}

std::string FrameRangesText(const std::vector<int>& frames) {
    if (frames.empty()) return "none";
    std::string out;
    std::size_t i = 0;
    while (i < frames.size()) {
        std::size_t j = i;
        while (j + 1 < frames.size() && std::int64_t(frames[j + 1]) == std::int64_t(frames[j]) + 1) ++j;
        if (!out.empty()) out += ", ";
        out += std::to_string(frames[i]);
        if (j > i) out += "-" + std::to_string(frames[j]);
        i = j + 1;
    }
    return out;
}

}  // namespace quorvel::shots
