// The commands that read or write pictures, in a build without the image and
// drawing libraries (the Windows build: Debian has no Windows builds of them).
#include <string>

#include "Args.h"
#include "Commands.h"

namespace quorvel::cli {

namespace {

[[noreturn]] void Unavailable(const char* command) {
    throw UsageError(std::string(command) +
                     " is not available in this build of the tool (it has no image or drawing library)");
}

}  // namespace

int RunRender(const ToolContext&, const std::vector<std::string>&) { Unavailable("render"); }

int RunOverlay(const ToolContext&, const std::vector<std::string>&) { Unavailable("overlay"); }

int RunDrag(const ToolContext&, const std::vector<std::string>&) { Unavailable("drag"); }

}  // namespace quorvel::cli
