#include "FrameFiles.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "AtomicFile.h"
#include "HostError.h"
#include "ImageFrames.h"
#include "Npy.h"
#include "Parse.h"
#include "Poison.h"
#include "TestCard.h"

namespace quorvel::cli {

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

/// The frame as read or made (rows packed) moved into a world with padded rows.
sim::World WithRowPadding(sim::World packed, int row_padding) {
    if (row_padding == 0) return packed;
    // Hosts keep each row on whole channels: a 16-bit or float channel is
    // never split across the padding.
    const std::size_t channel = sim::BytesPerPixel(packed.layout()) / 4;
    if (std::size_t(row_padding) % channel != 0) {
        throw UsageError("--row-padding " + std::to_string(row_padding) + " would split a channel: depth " +
                         DepthName(packed.layout()) + " rows need a multiple of " + std::to_string(channel) + " bytes");
    }
    sim::World padded = MakeFrame(packed.layout(), packed.width(), packed.height(), row_padding);
    for (int y = 0; y < packed.height(); ++y) std::memcpy(padded.Row(y), packed.Row(y), PixelRowBytes(packed));
    return padded;
}

sim::World ReadFrameFile(const std::filesystem::path& path, RenderSettings& settings) {
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
    if (!IsNpy(path)) return ReadImageFrame(path, settings.layout);

    sim::World world = sim::ReadNpy(path, settings.app == sim::HostApp::Premiere);
    if (sim::IsPremiereLayout(world.layout()) != (settings.app == sim::HostApp::Premiere)) {
        throw UsageError(path.string() + " holds depth " + DepthName(world.layout()) + " data, which --host " +
                         (settings.app == sim::HostApp::Premiere ? "premiere" : "ae") + " does not render");
    }
    if (settings.depth_given && world.layout() != settings.layout) {
        throw UsageError("--depth " + std::string(DepthName(settings.layout)) + " contradicts " + path.string() +
                         ", which holds depth " + DepthName(world.layout()) + " data");
    }
    settings.layout = world.layout();
    return world;
}

}  // namespace

std::vector<OptionDef> FrameOptionDefs() {
    return {
        {"size", "WxH", "the test card's size when there is no --in (default 1920x1080)"},
        {"row-padding", "BYTES",
         "bytes after each row of the input and output frames, as hosts may hand out (0 to 4096, whole channels; "
         "default 0)"},
    };
}

FrameOptions ParseFrameOptions(const Args& args) {
    FrameOptions options;
    if (const auto v = args.Get("size")) {
        if (args.Has("in")) {
            throw UsageError("--size sets the test card's size and cannot be given with --in, whose frame has its own");
        }
        options.card_size = ParseSize("size", *v);
    }
    if (const auto v = args.Get("row-padding")) {
        options.row_padding = ParseInt("row-padding", *v);
        if (options.row_padding < 0 || options.row_padding > kMaxRowPadding) {
            throw UsageError("--row-padding must be between 0 and " + std::to_string(kMaxRowPadding) + " bytes, not " +
                             *v);
        }
    }
    return options;
}

bool IsNpy(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".npy";
}

sim::World ReadInputFrame(const std::optional<std::filesystem::path>& path, RenderSettings& settings,
                          const FrameOptions& options) {
    if (!path) {
        const auto [width, height] = options.card_size.value_or(std::pair{sim::kTestCardWidth, sim::kTestCardHeight});
        return WithRowPadding(sim::MakeTestCard(settings.layout, width, height), options.row_padding);
    }
    return WithRowPadding(ReadFrameFile(*path, settings), options.row_padding);
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
    // Before the folder is looked at: a build without the image library
    // refuses an image file however it would have fared.
    if (!IsNpy(path)) CheckImageFrameOutput(path);
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        throw sim::HostError("cannot write " + path.string() + ": folder " + folder.string() + " does not exist");
    }
    if (std::filesystem::is_directory(path, ec)) throw sim::HostError("cannot write " + path.string() + ": a folder");
}

void WriteOutputFrame(const std::filesystem::path& path, const sim::World& world) {
    sim::WriteAtomically(path, [&](const std::filesystem::path& temp) {
        if (IsNpy(path)) {
            sim::WriteNpy(temp, world);
        } else {
            WriteImageFrame(temp, world);
        }
    });
}

}  // namespace quorvel::cli
