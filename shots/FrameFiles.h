/// Reading the input frame and writing the output frame of a render, by the
/// file name's extension: .npy for exact pixel data, image files otherwise
/// (ImageFrames.h). Also the frames' shape in memory: the test card's size
/// and the padding the host leaves after each row.
#pragma once

#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "frames/World.h"
#include "imagefiles/ImageFormat.h"
#include "shots/RenderSettings.h"

namespace quorvel::shots {

/// The most padding a row may have: far more than any host's row alignment.
inline constexpr int kMaxRowPadding = 4096;

/// How the host lays out a single frame's worlds.
struct FrameOptions {
    /// The test card's size when there is no input file; the card's own otherwise.
    std::optional<std::pair<int, int>> card_size;
    /// Bytes after each row of the input and output worlds.
    int row_padding = 0;
};

bool IsNpy(const std::filesystem::path& path);

/// What an image output at `out` is to be, as `asked` says over what the
/// input was. Throws ShotError when anything is asked of a .npy output, or
/// when the output's file format does not write the compression or hold
/// the data format.
imagefiles::ImageWriteOptions OutputOptionsFor(const imagefiles::ImageWriteOptions& asked,
                                               const std::filesystem::path& out);

/// The input frame in the layout the settings ask for; without a path, the
/// built-in test card. A .npy file's dtype decides the depth: a depth the
/// settings give that contradicts it, or a dtype the host does not render,
/// is a usage error. Without a depth given, an image file's data decides it (8-bit files render at
/// 8, deeper ones at the host's deepest). The world has the options' row
/// padding; a padding that does not keep rows on whole channels of the
/// final depth is a usage error.
///
/// Before an image's frame is allocated, `frames_in_memory` frames of its
/// size must fit in the memory the machine can give (a usage error names
/// the size otherwise). With `format`, an image file's format is stored
/// there (and cleared for other inputs), with its notes on how the file was
/// read.
frames::World ReadInputFrame(const std::optional<std::filesystem::path>& path, RenderSettings& settings,
                             const FrameOptions& options = {}, std::optional<imagefiles::ImageFormat>* format = nullptr,
                             int frames_in_memory = 2);

/// A world whose rows are followed by `row_padding` bytes of the host's
/// poison, not zeros: a module that reads padding as pixels then renders a
/// different frame, and one that writes into it is seen by RowPaddingIntact.
frames::World MakeFrame(frames::PixelLayout layout, int width, int height, int row_padding);
/// Whether every padding byte is still poison.
bool RowPaddingIntact(const frames::World& world);

/// Refuses, before any work is done, an output path that cannot be written.
void CheckOutputPath(const std::filesystem::path& path);

/// Removes the temporary files that killed runs left beside these output
/// files (those whose process is gone). Returns how many.
int RemoveAbandonedTemporariesOf(const std::vector<std::filesystem::path>& outputs);

/// Writes atomically: on any failure the target is left as it was. An image
/// keeps what `like` says the input image held, with `options` over it.
/// Returns what the user should know about the file written, a sentence
/// each; what the file holds goes to `written`, when given.
std::vector<std::string> WriteOutputFrame(const std::filesystem::path& path, const frames::World& world,
                                          const imagefiles::ImageFormat* like = nullptr,
                                          const imagefiles::ImageWriteOptions& options = {},
                                          imagefiles::WrittenImage* written = nullptr);

}  // namespace quorvel::shots
