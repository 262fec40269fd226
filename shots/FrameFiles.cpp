#include "shots/FrameFiles.h"

#ifndef _WIN32
#include <signal.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <string>

#include "frames/HostError.h"
#include "frames/Poison.h"
#include "imagefiles/AtomicFile.h"
#include "imagefiles/Npy.h"
#include "imagefiles/SettingNames.h"
#include "imagefiles/TestCard.h"
#include "shots/FrameMemory.h"
#include "shots/ImageFrames.h"
#include "shots/SettingNames.h"
#include "shots/ShotError.h"
#include "shots/ValueText.h"

namespace quorvel::shots {

namespace {

const char* DepthName(frames::PixelLayout layout) {
    switch (layout) {
        case frames::PixelLayout::ARGB8:
        case frames::PixelLayout::BGRA8:
            return "8";
        case frames::PixelLayout::ARGB16:
            return "16";
        case frames::PixelLayout::BGRA32f:
            return "32f";
    }
    return "?";
}

std::size_t PixelRowBytes(const frames::World& world) {
    return std::size_t(world.width()) * frames::BytesPerPixel(world.layout());
}

/// Hosts keep each row on whole channels: a 16-bit or float channel is
/// never split across the padding.
void CheckRowPadding(frames::PixelLayout layout, int row_padding) {
    const std::size_t channel = frames::BytesPerPixel(layout) / 4;
    if (std::size_t(row_padding) % channel != 0) {
        throw ShotError(setting::row_padding + " " + std::to_string(row_padding) + " would split a channel: depth " +
                            DepthName(layout) + " rows need a multiple of " + std::to_string(channel) + " bytes",
                        frames::ErrorKind::setting);
    }
}

/// The frame as read or made (rows packed) moved into a world with padded rows.
frames::World WithRowPadding(frames::World packed, int row_padding) {
    if (row_padding == 0) return packed;
    CheckRowPadding(packed.layout(), row_padding);
    frames::World padded = MakeFrame(packed.layout(), packed.width(), packed.height(), row_padding);
    for (int y = 0; y < packed.height(); ++y) std::memcpy(padded.Row(y), packed.Row(y), PixelRowBytes(packed));
    return padded;
}

/// The host and depth an image file's data asks for when the settings do
/// not give the depth: data deeper than 8 bits goes to the float path, which
/// keeps every value, unless the settings ask for After Effects' 16 bits.
void ChooseLayoutForImage(const imagefiles::ImageFormat& format, RenderSettings& settings) {
    const bool deep =
        std::any_of(format.channel_types.begin(), format.channel_types.end(), imagefiles::DeeperThan8Bits);
    if (deep && !settings.app_given) settings.app = sim::HostApp::Premiere;
    if (settings.app == sim::HostApp::Premiere) {
        settings.layout = deep ? frames::PixelLayout::BGRA32f : frames::PixelLayout::BGRA8;
    } else {
        settings.layout = deep ? frames::PixelLayout::ARGB16 : frames::PixelLayout::ARGB8;
    }
}

frames::World ReadImageFile(const std::filesystem::path& path, RenderSettings& settings, const FrameOptions& options,
                            std::optional<imagefiles::ImageFormat>* format, int frames_in_memory) {
    const std::unique_ptr<imagefiles::ImageSource> source = OpenImageFrame(path, settings.image);
    const imagefiles::ImageFormat& found = source->format();
    if (!settings.depth_given) ChooseLayoutForImage(found, settings);
    CheckRowPadding(settings.layout, options.row_padding);
    CheckFramesFit(settings.layout, found.width, found.height, options.row_padding, frames_in_memory,
                   frames_in_memory == 1 ? "its frame" : "the render's input and output frames", found.stored_bytes);
    // Decoded straight into the world the module gets.
    frames::World world = MakeFrame(settings.layout, found.width, found.height, options.row_padding);
    source->ReadInto(world);
    if (format != nullptr) *format = found;
    return world;
}

frames::World ReadFrameFile(const std::filesystem::path& path, RenderSettings& settings, const FrameOptions& options,
                            std::optional<imagefiles::ImageFormat>* format, int frames_in_memory) {
    // Before the file is looked for: a build without the image library says
    // so whether or not the file exists.
    if (!IsNpy(path)) CheckImageFrameInput(path);
    // Anything but a folder: frames may also stream in through a named pipe.
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) throw frames::HostError("no such input file: " + path.string());
    if (std::filesystem::is_directory(status)) {
        throw frames::HostError("input " + path.string() + " is a folder, not a frame file");
    }
    if (!IsNpy(path)) return ReadImageFile(path, settings, options, format, frames_in_memory);

    frames::World world = imagefiles::ReadNpy(
        path, settings.app == sim::HostApp::Premiere, [&](frames::PixelLayout layout, int width, int height) {
            CheckFramesFit(layout, width, height, options.row_padding, frames_in_memory,
                           "the render's input and output frames");
        });
    if (frames::IsPremiereLayout(world.layout()) != (settings.app == sim::HostApp::Premiere)) {
        throw ShotError(path.string() + " holds depth " + DepthName(world.layout()) + " data, which " + setting::app +
                            " " + (settings.app == sim::HostApp::Premiere ? "premiere" : "ae") + " does not render",
                        frames::ErrorKind::setting);
    }
    if (settings.depth_given && world.layout() != settings.layout) {
        throw ShotError(setting::layout + " " + DepthName(settings.layout) + " contradicts " + path.string() +
                            ", which holds depth " + DepthName(world.layout()) + " data",
                        frames::ErrorKind::setting);
    }
    settings.layout = world.layout();
    return WithRowPadding(std::move(world), options.row_padding);
}

}  // namespace

