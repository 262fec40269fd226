/// Image files (PNG, TIFF, EXR...) as the frames of a render. The image
/// library's part of FrameFiles: ImageFrames.cpp goes through it, and a build
/// without it (PicturesUnavailable.cpp) refuses every image file by name
/// before any work is done, so such a build reads and writes .npy only.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "frames/World.h"
#include "imagefiles/ImageFormat.h"
#include "imagefiles/PictureLibrary.h"

namespace quorvel::shots {

/// What the render command's help says about image files in this build:
/// only that a build without the image library has none.
extern const char* const kImageFramesHelp;

/// Throws ShotError when this build cannot read an image file at all.
void CheckImageFrameInput(const std::filesystem::path& path);
/// Opens an image file: its format is known, its pixels are not read yet.
std::unique_ptr<imagefiles::ImageSource> OpenImageFrame(const std::filesystem::path& path,
                                                        const imagefiles::ImageRequest& request = {});

/// Throws unless an image of this file name's format can be written.
void CheckImageFrameOutput(const std::filesystem::path& path);
/// Throws unless this file name's format writes that compression.
void CheckImageFrameCompression(const std::filesystem::path& path, const std::string& compression);
/// Throws unless this file name's format holds that data format.
void CheckImageFrameChannelType(const std::filesystem::path& path, imagefiles::ChannelType type);
/// Writes the world as an image to `temp`, which becomes `target`, in the
/// format the file name's extension names, keeping what `like` (the input's
/// format, if any) says the file held. The file names this tool as its
/// software, the render's time (SOURCE_DATE_EPOCH when set, so that renders
/// match byte for byte) and the render in its history. Returns what the
/// file holds and notes for the user.
imagefiles::WrittenImage WriteImageFrame(const std::filesystem::path& target, const std::filesystem::path& temp,
                                         const frames::World& world, const imagefiles::ImageFormat* like,
                                         const imagefiles::ImageWriteOptions& options);

}  // namespace quorvel::shots
