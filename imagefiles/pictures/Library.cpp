// The picture library's one entry: the tool asks for the interface it was
// built with and gets this build's implementation of it.
#include "imagefiles/PictureLibrary.h"
#include "imagefiles/pictures/CairoWindow.h"
#include "imagefiles/pictures/ImageCodec.h"

namespace quorvel::imagefiles::pictures {

namespace {

class Library final : public PictureLibrary {
public:
    std::unique_ptr<ImageSource> OpenImage(const std::filesystem::path& path,
                                           const ImageRequest& request) const override {
        return pictures::OpenImage(path, request);
    }
    WrittenImage WriteImage(const std::filesystem::path& path, const frames::World& world, const ImageFormat* like,
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
    std::unique_ptr<WindowPainter> NewWindow(const frames::World& frame, const frames::View& view, int width,
                                             int height) const override {
        return pictures::NewWindow(frame, view, width, height);
    }
    frames::World DrawSheet(int width, int height, const std::vector<SheetCell>& cells) const override {
        return pictures::DrawSheet(width, height, cells);
    }
};

}  // namespace

}  // namespace quorvel::imagefiles::pictures

extern "C" const quorvel::imagefiles::PictureLibrary* QuorvelPictureLibrary(int interface_version) {
    static const quorvel::imagefiles::pictures::Library library;
    return interface_version == quorvel::imagefiles::PictureLibrary::kInterfaceVersion ? &library : nullptr;
}
