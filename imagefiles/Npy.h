/// NumPy's .npy array files: exact pixel data in and out. A frame is an
/// array of shape (height, width, 4) in C order whose channels are in the
/// world's memory order (A,R,G,B for the ARGB layouts, B,G,R,A for BGRA);
/// the dtype gives the depth: uint8, uint16 (0..32768) or float32.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <istream>
#include <optional>
#include <string>

#include "frames/World.h"
#include "imagefiles/ImageFormat.h"

namespace quorvel::imagefiles {

/// Called with a frame's layout and size before it is allocated; throws to refuse it.
using FrameCheck = std::function<void(frames::PixelLayout layout, int width, int height)>;

/// The longest header read, and the longest side of a frame: far beyond
/// any header NumPy writes for a frame, and any frame a host renders.
inline constexpr std::uint32_t kMaxNpyHeader = 65536;
inline constexpr std::int64_t kMaxNpySide = 65536;

/// Reads a frame. `premiere` picks BGRA for uint8 data (ARGB otherwise);
/// uint16 is always ARGB 16 and float32 always BGRA 32f. Throws HostError
/// naming what is wrong with a file it cannot take.
frames::World ReadNpy(const std::filesystem::path& path, bool premiere, const FrameCheck& before_allocating = {});
/// The same from a stream; `name` names it in messages.
frames::World ReadNpy(std::istream& in, const std::string& name, bool premiere,
                      const FrameCheck& before_allocating = {});

/// Writes the world's pixels exactly (rows packed, no padding). Throws
/// HostError naming the system's reason when the file cannot be written.
void WriteNpy(const std::filesystem::path& path, const frames::World& world);

/// The data format of a world of the layout in its file.
ChannelType NpyChannelType(frames::PixelLayout layout);

}  // namespace quorvel::imagefiles
