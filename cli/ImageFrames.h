/// Image files (PNG, TIFF, EXR...) as the frames of a render. The image
/// library's part of FrameFiles: ImageFrames.cpp goes through it, and a build
/// without it (PicturesUnavailable.cpp) refuses every image file by name
/// before any work is done, so such a build reads and writes .npy only.
#pragma once

#include <filesystem>

#include "World.h"

namespace quorvel::cli {

/// What the render command's help says about image files in this build.
extern const char* const kImageFramesHelp;

/// Throws UsageError when this build cannot read an image file at all.
void CheckImageFrameInput(const std::filesystem::path& path);
/// Reads an image into a world of `layout`.
sim::World ReadImageFrame(const std::filesystem::path& path, sim::PixelLayout layout);

/// Throws unless an image of this file name's format can be written.
void CheckImageFrameOutput(const std::filesystem::path& path);
/// Writes the world as an image, in the format the file name's extension names.
void WriteImageFrame(const std::filesystem::path& path, const sim::World& world);

}  // namespace quorvel::cli
