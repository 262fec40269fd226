#include "shots/KeyframeText.h"

#include <charconv>
#include <cmath>

#include "shots/Keyframes.h"
#include "shots/ShotError.h"

namespace quorvel::shots {

namespace {

constexpr std::string_view kTitleStart = "Adobe After Effects ";
constexpr std::string_view kTitleEnd = " Keyframe Data";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

/// Header entries whose values are numbers that must be positive.
constexpr std::string_view kKnownHeaders[] = {"Units Per Second", "Source Width", "Source Height",
                                              "Source Pixel Aspect Ratio", "Comp Pixel Aspect Ratio"};

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::string_view Trim(std::string_view s) {
    s = TrimRight(s);
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    return s;
}

/// The text's lines, whatever ends them: CR LF, LF or a lone CR.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

/// A line's tab-separated fields, without the usual leading tab and the
/// trailing empty fields the host's trailing tab leaves.
struct Fields {
    bool indented = false;
    std::vector<std::string> fields;
};

Fields SplitFields(std::string_view line) {
    Fields f;
    f.indented = !line.empty() && line.front() == '\t';
    if (f.indented) line.remove_prefix(1);
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        f.fields.emplace_back(Trim(line.substr(start, tab == std::string_view::npos ? line.npos : tab - start)));
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    while (!f.fields.empty() && f.fields.back().empty()) f.fields.pop_back();
    return f;
}

std::optional<double> ReadNumber(const std::string& text) {
    double value = 0;
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string Joined(const std::vector<std::string>& parts, std::string_view separator) {
    std::string s;
    for (std::size_t i = 0; i < parts.size(); ++i) s += (i ? std::string(separator) : "") + parts[i];
    return s;
}

/// "Frame<TAB>X pixels<TAB>Y pixels", as messages show a column line.
std::string ColumnLineText(const KeyTextBlock& block) {
    std::vector<std::string> parts = {"Frame"};
    for (const std::string& c : block.columns) {
        if (!c.empty()) parts.push_back(c);
    }
    return Joined(parts, "<TAB>");
}

class Parser {
public:
    Parser(std::string_view text, const std::string& file) : file_(file) {
        if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
        lines_ = SplitLines(text);
    }

    KeyText Parse() {
        if (lines_.empty() || !LooksLikeKeyText(lines_[0])) {
            Fail(1, "expected the title line '" + std::string(kKeyTextTitle) + "'");
        }
        bool ended = false;
        for (std::size_t i = 1; i < lines_.size(); ++i) {
            line_ = int(i) + 1;
            const std::string_view raw = TrimRight(lines_[i]);
            if (ended) {
                if (!Trim(raw).empty()) Fail(line_, "expected nothing after '" + std::string(kKeyTextEnd) + "'");
                continue;
            }
            if (Trim(raw).empty() || Trim(raw) == kKeyTextEnd) {
                FinishBlock();
                ended = Trim(raw) == kKeyTextEnd;
                continue;
            }
            Take(SplitFields(raw));
        }
        if (!ended) {
            Fail(int(lines_.size()),
                 "expected '" + std::string(kKeyTextEnd) + "' after the last block (is the data cut short?)");
        }
        return std::move(doc_);
    }

private:
    enum class State { Header, Columns, Rows, Between };

    [[noreturn]] void Fail(int line, const std::string& what) const {
        throw ShotError(file_ + ":" + std::to_string(line) + ": " + what);
    }

    void FinishBlock() {
        if (state_ == State::Columns) ExpectColumns();
        if (state_ == State::Rows && doc_.blocks.back().rows.empty()) ExpectFirstRow();
        if (state_ != State::Header) state_ = State::Between;
    }

    [[noreturn]] void ExpectColumns() const {
        Fail(line_, "expected the column line (Frame<TAB>units...) after the path '" +
                        Joined(doc_.blocks.back().path, "<TAB>") + "'");
    }
    [[noreturn]] void ExpectFirstRow() const {
        Fail(line_, "expected a row of numbers after the column line '" + ColumnLineText(doc_.blocks.back()) + "'");
    }

    void Take(const Fields& f) {
        switch (state_) {
            case State::Header:
                if (f.indented || IsKnownHeader(f.fields.front())) {
                    TakeHeader(f);
                    return;
                }
                StartBlock(f);
                return;
            case State::Between:
                if (f.indented) {
                    Fail(line_, "expected a property path (such as Transform<TAB>Position) or '" +
                                    std::string(kKeyTextEnd) + "'");
                }
                StartBlock(f);
                return;
            case State::Columns:
                if (f.fields.front() != "Frame") ExpectColumns();
                {
                    KeyTextBlock& block = doc_.blocks.back();
                    block.columns.assign(f.fields.begin() + 1, f.fields.end());
                    if (block.columns.empty()) block.columns.push_back("");
                }
                state_ = State::Rows;
                return;
            case State::Rows:
                if (!ReadNumber(f.fields.front())) {
                    if (doc_.blocks.back().rows.empty()) ExpectFirstRow();
                    // Some writers leave out the blank line between blocks.
                    if (!f.indented) {
                        StartBlock(f);
                        return;
                    }
                    Fail(line_, "expected a row of numbers, a blank line or '" + std::string(kKeyTextEnd) + "'");
                }
                TakeRow(f);
                return;
        }
    }

    static bool IsKnownHeader(const std::string& name) {
        for (std::string_view known : kKnownHeaders) {
            if (name == known) return true;
        }
        return false;
    }

    void TakeHeader(const Fields& f) {
        if (f.fields.size() != 2 || f.fields[0].empty()) {
            Fail(line_, "expected a header line NAME<TAB>VALUE (such as Units Per Second<TAB>24)");
        }
        if (IsKnownHeader(f.fields[0])) {
            const auto v = ReadNumber(f.fields[1]);
            if (!v || *v <= 0) Fail(line_, "expected a positive number after '" + f.fields[0] + "'");
        }
        doc_.header.push_back({f.fields[0], f.fields[1], line_});
    }

    void StartBlock(const Fields& f) {
        KeyTextBlock block;
        block.path = f.fields;
        block.line = line_;
        doc_.blocks.push_back(std::move(block));
        state_ = State::Columns;
    }

    void TakeRow(const Fields& f) {
        KeyTextBlock& block = doc_.blocks.back();
        if (f.fields.size() != block.columns.size() + 1) {
            Fail(line_, "expected " + std::to_string(block.columns.size() + 1) + " numbers as the column line '" +
                            ColumnLineText(block) + "' says, found " + std::to_string(f.fields.size()));
        }
        KeyTextRow row;
        row.line = line_;
        row.frame = *ReadNumber(f.fields[0]);
        for (std::size_t c = 1; c < f.fields.size(); ++c) {
            const auto v = ReadNumber(f.fields[c]);
            if (!v) {
                Fail(line_, "expected a number in column " + std::to_string(c + 1) + ", found '" + f.fields[c] +
                                "' (decimals take a point)");
            }
            row.values.push_back(*v);
        }
        if (!block.rows.empty() && row.frame <= block.rows.back().frame) {
            Fail(line_, "expected frames in ascending order: frame " + NumberText(row.frame) + " follows frame " +
                            NumberText(block.rows.back().frame));
        }
        block.rows.push_back(std::move(row));
    }

    std::string file_;
    std::vector<std::string_view> lines_;
    KeyText doc_;
    State state_ = State::Header;
    int line_ = 1;
};

}  // namespace

std::string KeyTextBlock::PathText() const { return Joined(path, " / "); }

const KeyTextHeaderLine* KeyText::Find(std::string_view name) const {
    for (const KeyTextHeaderLine& h : header) {
        if (h.name == name) return &h;
    }
    return nullptr;
}

bool LooksLikeKeyText(std::string_view text) {
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
    const std::string_view first = TrimRight(text.substr(0, text.find_first_of("\r\n")));
    return first.size() > kTitleStart.size() + kTitleEnd.size() && first.substr(0, kTitleStart.size()) == kTitleStart &&
           first.substr(first.size() - kTitleEnd.size()) == kTitleEnd;
}

KeyText ParseKeyText(std::string_view text, const std::string& file) { return Parser(text, file).Parse(); }

std::string WriteKeyText(const KeyText& text) {
    std::string out = std::string(kKeyTextTitle) + "\n\n";
    for (const KeyTextHeaderLine& h : text.header) out += "\t" + h.name + "\t" + h.value + "\n";
    out += "\n";
    for (const KeyTextBlock& block : text.blocks) {
        out += Joined(block.path, "\t") + "\n";
        out += "\tFrame";
        for (const std::string& c : block.columns) out += "\t" + c;
        out += "\t\n";
        for (const KeyTextRow& row : block.rows) {
            out += "\t" + NumberText(row.frame);
            for (double v : row.values) out += "\t" + NumberText(v);
            out += "\t\n";
        }
        out += "\n";
    }
    return out + std::string(kKeyTextEnd) + "\n";
}

}  // namespace quorvel::shots
