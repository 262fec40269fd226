/// The keyframe text the compositing host puts on the clipboard when keys are
/// copied, and that trackers export: a title line, a header of tab-separated
/// names and values, then one block per animated property (its path, a
/// column line, rows of numbers), and a closing line. This file reads and
/// writes the text as it is; what the blocks mean for the module's controls
/// is Keyframes.cpp's business.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::shots {

/// The title the hosts write; readers also take other version numbers.
inline constexpr std::string_view kKeyTextTitle = "Adobe After Effects 8.0 Keyframe Data";
inline constexpr std::string_view kKeyTextEnd = "End of Keyframe Data";

struct KeyTextRow {
    double frame = 0;
    int line = 0;
};

struct KeyTextBlock {
    /// "Effects", "VT Quorvel #1", "Width #4"; or "Transform", "Position".
    std::vector<std::string> path;
    /// The column names after "Frame": "percent", "X pixels", ...; one empty
    /// name when the column line names no unit.
    std::vector<std::string> columns;
    std::vector<KeyTextRow> rows;  ///< at least one, frames ascending
    /// The rows' values, one for each column after "Frame", row after row:
    /// held together, since a baked track has millions of rows.
    std::vector<double> values;
    int line = 0;  ///< of the path line
    /// The `Layer` line the block follows, counted from 1; 0 before any.
    int layer = 0;
    /// One row without a frame number: the property's value at every frame.
    bool constant = false;
    /// "Expression Data" ... "End of Expression Data" instead of rows.
    bool expression = false;
    /// Why the block cannot be used, as "FILE:LINE: expected ...": empty for
    /// a sound block. A block is read to its end whatever it holds, and
    /// refused only when it is used.
    std::string fault;

    /// Sound, with rows of numbers: a block a command may use.
    bool usable() const { return fault.empty() && !expression; }

    /// The values of row `row`.
    std::span<const double> ValuesOf(std::size_t row) const {
        return std::span<const double>(values).subspan(row * columns.size(), columns.size());
    }
    void AddRow(double frame, std::span<const double> row_values, int row_line = 0);

    /// The path for people: "Effects / VT Quorvel #1 / Width #4".
    std::string PathText() const;
};

struct KeyTextHeaderLine {
    std::string name;   ///< "Units Per Second"
    std::string value;  ///< "24"
    int line = 0;
};

struct KeyText {
    std::vector<KeyTextHeaderLine> header;  ///< in the file's order
    std::vector<KeyTextBlock> blocks;
    int layers = 0;  ///< `Layer` lines

    /// The header entry called `name`, or null.
    const KeyTextHeaderLine* Find(std::string_view name) const;
};

/// Whether the text starts with a keyframe-text title line (after an
/// optional UTF-8 byte order mark).
bool LooksLikeKeyText(std::string_view text);

/// Reads keyframe text. Lines may end in CR, LF or CR LF, mixed. Header
/// lines are kept as text, to be checked by whoever uses them. A block that
/// is not as its column line says is kept with its fault. Throws ShotError
/// "FILE:LINE: expected ..." when the text is not keyframe text at all: no
/// title, a row outside any block, no closing line, text after it, or past
/// a limit.
KeyText ParseKeyText(std::string_view text, const std::string& file);

/// The text in its normal form: the title, a blank line, the header lines,
/// a blank line, each usable block followed by a blank line (a `Layer` line
/// before the first block of each layer), the closing line.
/// Lines end in LF; every line but the title, the paths and the closing
/// line starts with a tab, and column and row lines end with one, as the
/// host writes them. Numbers are the shortest decimals that read back
/// exactly.
std::string WriteKeyText(const KeyText& text);

}  // namespace quorvel::shots
