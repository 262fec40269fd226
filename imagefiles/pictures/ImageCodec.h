/// Image files through the image library: opening one for reading into a
/// world, and writing a world as one.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "imagefiles/PictureLibrary.h"

namespace quorvel::imagefiles::pictures {

std::unique_ptr<ImageSource> OpenImage(const std::filesystem::path& path, const ImageRequest& request);
WrittenImage WriteImage(const std::filesystem::path& path, const frames::World& world, const ImageFormat* like,
                        const ImageWriteOptions& options, const ImageStamp* stamp);
void CheckImageFormat(const std::filesystem::path& path);
void CheckCompression(const std::filesystem::path& path, const std::string& compression);
void CheckChannelType(const std::filesystem::path& path, ChannelType type);

}  // namespace quorvel::imagefiles::pictures
