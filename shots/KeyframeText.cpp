#include "shots/KeyframeText.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "shots/ShotError.h"
#include "shots/ValueText.h"

namespace quorvel::shots {

namespace {

constexpr std::string_view kTitleStart = "Adobe After Effects ";
constexpr std::string_view kTitleEnd = " Keyframe Data";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

/// Header entries the hosts write: a line that starts with one is a header
/// line, with or without its leading tab.
constexpr std::string_view kKnownHeaders[] = {"Units Per Second", "Source Width", "Source Height",
                                              "Source Pixel Aspect Ratio", "Comp Pixel Aspect Ratio"};

/// Limits far beyond what hosts and trackers write; past them the text is
/// refused rather than read.
constexpr std::size_t kMaxLineLength = 65536;
constexpr std::size_t kMaxRows = std::size_t(1) << 24;  // in all blocks together

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::string_view Trim(std::string_view s) {
    s = TrimRight(s);
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    return s;
}

/// The text's lines one after the other, whatever ends them: CR LF, LF or a lone CR.
class Lines {
public:
    explicit Lines(std::string_view text) : text_(text) {}
    /// How many lines there are at most from here: what a block may reserve.
    std::size_t Remaining() const {
        const std::string_view rest = text_.substr(std::min(at_, text_.size()));
        return std::size_t(std::count(rest.begin(), rest.end(), '\n') + std::count(rest.begin(), rest.end(), '\r')) + 1;
    }
    bool Next(std::string_view& line) {
        if (at_ >= text_.size()) return false;
        const std::size_t end = std::min(text_.find_first_of("\r\n", at_), text_.size());
        line = text_.substr(at_, end - at_);
        at_ = end +
              (end < text_.size() && text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n' ? 2 : 1);
        return true;
    }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

/// A line's tab-separated fields, without the usual leading tab and the
/// trailing empty fields the host's trailing tab leaves. The fields point
/// into the text, and the vector is reused from line to line.
struct Fields {
    bool indented = false;
    std::vector<std::string_view> fields;
};

void SplitFields(std::string_view line, Fields& f) {
    f.fields.clear();
    f.indented = !line.empty() && line.front() == '\t';
    if (f.indented) line.remove_prefix(1);
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        f.fields.push_back(Trim(line.substr(start, tab == std::string_view::npos ? line.npos : tab - start)));
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    while (!f.fields.empty() && f.fields.back().empty()) f.fields.pop_back();
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
    return Excerpt(Joined(parts, "<TAB>"));
}

constexpr std::string_view kLayerLine = "Layer";
constexpr std::string_view kExpressionStart = "Expression Data";
constexpr std::string_view kExpressionEnd = "End of Expression Data";

class Parser {
public:
    Parser(std::string_view text, const std::string& file) : file_(file), lines_(text) {
        if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) lines_ = Lines(text.substr(kByteOrderMark.size()));
    }

    KeyText Parse() {
        std::string_view raw;
        if (!lines_.Next(raw) || !LooksLikeKeyText(raw)) {
            Fail(1, "expected the title line '" + std::string(kKeyTextTitle) + "'");
        }
        bool ended = false;
        while (lines_.Next(raw)) {
            ++line_;
            if (raw.size() > kMaxLineLength) {
                Fail(line_, "the line is longer than " + std::to_string(kMaxLineLength) + " characters");
            }
            // Keywords are told apart from data whatever indents them.
            std::string_view trimmed = Trim(raw);
            while (!trimmed.empty() && (trimmed.front() == '\t' || trimmed.front() == ' ')) trimmed.remove_prefix(1);
            if (ended) {
                if (!trimmed.empty()) Fail(line_, "expected nothing after '" + std::string(kKeyTextEnd) + "'");
                continue;
            }
            if (state_ == State::Expression) {
                if (trimmed == kExpressionEnd) state_ = State::Between;
                if (trimmed != kKeyTextEnd) continue;
            }
            if (trimmed == kKeyTextEnd) {
                FinishBlock();
                ended = true;
                continue;
            }
            if (trimmed.empty()) {
                // A writer may leave a blank line between a path and its column line.
                if (state_ != State::Path) FinishBlock();
                // The blank line after the header lines ends the header (the
                // second after the title when there are none): a block's path
                // may start with a header's name.
                if (state_ == State::Header && (!doc_.header.empty() || blank_in_header_)) state_ = State::Between;
                blank_in_header_ = true;
                continue;
            }
            SplitFields(TrimRight(raw), fields_);
            Take(fields_, trimmed);
        }
        if (!ended) {
            Fail(std::max(line_, 1),
                 "expected '" + std::string(kKeyTextEnd) + "' after the last block (is the data cut short?)");
        }
        return std::move(doc_);
    }

private:
    /// Path: after a path line, before its column line. Rows: after the
    /// column line. Skip: the rest of a block found faulty.
    enum class State { Header, Path, Rows, Skip, Expression, Between };

    [[noreturn]] void Fail(int line, const std::string& what) const {
        throw ShotError(file_ + ":" + std::to_string(line) + ": " + what);
    }

    KeyTextBlock& Block() { return doc_.blocks.back(); }

    /// Marks the current block as unusable, for `what` on this line; its
    /// further lines are read and not kept.
    void Fault(const std::string& what) {
        KeyTextBlock& block = Block();
        if (block.fault.empty()) block.fault = file_ + ":" + std::to_string(line_) + ": " + what;
        state_ = State::Skip;
    }

    void FinishBlock() {
        if (state_ == State::Path) Fault(ExpectColumns());
        if (state_ == State::Rows && Block().rows.empty() && !Block().constant) Fault(ExpectFirstRow());
        if (state_ == State::Expression) Fault("expected '" + std::string(kExpressionEnd) + "'");
        if (state_ != State::Header) state_ = State::Between;
    }

    std::string ExpectColumns() {
        return "expected the column line (Frame<TAB>units...) after the path '" +
               Excerpt(Joined(Block().path, "<TAB>")) + "'";
    }
    std::string ExpectFirstRow() {
        return "expected a row of numbers after the column line '" + ColumnLineText(Block()) + "'";
    }

    void Take(const Fields& f, std::string_view trimmed) {
        switch (state_) {
            case State::Header:
                if (f.indented || IsKnownHeader(f.fields.front())) {
                    TakeHeader(f);
                    return;
                }
                StartBlock(f, trimmed);
                return;
            case State::Between:
                if (f.indented) {
                    Fail(line_, "expected a property path (such as Transform<TAB>Position) or '" +
                                    std::string(kKeyTextEnd) + "'");
                }
                StartBlock(f, trimmed);
                return;
            case State::Path:
                if (trimmed == kExpressionStart) {
                    Block().expression = true;
                    state_ = State::Expression;
                    return;
                }
                if (f.fields.front() != "Frame") {
                    Fault(ExpectColumns());
                    return;
                }
                TakeColumns(f);
                return;
            case State::Rows:
            case State::Skip:
                if (f.fields.front().empty() && f.indented) {
                    if (state_ == State::Rows) TakeConstant(f);
                    return;
                }
                if (!ReadDecimal(f.fields.front())) {
                    // Some writers leave out the blank line between blocks.
                    if (!f.indented) {
                        FinishBlock();
                        StartBlock(f, trimmed);
                        return;
                    }
                    if (state_ == State::Rows) {
                        Fault(Block().rows.empty()
                                  ? ExpectFirstRow()
                                  : "expected a row of numbers, a blank line or '" + std::string(kKeyTextEnd) + "'");
                    }
                    return;
                }
                if (state_ == State::Rows) TakeRow(f);
                return;
            case State::Expression:
                return;
        }
    }

    static bool IsKnownHeader(std::string_view name) {
        for (std::string_view known : kKnownHeaders) {
            if (name == known) return true;
        }
        return false;
    }

    void TakeHeader(const Fields& f) {
        // Kept as read: a header entry is checked by the command that uses it.
        if (f.fields.empty() || f.fields[0].empty()) return;
        doc_.header.push_back({std::string(f.fields[0]), f.fields.size() > 1 ? std::string(f.fields[1]) : "", line_});
    }

    void StartBlock(const Fields& f, std::string_view trimmed) {
        if (trimmed == kLayerLine) {
            ++doc_.layers;
            state_ = State::Between;
            return;
        }
        // A path written with its first field blank would start with a tab,
        // and read back as something else.
        if (f.fields.front().empty()) {
            Fail(line_,
                 "expected a property path (such as Transform<TAB>Position), found a path whose first name is blank");
        }
        KeyTextBlock block;
        block.path.assign(f.fields.begin(), f.fields.end());
        block.line = line_;
        block.layer = doc_.layers;
        doc_.blocks.push_back(std::move(block));
        state_ = State::Path;
    }

    void TakeColumns(const Fields& f) {
        KeyTextBlock& block = Block();
        block.columns.assign(f.fields.begin() + 1, f.fields.end());
        if (block.columns.empty()) block.columns.push_back("");
        // Room for every line left, as one block may be a long track:
        // pages not filled are never touched.
        if (!reserved_) {
            reserved_ = true;
            const std::size_t lines = std::min(lines_.Remaining(), kMaxRows);
            block.rows.reserve(lines);
            block.values.reserve(lines * std::min<std::size_t>(block.columns.size(), 4));
        }
        state_ = State::Rows;
    }

    /// The values of a row after its frame, into the block; false, with the
    /// block marked, when they are not as the column line says.
    bool TakeValues(const Fields& f) {
        KeyTextBlock& block = Block();
        if (f.fields.size() != block.columns.size() + 1) {
            Fault("expected " + std::to_string(block.columns.size() + 1) + " numbers as the column line '" +
                  ColumnLineText(block) + "' says, found " + std::to_string(f.fields.size()));
            return false;
        }
        for (std::size_t c = 1; c < f.fields.size(); ++c) {
            const auto v = ReadDecimal(f.fields[c]);
            if (!v) {
                block.values.resize(block.rows.size() * block.columns.size());
                Fault("expected a number in column " + std::to_string(c + 1) + ", found '" + Excerpt(f.fields[c]) +
                      "' (decimals take a point)");
                return false;
            }
            block.values.push_back(*v);
        }
        return true;
    }

    /// "<TAB><TAB>40<TAB>40": a property that does not change, as the host
    /// copies one.
    void TakeConstant(const Fields& f) {
        KeyTextBlock& block = Block();
        if (!block.rows.empty() || block.constant) {
            Fault("expected a row with a frame number: a row without one stands alone in its block");
            return;
        }
        if (++rows_ > kMaxRows) Fail(line_, "more than " + std::to_string(kMaxRows) + " rows");
        if (!TakeValues(f)) return;
        block.constant = true;
        block.rows.push_back({0, line_});
    }

    void TakeRow(const Fields& f) {
        KeyTextBlock& block = Block();
        if (block.constant) {
            Fault("expected a blank line after the row without a frame number: it stands alone in its block");
            return;
        }
        if (++rows_ > kMaxRows) Fail(line_, "more than " + std::to_string(kMaxRows) + " rows");
        const double frame = *ReadDecimal(f.fields[0]);
        if (!block.rows.empty() && frame <= block.rows.back().frame) {
            Fault("expected frames in ascending order: frame " + NumberText(frame) + " follows frame " +
                  NumberText(block.rows.back().frame));
            return;
        }
        if (TakeValues(f)) block.rows.push_back({frame, line_});
    }

    std::string file_;
    Lines lines_;
    Fields fields_;
    KeyText doc_;
    State state_ = State::Header;
    int line_ = 1;
    std::size_t rows_ = 0;
    bool reserved_ = false;
    bool blank_in_header_ = false;
};

}  // namespace

std::string KeyTextBlock::PathText() const { return Joined(path, " / "); }

void KeyTextBlock::AddRow(double frame, std::span<const double> row_values, int row_line) {
    rows.push_back({frame, row_line});
    values.insert(values.end(), row_values.begin(), row_values.end());
}

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
    // Every number written reads back: the reader takes finite numbers only.
    auto number = [](double v) {
        if (!std::isfinite(v)) throw ShotError("keyframe text cannot hold the number " + std::to_string(v));
        return NumberText(v);
    };
    std::string out = std::string(kKeyTextTitle) + "\n\n";
    for (const KeyTextHeaderLine& h : text.header) out += "\t" + h.name + "\t" + h.value + "\n";
    out += "\n";
    int layer = 0;
    for (const KeyTextBlock& block : text.blocks) {
        if (!block.usable()) continue;
        if (block.layer != layer) {
            layer = block.layer;
            out += std::string(kLayerLine) + "\n";
        }
        out += Joined(block.path, "\t") + "\n";
        out += "\tFrame";
        for (const std::string& c : block.columns) out += "\t" + c;
        out += "\t\n";
        for (std::size_t r = 0; r < block.rows.size(); ++r) {
            out += "\t" + (block.constant ? std::string() : number(block.rows[r].frame));
            for (double v : block.ValuesOf(r)) out += "\t" + number(v);
            out += "\t\n";
        }
        out += "\n";
    }
    return out + std::string(kKeyTextEnd) + "\n";
}

}  // namespace quorvel::shots
