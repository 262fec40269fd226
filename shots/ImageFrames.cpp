#include "shots/ImageFrames.h"

#include "ImageFile.h"

namespace quorvel::shots {

const char* const kImageFramesHelp =
    "Image files go through the image library (PNG, TIFF, EXR, JPEG and what\n"
    "else it reads): 16-bit files' 0..65535 become the host's 0..32768 and back.\n"
    "Without --depth, an image file's data decides it: 8 for 8-bit files, 16\n"
    "(--host ae) or 32f (--host premiere) for deeper ones. An image output\n"
    "keeps the input image's data format per channel (half stays half), channel\n"
    "names, compression and metadata, unless --out-format or --compression say\n"
    "otherwise; a file without alpha gains one. Colour is read and written as\n"
    "the file stores it, never multiplied or divided by alpha.\n";

void CheckImageFrameInput(const std::filesystem::path&) {}

std::unique_ptr<sim::ImageSource> OpenImageFrame(const std::filesystem::path& path, const sim::ImageRequest& request) {
    return sim::OpenImage(path, request);
}

void CheckImageFrameOutput(const std::filesystem::path& path) { sim::CheckImageFormat(path); }

void CheckImageFrameCompression(const std::filesystem::path& path, const std::string& compression) {
    sim::CheckCompression(path, compression);
}

void CheckImageFrameChannelType(const std::filesystem::path& path, sim::ChannelType type) {
    sim::CheckChannelType(path, type);
}

std::vector<std::string> WriteImageFrame(const std::filesystem::path& path, const sim::World& world,
                                         const sim::ImageFormat* like, const sim::ImageWriteOptions& options) {
    return sim::WriteImage(path, world, like, options);
}

}  // namespace quorvel::shots
