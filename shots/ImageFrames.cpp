#include "shots/ImageFrames.h"

#include "imagefiles/ImageFile.h"

namespace quorvel::shots {

const char* const kImageFramesHelp =
    "Image files go through the image library (EXR, TIFF, PNG, DPX, JPEG and what\n"
    "else it reads, scanline or tiled). The module renders one layer of one part\n"
    "(--layer, --part) over the data and display windows together; the matte is\n"
    "placed on the display window. Colour is premultiplied or straight as the\n"
    "file says (EXR premultiplied, PNG straight, TIFF and Targa as tagged), else\n"
    "as guessed from its soft pixels, with a note; --alpha says otherwise.\n"
    "Premultiplied colour is divided by alpha for the module and multiplied by\n"
    "the new alpha after it. Without --host and --depth, 8-bit\n"
    "files render at ae8 and deeper ones on the float path (pr32f), which keeps\n"
    "every value; --host ae renders them at 16 bits and says what that loses.\n"
    "An output of the input's format is the input with the layer replaced: every\n"
    "other channel and part, data formats, tiles, compression and metadata kept,\n"
    "unless --out-format or --compression say otherwise. Another format holds\n"
    "the layer alone; one without alpha (JPEG) gets it matted over black.\n";

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
