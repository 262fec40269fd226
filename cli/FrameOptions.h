/// The options that shape a single frame's worlds (--size, --row-padding)
/// and what an image output is to be (--out-format, --compression).
#pragma once

#include <vector>

#include "cli/CommandLine.h"
#include "imagefiles/ImageFormat.h"
#include "shots/FrameFiles.h"

namespace quorvel::cli {

/// --size and --row-padding into `options`; returns the two declarations,
/// which a sequence refuses.
std::vector<CLI::Option*> AddFrameOptions(CommandLine& line, shots::FrameOptions& options);

/// --out-format and --compression: what an image output is to be instead
/// of what the input image was (checked against the output by the engine).
void AddOutputFormatOptions(CommandLine& line, imagefiles::ImageWriteOptions& choice);
/// --layer, --part and --alpha: which pixels of an input image file to render, and how.
void AddImageInputOptions(CommandLine& line, imagefiles::ImageRequest& request);

}  // namespace quorvel::cli
