/// Numbered file names and frame lists, as image-sequence tools write them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::shots {

/// A file name with one frame-number field: printf style ("shot.%04d.exr",
/// "shot.%d.exr"; "%%" is a literal percent sign) or a run of hashes, one
/// per digit ("shot.####.exr"). The number is zero-padded to the field's
/// width, the sign counting as a digit (-5 in "%04d" gives "-005"), and
/// never cut short: frame 12345 in "####" gives "12345".
class FramePattern {
public:
    /// Throws ShotError for two fields or a field it does not know
    /// ("%s", "%4d"), naming `option`.
    FramePattern(const std::string& option, const std::string& text);

    /// Whether the text holds a frame-number field (without parsing it fully).
    static bool LooksNumbered(const std::string& text);

    bool numbered() const { return numbered_; }
    const std::string& text() const { return text_; }
    /// The file of `frame`; the text itself when it has no field.
    std::filesystem::path PathFor(int frame) const;
    /// The lowest frame whose file is in the pattern's folder: the names
    /// that PathFor gives exactly, so "shot.01001.exr" is no frame of
    /// "shot.%04d.exr". None when there is none, the folder cannot be read,
    /// or the field is in a folder's name.
    std::optional<int> FirstFrameOnDisk() const;
    /// A file in the pattern's folder whose number is written with another
    /// count of digits ("shot.0001.exr" for "shot.#.exr"), and the pattern
    /// that names it ("shot.####.exr"): for a message when no frame is
    /// found. The first such name in order, or none.
    std::optional<std::pair<std::string, std::string>> OtherPadding() const;

private:
    std::string text_;
    std::string prefix_;
    std::string suffix_;
    int width_ = 0;
    bool numbered_ = false;
};

/// Frame numbers in ascending order without repeats, from a list such as
/// "1001-1240", "1001", "1-100x5" or "1-100:5" (every fifth frame), or
/// several of those separated by commas. Frame numbers may be negative
/// ("-10--1"). Throws ShotError naming `option`.
std::vector<int> ParseFrameList(const std::string& option, const std::string& text);

/// A share of a shot's frames as schedulers hand them out: the INDEX-th
/// (from 0) run of SIZE frames of the list.
struct FrameChunk {
    int size = 1;
    int index = 0;
};

/// "SIZE:INDEX", SIZE at least 1 and INDEX at least 0. Throws ShotError
/// naming `option`.
FrameChunk ParseFrameChunk(const std::string& option, const std::string& text);

/// The chunk's frames of `frames`: empty when the index is past the last chunk.
std::vector<int> FramesOfChunk(const std::vector<int>& frames, const FrameChunk& chunk);

/// The frames as short ranges: "1001-1040, 1043, 1050-1052"; "none" when empty.
std::string FrameRangesText(const std::vector<int>& frames);

}  // namespace quorvel::shots
