/// Writing a file so that readers see either the old file or the complete
/// new one: the bytes go to a temporary file beside the target, which is
/// renamed over it only once everything has been written.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace quorvel::imagefiles {

/// Calls `write` with a temporary path in the target's folder, then renames
/// it to `target`. If `write` throws, the temporary file is removed and the
/// target is left as it was. Throws HostError when the folder is missing or
/// not writable, or the rename fails.
void WriteAtomically(const std::filesystem::path& target,
                     const std::function<void(const std::filesystem::path& temp)>& write);

/// When `file_name` is a temporary file WriteAtomically made for a target
/// named `target_name` (in the same folder), the id of the process that
/// made it: a run that was killed leaves such files behind.
std::optional<long> TemporaryFileOwner(const std::string& file_name, const std::string& target_name);

}  // namespace quorvel::imagefiles
