/// Where an installed tree keeps the tool's files.
#pragma once

namespace quorvel::frames {

/// Where an installed tree keeps the tool's module and picture library,
/// relative to the tool's folder (bin/../lib/quorvel); a build tree keeps
/// them beside the tool.
inline constexpr const char* kInstalledFilesFolder = "../lib/quorvel";

}  // namespace quorvel::frames
