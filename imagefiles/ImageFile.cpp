#include "imagefiles/ImageFile.h"

namespace quorvel::imagefiles {

std::unique_ptr<ImageSource> OpenImage(const std::filesystem::path& path, const ImageRequest& request) {
    return Pictures().OpenImage(path, request);
}

frames::World ReadImage(const std::filesystem::path& path, frames::PixelLayout layout, ImageFormat* format) {
    const std::unique_ptr<ImageSource> source = OpenImage(path);
    frames::World world(layout, source->format().width, source->format().height);
    source->ReadInto(world);
    if (format != nullptr) *format = source->format();
    return world;
}

WrittenImage WriteImage(const std::filesystem::path& path, const frames::World& world, const ImageFormat* like,
                        const ImageWriteOptions& options, const ImageStamp* stamp) {
    return Pictures().WriteImage(path, world, like, options, stamp);
}

void CheckImageFormat(const std::filesystem::path& path) { Pictures().CheckImageFormat(path); }

void CheckChannelType(const std::filesystem::path& path, ChannelType type) { Pictures().CheckChannelType(path, type); }

void CheckCompression(const std::filesystem::path& path, const std::string& compression) {
    Pictures().CheckCompression(path, compression);
}

}  // namespace quorvel::imagefiles
