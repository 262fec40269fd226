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

// A build that reads them has nothing to add: the manual says how.
const char* const kImageFramesHelp = "";

void CheckImageFrameInput(const std::filesystem::path&) {}

std::unique_ptr<imagefiles::ImageSource> OpenImageFrame(const std::filesystem::path& path,
                                                        const imagefiles::ImageRequest& request) {
    return imagefiles::OpenImage(path, request);
}

void CheckImageFrameOutput(const std::filesystem::path& path) { imagefiles::CheckImageFormat(path); }

void CheckImageFrameCompression(const std::filesystem::path& path, const std::string& compression) {
    imagefiles::CheckCompression(path, compression);
}

void CheckImageFrameChannelType(const std::filesystem::path& path, imagefiles::ChannelType type) {
    imagefiles::CheckChannelType(path, type);
}

imagefiles::WrittenImage WriteImageFrame(const std::filesystem::path& target, const std::filesystem::path& temp,
                                         const frames::World& world, const imagefiles::ImageFormat* like,
                                         const imagefiles::ImageWriteOptions& options) {
    imagefiles::ImageStamp stamp;
    stamp.file_name = target.filename().string();
    stamp.software = kSoftware;
    stamp.date_time = RenderTime();
    // Nothing of this run (its command line, its frames) that a render of
    // part of the shot would give otherwise than the whole.
    stamp.history = std::string(kSoftware) + " render";
    return imagefiles::WriteImage(temp, world, like, options, &stamp);
}

}  // namespace quorvel::shots
