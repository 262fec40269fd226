#include "shots/FrameFiles.h"

#ifndef _WIN32
#include <signal.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <set>
#include <string>

#include "frames/HostError.h"
#include "frames/Poison.h"
#include "imagefiles/AtomicFile.h"
#include "imagefiles/Npy.h"
#include "imagefiles/TestCard.h"
#include "shots/FrameMemory.h"
#include "shots/ImageFrames.h"
#include "shots/ShotError.h"
#include "shots/ValueText.h"

namespace quorvel::shots {

namespace {

const char* DepthName(sim::PixelLayout layout) {
    switch (layout) {
        case sim::PixelLayout::ARGB8:
        case sim::PixelLayout::BGRA8:
            return "8";
        case sim::PixelLayout::ARGB16:
            return "16";
        case sim::PixelLayout::BGRA32f:
            return "32f";
    }
    return "?";
}

std::size_t PixelRowBytes(const sim::World& world) {
    return std::size_t(world.width()) * sim::BytesPerPixel(world.layout());
}

/// Hosts keep each row on whole channels: a 16-bit or float channel is
/// never split across the padding.
void CheckRowPadding(sim::PixelLayout layout, int row_padding) {
    const std::size_t channel = sim::BytesPerPixel(layout) / 4;
    if (std::size_t(row_padding) % channel != 0) {
        throw ShotError("--row-padding " + std::to_string(row_padding) + " would split a channel: depth " +
                        DepthName(layout) + " rows need a multiple of " + std::to_string(channel) + " bytes");
    }
}

/// The frame as read or made (rows packed) moved into a world with padded rows.
sim::World WithRowPadding(sim::World packed, int row_padding) {
    if (row_padding == 0) return packed;
    CheckRowPadding(packed.layout(), row_padding);
    sim::World padded = MakeFrame(packed.layout(), packed.width(), packed.height(), row_padding);
    for (int y = 0; y < packed.height(); ++y) std::memcpy(padded.Row(y), packed.Row(y), PixelRowBytes(packed));
    return padded;
}

/// The host and depth an image file's data asks for when --depth does not
/// say: data deeper than 8 bits goes to the float path, which keeps every
/// value, unless --host ae asks for that host's 16 bits.
void ChooseLayoutForImage(const sim::ImageFormat& format, RenderSettings& settings) {
    const bool deep = std::any_of(format.channel_types.begin(), format.channel_types.end(), sim::DeeperThan8Bits);
    if (deep && !settings.app_given) settings.app = sim::HostApp::Premiere;
    if (settings.app == sim::HostApp::Premiere) {
        settings.layout = deep ? sim::PixelLayout::BGRA32f : sim::PixelLayout::BGRA8;
    } else {
        settings.layout = deep ? sim::PixelLayout::ARGB16 : sim::PixelLayout::ARGB8;
    }
}

sim::World ReadImageFile(const std::filesystem::path& path, RenderSettings& settings, const FrameOptions& options,
                         std::optional<sim::ImageFormat>* format, int frames_in_memory) {
    const std::unique_ptr<sim::ImageSource> source = OpenImageFrame(path, settings.image);
    const sim::ImageFormat& found = source->format();
    if (!settings.depth_given) ChooseLayoutForImage(found, settings);
    CheckRowPadding(settings.layout, options.row_padding);
    CheckFramesFit(settings.layout, found.width, found.height, options.row_padding, frames_in_memory,
                   frames_in_memory == 1 ? "its frame" : "the render's input and output frames", found.stored_bytes);
    // Decoded straight into the world the module gets.
    sim::World world = MakeFrame(settings.layout, found.width, found.height, options.row_padding);
    source->ReadInto(world);
    if (options.notes) {
        for (const std::string& note : found.notes) std::cerr << "quorvel-host: note: " << Printable(note) << "\n";
    }
    if (format != nullptr) *format = found;
    return world;
}

sim::World ReadFrameFile(const std::filesystem::path& path, RenderSettings& settings, const FrameOptions& options,
                         std::optional<sim::ImageFormat>* format, int frames_in_memory) {
    // Before the file is looked for: a build without the image library says
    // so whether or not the file exists.
    if (!IsNpy(path)) CheckImageFrameInput(path);
    // Anything but a folder: frames may also stream in through a named pipe.
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) throw sim::HostError("no such input file: " + path.string());
    if (std::filesystem::is_directory(status)) {
        throw sim::HostError("input " + path.string() + " is a folder, not a frame file");
    }
    if (!IsNpy(path)) return ReadImageFile(path, settings, options, format, frames_in_memory);

