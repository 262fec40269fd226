#include "ImageFrames.h"

#include "ImageFile.h"

namespace quorvel::cli {

const char* const kImageFramesHelp =
    "Image files go through the image library (PNG, TIFF, EXR, JPEG and what\n"
    "else it reads): 16-bit files' 0..65535 become the host's 0..32768 and back.\n";

void CheckImageFrameInput(const std::filesystem::path&) {}

sim::World ReadImageFrame(const std::filesystem::path& path, sim::PixelLayout layout) {
    return sim::ReadImage(path, layout);
}

void CheckImageFrameOutput(const std::filesystem::path& path) { sim::CheckImageFormat(path); }

void WriteImageFrame(const std::filesystem::path& path, const sim::World& world) { sim::WriteImage(path, world); }

}  // namespace quorvel::cli
