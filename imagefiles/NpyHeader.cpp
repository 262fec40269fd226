#include "imagefiles/NpyHeader.h"

#include <charconv>
#include <limits>
#include <optional>

#include "frames/HostError.h"

namespace quorvel::imagefiles {

namespace {

/// At most this much of a bad header goes into a message.
constexpr std::size_t kExcerpt = 40;

class HeaderReader {
public:
    HeaderReader(std::string_view text, const std::string& file) : text_(text), file_(file) {}

    [[noreturn]] void Fail(const std::string& what) const {
        std::string excerpt(text_.substr(at_, kExcerpt));
        for (char& c : excerpt) {
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) c = '?';
        }
        throw frames::HostError(file_ + ": .npy header: " + what + " at byte " + std::to_string(at_) + " ('" + excerpt +
                                (text_.size() - at_ > kExcerpt ? "...'" : "'") + ")");
    }

    void SkipSpace() {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
            ++at_;
        }
    }
    bool Take(char c) {
        SkipSpace();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    void Expect(char c, const char* what) {
        if (!Take(c)) Fail(std::string("expected ") + what);
    }
    bool AtEnd() {
        SkipSpace();
        return at_ == text_.size();
    }
    char Peek() {
        SkipSpace();
        return at_ < text_.size() ? text_[at_] : '\0';
    }

    /// A string in single or double quotes, without escapes (NumPy writes none).
    std::string String() {
        SkipSpace();
        const char quote = at_ < text_.size() ? text_[at_] : '\0';
        if (quote != '\'' && quote != '"') Fail("expected a quoted string");
        const std::size_t end = text_.find(quote, at_ + 1);
        if (end == std::string_view::npos) Fail("unterminated string");
        if (end - at_ - 1 > kMaxNpyString) Fail("string too long");
        std::string s(text_.substr(at_ + 1, end - at_ - 1));
        if (s.find('\\') != std::string::npos) Fail("escapes in strings are not read");
        at_ = end + 1;
        return s;
    }

    std::optional<bool> Boolean() {
        SkipSpace();
        for (const auto& [word, value] : {std::pair{std::string_view("True"), true}, {"False", false}}) {
            if (text_.substr(at_, word.size()) == word) {
                at_ += word.size();
                return value;
            }
        }
        return std::nullopt;
    }

    /// A whole number, with an optional minus sign; `what` names it for messages.
    std::int64_t Integer(const char* what) {
        SkipSpace();
        std::int64_t value = 0;
        const char* begin = text_.data() + at_;
        const char* end = text_.data() + text_.size();
        const auto [ptr, ec] = std::from_chars(begin, end, value);
        if (ptr == begin) Fail(std::string("expected ") + what);
        at_ += std::size_t(ptr - begin);
        // Too long for 64 bits is simply too large (or too negative) a number.
        if (ec == std::errc::result_out_of_range) {
            return *begin == '-' ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
        }
        return value;
    }

    /// "(H, W, 4)", "(5,)", "()".
    std::vector<std::int64_t> Tuple() {
        Expect('(', "'(' opening the shape");
        std::vector<std::int64_t> items;
        while (!Take(')')) {
            if (items.size() == kMaxNpyDimensions)
                Fail("more than " + std::to_string(kMaxNpyDimensions) + " dimensions");
            items.push_back(Integer("a dimension"));
            if (!Take(',')) {
                Expect(')', "',' or ')' in the shape");
                break;
            }
        }
        return items;
    }

    /// A value of a key this reader does not use: passed over.
    void SkipValue() {
        const char c = Peek();
        if (c == '\'' || c == '"') {
            String();
        } else if (c == '(') {
            Tuple();
        } else if (!Boolean()) {
            Integer("a value");
        }
    }

private:
    std::string_view text_;
    const std::string& file_;
    std::size_t at_ = 0;
};

}  // namespace

NpyHeader ParseNpyHeader(std::string_view text, const std::string& file) {
    HeaderReader r(text, file);
    NpyHeader header;
    bool has_descr = false;
    bool has_shape = false;
    bool has_order = false;
    r.Expect('{', "'{' opening the header");
    while (!r.Take('}')) {
        const std::string key = r.String();
        r.Expect(':', "':' after a key");
        if (key == "descr") {
            if (has_descr) r.Fail("descr given twice");
            if (r.Peek() != '\'' && r.Peek() != '"') r.Fail("a structured dtype (only plain ones are read)");
            header.descr = r.String();
            has_descr = true;
        } else if (key == "fortran_order") {
            if (has_order) r.Fail("fortran_order given twice");
            const std::optional<bool> order = r.Boolean();
            if (!order) r.Fail("expected True or False");
            header.fortran_order = *order;
            has_order = true;
        } else if (key == "shape") {
            if (has_shape) r.Fail("shape given twice");
            header.shape = r.Tuple();
            for (std::int64_t dim : header.shape) {
                if (dim < 0) r.Fail("a negative dimension, " + std::to_string(dim) + ",");
            }
            has_shape = true;
        } else {
            r.SkipValue();
        }
        if (!r.Take(',')) {
            r.Expect('}', "',' or '}' after a value");
            break;
        }
    }
    if (!r.AtEnd()) r.Fail("text after the header's closing '}'");
    if (!has_descr) throw frames::HostError(file + ": .npy header has no dtype");
    if (!has_shape) throw frames::HostError(file + ": .npy header has no shape");
    return header;
}

}  // namespace quorvel::imagefiles
