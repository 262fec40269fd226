// What a build without the image and drawing libraries (the Windows build:
// Debian has no Windows builds of them) has in place of their parts of the
// tool. Renders and drags work on .npy frames and the test card; image
// files, drawn pictures and what is built on them are refused by name,
// before any work is done, with exit status 2.
#include <string>

#include "shots/ImageFrames.h"
#include "shots/OverlayPicture.h"
#include "shots/ShotError.h"

namespace quorvel::shots {

namespace {

constexpr const char* kNoImageLibrary =
    "this build of the tool reads and writes only .npy frames (it has no image library)";
constexpr const char* kNoDrawingLibrary = "this build of the tool draws no pictures (it has no drawing library)";

[[noreturn]] void RefuseImage(const char* verb, const std::filesystem::path& path) {
    throw ShotError(std::string("cannot ") + verb + " " + path.string() + ": " + kNoImageLibrary);
}

}  // namespace

// Image files as frames.

const char* const kImageFramesHelp =
    "This build of the tool has no image library: it reads and writes only .npy\n"
    "frames, and refuses any other file name.\n";

void CheckImageFrameInput(const std::filesystem::path& path) { RefuseImage("read", path); }

std::unique_ptr<imagefiles::ImageSource> OpenImageFrame(const std::filesystem::path& path,
                                                        const imagefiles::ImageRequest&) {
    RefuseImage("read", path);
}

void CheckImageFrameOutput(const std::filesystem::path& path) { RefuseImage("write", path); }

void CheckImageFrameCompression(const std::filesystem::path& path, const std::string&) { RefuseImage("write", path); }

void CheckImageFrameChannelType(const std::filesystem::path& path, imagefiles::ChannelType) {
    RefuseImage("write", path);
}

imagefiles::WrittenImage WriteImageFrame(const std::filesystem::path& target, const std::filesystem::path&,
                                         const frames::World&, const imagefiles::ImageFormat*,
                                         const imagefiles::ImageWriteOptions&) {
    RefuseImage("write", target);
}

// The viewer window as a picture.

void CheckOverlayPictureOutput(const std::filesystem::path& path) {
    throw ShotError("cannot write " + path.string() + ": " + kNoDrawingLibrary);
}

void WriteOverlayPicture(Session&, sim::ParamSet&, frames::World&, const frames::View&,
                         const std::filesystem::path& path) {
    CheckOverlayPictureOutput(path);
}

}  // namespace quorvel::shots
