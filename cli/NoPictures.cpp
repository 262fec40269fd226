// The commands a build without the image and drawing libraries (the Windows
// build: Debian has no Windows builds of them) cannot run: the overlay
// picture, and shots (a frame of one included), which stand on numbered image files, contact sheets
// and the POSIX signal and terminal handling of the sequence pipeline.
// Both are refused by name, before any work is done, with exit status 2.
#include "cli/Commands.h"
#include "cli/ControlsFrame.h"
#include "cli/RenderRequest.h"

namespace quorvel::cli {

const char* const kSequenceHelp =
    "Sequences (--frames, keyframes, contact sheets) are not available in this\n"
    "build of the tool, which has no image or drawing library: render one frame\n"
    "at a time.\n";

int RunOverlay(const ToolContext&, const std::vector<std::string>&) {
    throw UsageError("overlay is not available: this build of the tool draws no pictures (it has no drawing library)");
}

int RunSequence(const ToolContext&, const RenderRequest&) {
    throw UsageError(
        "sequences (--frames, numbered --in or --out) are not available in this build of the tool, "
        "which has no image or drawing library: render one frame at a time");
}

std::unique_ptr<ControlsFrame> OpenShotFrame(const ToolContext&, const ControlsRequest&) {
    throw UsageError(
        "shots (--frames) are not available in this build of the tool, which has no image or drawing library: "
        "give the frame's values as options");
}

}  // namespace quorvel::cli