    sim::World world =
        sim::ReadNpy(path, settings.app == sim::HostApp::Premiere, [&](sim::PixelLayout layout, int width, int height) {
            CheckFramesFit(layout, width, height, options.row_padding, frames_in_memory,
                           "the render's input and output frames");
        });
    if (sim::IsPremiereLayout(world.layout()) != (settings.app == sim::HostApp::Premiere)) {
        throw ShotError(path.string() + " holds depth " + DepthName(world.layout()) + " data, which --host " +
                        (settings.app == sim::HostApp::Premiere ? "premiere" : "ae") + " does not render");
    }
    if (settings.depth_given && world.layout() != settings.layout) {
        throw ShotError("--depth " + std::string(DepthName(settings.layout)) + " contradicts " + path.string() +
                        ", which holds depth " + DepthName(world.layout()) + " data");
    }
    settings.layout = world.layout();
    return WithRowPadding(std::move(world), options.row_padding);
}

}  // namespace

sim::ImageWriteOptions OutputOptionsFor(const sim::ImageWriteOptions& asked, const std::filesystem::path& out) {
    if (IsNpy(out)) {
        if (asked.channel_type || asked.compression) {
            throw ShotError(std::string("--") + (asked.channel_type ? "out-format" : "compression") +
                            " applies to image outputs; .npy frames hold the render's own data");
        }
        return {};
    }
    try {
        if (asked.compression) CheckImageFrameCompression(out, *asked.compression);
        if (asked.channel_type) CheckImageFrameChannelType(out, *asked.channel_type);
    } catch (const sim::HostError& e) {
        throw ShotError(e.what());
    }
    return asked;
}

bool IsNpy(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".npy";
}

sim::World ReadInputFrame(const std::optional<std::filesystem::path>& path, RenderSettings& settings,
                          const FrameOptions& options, std::optional<sim::ImageFormat>* format, int frames_in_memory) {
    if (format != nullptr) format->reset();
    if (!path) {
        const auto [width, height] = options.card_size.value_or(std::pair{sim::kTestCardWidth, sim::kTestCardHeight});
        CheckFramesFit(settings.layout, width, height, options.row_padding, frames_in_memory,
                       "the render's input and output frames");
        return WithRowPadding(sim::MakeTestCard(settings.layout, width, height), options.row_padding);
    }
    return ReadFrameFile(*path, settings, options, format, frames_in_memory);
}

sim::World MakeFrame(sim::PixelLayout layout, int width, int height, int row_padding) {
    sim::World world(layout, width, height, row_padding);
    const std::size_t pixels = PixelRowBytes(world);
    for (int y = 0; y < height; ++y) std::memset(world.Row(y) + pixels, sim::kPoisonByte, std::size_t(row_padding));
    return world;
}

bool RowPaddingIntact(const sim::World& world) {
    const std::size_t pixels = PixelRowBytes(world);
    for (int y = 0; y < world.height(); ++y) {
        if (!sim::IsPoison(world.Row(y) + pixels, world.rowbytes() - pixels)) return false;
    }
    return true;
}

void CheckOutputPath(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        throw sim::HostError("cannot write " + path.string() + ": it is a folder (name a file in it, such as " +
                             (path / "out.exr").string() + ")");
    }
    // Before the folder is looked at: a build without the image library
    // refuses an image file however it would have fared.
    if (!IsNpy(path)) CheckImageFrameOutput(path);
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    if (!std::filesystem::is_directory(folder, ec)) {
        throw sim::HostError("cannot write " + path.string() + ": folder " + folder.string() + " does not exist");
    }
}

std::vector<std::string> WriteOutputFrame(const std::filesystem::path& path, const sim::World& world,
                                          const sim::ImageFormat* like, const sim::ImageWriteOptions& options,
                                          sim::WrittenImage* written) {
    sim::WrittenImage image{world.width(), world.height(), {4, sim::NpyChannelType(world.layout())}, {}};
    sim::WriteAtomically(path, [&](const std::filesystem::path& temp) {
        try {
            if (IsNpy(path)) {
                sim::WriteNpy(temp, world);
            } else {
                image = WriteImageFrame(path, temp, world, like, options);
            }
        } catch (const sim::HostError& e) {
            // The user knows the file by the name they gave, not the temporary one.
            std::string message = e.what();
            const std::string temp_name = temp.string();
            for (std::size_t at = message.find(temp_name); at != std::string::npos;
                 at = message.find(temp_name, at + path.string().size())) {
                message.replace(at, temp_name.size(), path.string());
            }
            throw sim::HostError(message);
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
                const std::optional<long> owner = sim::TemporaryFileOwner(name, target);
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
