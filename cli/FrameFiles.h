/// Reading the input frame and writing the output frame of a render, by the
/// file name's extension: .npy for exact pixel data, image files otherwise
/// (ImageFrames.h).
#pragma once

#include <filesystem>
#include <optional>

#include "RenderSettings.h"
#include "World.h"

namespace quorvel::cli {

bool IsNpy(const std::filesystem::path& path);

/// The input frame in the layout the settings ask for; without a path, the
/// built-in test card. A .npy file's dtype decides the depth: a --depth that
/// contradicts it, or a dtype the host does not render, is a usage error.
sim::World ReadInputFrame(const std::optional<std::filesystem::path>& path, RenderSettings& settings);

/// Refuses, before any work is done, an output path that cannot be written.
void CheckOutputPath(const std::filesystem::path& path);

/// Writes atomically: on any failure the target is left as it was.
void WriteOutputFrame(const std::filesystem::path& path, const sim::World& world);

}  // namespace quorvel::cli
