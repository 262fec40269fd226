#include "shots/ImageFrames.h"

#include <charconv>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

#include "imagefiles/ImageFile.h"
#include "shots/ShotError.h"

namespace quorvel::shots {

namespace {

constexpr const char* kSoftware = "quorvel-host " QUORVEL_VERSION;

/// When the frame was rendered, as image files state it: at
/// SOURCE_DATE_EPOCH when that is set (in UTC, as the reproducible-builds
/// convention reads it), so that two renders of a frame are the same file;
/// by the clock, in local time, otherwise.
std::string RenderTime() {
    std::tm when{};
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (epoch != nullptr && *epoch != '\0') {
        const std::string_view text(epoch);
        long long seconds = -1;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
        const std::time_t t = std::time_t(seconds);
        if (error != std::errc() || end != text.data() + text.size() || seconds < 0 ||
            ::gmtime_r(&t, &when) == nullptr) {
            throw ShotError("SOURCE_DATE_EPOCH must be a whole number of seconds since 1970, not '" +
                            std::string(text) + "'");
        }
    } else {
        const std::time_t now = std::time(nullptr);
        ::localtime_r(&now, &when);
    }
    char text[32];
    std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &when);
    return text;
}

}  // namespace

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

sim::WrittenImage WriteImageFrame(const std::filesystem::path& target, const std::filesystem::path& temp,
                                  const sim::World& world, const sim::ImageFormat* like,
                                  const sim::ImageWriteOptions& options) {
    sim::ImageStamp stamp;
    stamp.file_name = target.filename().string();
    stamp.software = kSoftware;
    stamp.date_time = RenderTime();
    // Nothing of this run (its command line, its frames) that a render of
    // part of the shot would give otherwise than the whole.
    stamp.history = std::string(kSoftware) + " render";
    return sim::WriteImage(temp, world, like, options, &stamp);
}

}  // namespace quorvel::shots
