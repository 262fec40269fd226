// What a build without the image and drawing libraries (the Windows build:
// Debian has no Windows builds of them) has in place of their parts of the
// tool. Renders and drags work on .npy frames and the test card; image
// files, drawn pictures and what is built on them are refused by name,
// before any work is done, with exit status 2.
#include <string>

#include "Args.h"
#include "Commands.h"
#include "FramePattern.h"
#include "ImageFrames.h"
#include "OverlayPicture.h"
#include "SequenceCommand.h"

namespace quorvel::cli {

namespace {

constexpr const char* kNoImageLibrary =
    "this build of the tool reads and writes only .npy frames (it has no image library)";
constexpr const char* kNoDrawingLibrary = "this build of the tool draws no pictures (it has no drawing library)";

[[noreturn]] void RefuseImage(const char* verb, const std::filesystem::path& path) {
    throw UsageError(std::string("cannot ") + verb + " " + path.string() + ": " + kNoImageLibrary);
}

}  // namespace

// Image files as frames.

const char* const kImageFramesHelp =
    "This build of the tool has no image library: it reads and writes only .npy\n"
    "frames, and refuses any other file name.\n";

void CheckImageFrameInput(const std::filesystem::path& path) { RefuseImage("read", path); }

std::unique_ptr<sim::ImageSource> OpenImageFrame(const std::filesystem::path& path) { RefuseImage("read", path); }

void CheckImageFrameOutput(const std::filesystem::path& path) { RefuseImage("write", path); }

void CheckImageFrameCompression(const std::filesystem::path& path, const std::string&) { RefuseImage("write", path); }

void WriteImageFrame(const std::filesystem::path& path, const sim::World&, const sim::ImageFormat*,
                     const sim::ImageWriteOptions&) {
    RefuseImage("write", path);
}

// The viewer window as a picture, and the command that only makes one.

void CheckOverlayPictureOutput(const std::filesystem::path& path) {
    throw UsageError("cannot write " + path.string() + ": " + kNoDrawingLibrary);
}

void WriteOverlayPicture(Session&, sim::ParamSet&, sim::World&, const sim::View&, const std::filesystem::path& path) {
    CheckOverlayPictureOutput(path);
}

int RunOverlay(const ToolContext&, const std::vector<std::string>&) {
    throw UsageError(std::string("overlay is not available: ") + kNoDrawingLibrary);
}

// Sequences: numbered image files and contact sheets, rendered on the
// POSIX signal and terminal handling of the sequence pipeline.

const char* const kSequenceHelp =
    "Sequences (--frames, keyframes, contact sheets) are not available in this\n"
    "build of the tool, which has no image or drawing library: render one frame\n"
    "at a time.\n\n";

std::vector<OptionDef> SequenceOptionDefs() {
    return {{"frames", "LIST", "render a sequence (not available in this build)"}};
}

bool WantsSequence(const Args& args) {
    if (args.Has("frames")) return true;
    for (const char* option : {"in", "out"}) {
        if (const auto v = args.Get(option); v && FramePattern::LooksNumbered(*v)) return true;
    }
    return false;
}

int RunSequence(const ToolContext&, const Args&) {
    throw UsageError(
        "sequences (--frames, numbered --in or --out) are not available in this build of the tool, "
        "which has no image or drawing library: render one frame at a time");
}

}  // namespace quorvel::cli
