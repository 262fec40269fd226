#include "FrameFiles.h"

#include <algorithm>
#include <string>

#include "Args.h"
#include "AtomicFile.h"
#include "HostError.h"
#include "ImageFrames.h"
#include "Npy.h"
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

}  // namespace

bool IsNpy(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".npy";
}

sim::World ReadInputFrame(const std::optional<std::filesystem::path>& path, RenderSettings& settings) {
    if (!path) return sim::MakeTestCard(settings.layout);
    // Before the file is looked for: a build without the image library says
    // so whether or not the file exists.
    if (!IsNpy(*path)) CheckImageFrameInput(*path);
    // Anything but a folder: frames may also stream in through a named pipe.
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(*path, ec);
    if (!std::filesystem::exists(status)) throw sim::HostError("no such input file: " + path->string());
    if (std::filesystem::is_directory(status)) {
        throw sim::HostError("input " + path->string() + " is a folder, not a frame file");
    }
    if (!IsNpy(*path)) return ReadImageFrame(*path, settings.layout);

    sim::World world = sim::ReadNpy(*path, settings.app == sim::HostApp::Premiere);
    if (sim::IsPremiereLayout(world.layout()) != (settings.app == sim::HostApp::Premiere)) {
        throw UsageError(path->string() + " holds depth " + DepthName(world.layout()) + " data, which --host " +
                         (settings.app == sim::HostApp::Premiere ? "premiere" : "ae") + " does not render");
    }
    if (settings.depth_given && world.layout() != settings.layout) {
        throw UsageError("--depth " + std::string(DepthName(settings.layout)) + " contradicts " + path->string() +
                         ", which holds depth " + DepthName(world.layout()) + " data");
    }
    settings.layout = world.layout();
    return world;
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
