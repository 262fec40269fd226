// The picture library's one entry: the tool asks for the interface it was
// built with and gets this build's implementation of it.
#include "imagefiles/PictureLibrary.h"
#include "imagefiles/pictures/CairoWindow.h"
#include "imagefiles/pictures/ImageCodec.h"

namespace quorvel::sim::pictures {

namespace {

class Library final : public PictureLibrary {
public:
    std::unique_ptr<ImageSource> OpenImage(const std::filesystem::path& path,
                                           const ImageRequest& request) const override {
        return pictures::OpenImage(path, request);
    }
    WrittenImage WriteImage(const std::filesystem::path& path, const World& world, const ImageFormat* like,
                            const ImageWriteOptions& options, const ImageStamp* stamp) const override {
        return pictures::WriteImage(path, world, like, options, stamp);
    }
    void CheckImageFormat(const std::filesystem::path& path) const override { pictures::CheckImageFormat(path); }
    void CheckChannelType(const std::filesystem::path& path, ChannelType type) const override {
        pictures::CheckChannelType(path, type);
    }
    void CheckCompression(const std::filesystem::path& path, const std::string& compression) const override {
        pictures::CheckCompression(path, compression);
    }
    std::unique_ptr<WindowPainter> NewWindow(const World& frame, const View& view, int width,
                                             int height) const override {
        return pictures::NewWindow(frame, view, width, height);
    }
    World DrawSheet(int width, int height, const std::vector<SheetCell>& cells) const override {
        return pictures::DrawSheet(width, height, cells);
    }
};

}  // namespace

}  // namespace quorvel::sim::pictures

extern "C" const quorvel::sim::PictureLibrary* QuorvelPictureLibrary(int interface_version) {
    static const quorvel::sim::pictures::Library library;
    return interface_version == quorvel::sim::PictureLibrary::kInterfaceVersion ? &library : nullptr;
}