imagefiles::ImageWriteOptions OutputOptionsFor(const imagefiles::ImageWriteOptions& asked,
                                               const std::filesystem::path& out) {
    if (IsNpy(out)) {
        if (asked.channel_type || asked.compression) {
            throw ShotError(
                (asked.channel_type ? imagefiles::setting::channel_type : imagefiles::setting::compression) +
                    " applies to image outputs; .npy frames hold the render's own data",
                frames::ErrorKind::setting);
        }
        return {};
    }
    try {
        if (asked.compression) CheckImageFrameCompression(out, *asked.compression);
        if (asked.channel_type) CheckImageFrameChannelType(out, *asked.channel_type);
    } catch (const frames::HostError& e) {
        throw ShotError(e.message(), e.kind());
    }
    return asked;
}

bool IsNpy(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".npy";
}

frames::World ReadInputFrame(const std::optional<std::filesystem::path>& path, RenderSettings& settings,
                             const FrameOptions& options, std::optional<imagefiles::ImageFormat>* format,
                             int frames_in_memory) {
    if (format != nullptr) format->reset();
    if (!path) {
        const auto [width, height] =
            options.card_size.value_or(std::pair{imagefiles::kTestCardWidth, imagefiles::kTestCardHeight});
        CheckFramesFit(settings.layout, width, height, options.row_padding, frames_in_memory,
                       "the render's input and output frames");
        return WithRowPadding(imagefiles::MakeTestCard(settings.layout, width, height), options.row_padding);
    }
    return ReadFrameFile(*path, settings, options, format, frames_in_memory);
}

frames::World MakeFrame(frames::PixelLayout layout, int width, int height, int row_padding) {
    frames::World world(layout, width, height, row_padding);
    const std::size_t pixels = PixelRowBytes(world);
    for (int y = 0; y < height; ++y) std::memset(world.Row(y) + pixels, frames::kPoisonByte, std::size_t(row_padding));
    return world;
}

bool RowPaddingIntact(const frames::World& world) {
    const std::size_t pixels = PixelRowBytes(world);
    for (int y = 0; y < world.height(); ++y) {
        if (!frames::IsPoison(world.Row(y) + pixels, world.rowbytes() - pixels)) return false;
    }
    return true;
}

void CheckOutputPath(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        throw frames::HostError("cannot write " + path.string() + ": it is a folder (name a file in it, such as " +
                                (path / "out.exr").string() + ")");
    }
    // Before the folder is looked at: a build without the image library
    // refuses an image file however it would have fared.
    if (!IsNpy(path)) CheckImageFrameOutput(path);
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    if (!std::filesystem::is_directory(folder, ec)) {
        throw frames::HostError("cannot write " + path.string() + ": folder " + folder.string() + " does not exist");
    }
}

std::vector<std::string> WriteOutputFrame(const std::filesystem::path& path, const frames::World& world,
                                          const imagefiles::ImageFormat* like,
                                          const imagefiles::ImageWriteOptions& options,
                                          imagefiles::WrittenImage* written) {
    imagefiles::WrittenImage image{world.width(), world.height(), {4, imagefiles::NpyChannelType(world.layout())}, {}};
    imagefiles::WriteAtomically(path, [&](const std::filesystem::path& temp) {
        try {
            if (IsNpy(path)) {
                imagefiles::WriteNpy(temp, world);
            } else {
                image = WriteImageFrame(path, temp, world, like, options);
            }
        } catch (const frames::HostError& e) {
            // The user knows the file by the name they gave, not the temporary one.
            throw frames::HostError(e.message().Replaced(temp.string(), path.string()), e.kind());
        }
    });
    if (written != nullptr) *written = image;
    return image.notes;
}

int RemoveAbandonedTemporariesOf(const std::vector<std::filesystem::path>& outputs) {
    namespace fs = std::filesystem;
#ifdef _WIN32
    // Whether the run that made a file is gone cannot be told from its id
    // alone here: nothing is removed that another run may be writing.
    (void)outputs;
    return 0;
#else
    std::set<fs::path> folders;
    std::set<std::string> names;
    for (const fs::path& out : outputs) {
        folders.insert(out.parent_path().empty() ? fs::path(".") : out.parent_path());
        names.insert(out.filename().string());
    }
    int removed = 0;
    for (const fs::path& folder : folders) {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (name.rfind(".tmp-", 0) != 0) continue;
            for (const std::string& target : names) {
                const std::optional<long> owner = imagefiles::TemporaryFileOwner(name, target);
                // A live owner may be another run writing that frame right now.
                if (owner && ::kill(pid_t(*owner), 0) == -1 && errno == ESRCH) {
                    std::error_code ignored;
                    if (fs::remove(it->path(), ignored)) ++removed;
                    break;
                }
            }
        }
    }
    return removed;
#endif
}

}  // namespace quorvel::shots
