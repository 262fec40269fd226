/// The options that shape a single frame's worlds (--size, --row-padding)
/// and what an image output is to be (--out-format, --compression).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ImageFormat.h"
#include "cli/CommandLine.h"
#include "shots/FrameFiles.h"

namespace quorvel::cli {

/// --size and --row-padding into `options`; returns the two declarations,
/// which a sequence refuses.
std::vector<CLI::Option*> AddFrameOptions(CommandLine& line, shots::FrameOptions& options);

/// What an image output is to be instead of what the input image was.
struct OutputFormatChoice {
    std::optional<sim::ChannelType> channel_type;
    std::optional<std::string> compression;
};

void AddOutputFormatOptions(CommandLine& line, OutputFormatChoice& choice);

/// The choice for the output `out`. Throws UsageError when either option
/// is given for a .npy output, or the output's file format does not write
/// the compression.
sim::ImageWriteOptions OutputFormatFor(const OutputFormatChoice& choice, const std::filesystem::path& out);

}  // namespace quorvel::cli
