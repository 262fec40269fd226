/// Whether the frames of a render fit in the memory the machine can give,
/// checked before they are allocated: a frame too large for the machine is
/// refused with its size named, rather than ended by the system's
/// out-of-memory killer halfway through.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "frames/Message.h"
#include "frames/World.h"

namespace quorvel::shots {

/// The bytes this process can still allocate without swapping or hitting
/// a limit: the smallest of the system's available memory, the control
/// group's remaining allowance and the address-space limit. nullopt when
/// none of them can be read.
std::optional<std::uint64_t> AvailableMemory();

/// "1.2 GB", "350 MB": bytes in decimal units, three significant digits at most.
std::string BytesText(std::uint64_t bytes);

/// Throws ShotError when `frames` frames of `width` x `height` in `layout`
/// (with `row_padding` bytes after each row) need more than the available
/// memory. `what` says what the frames are for, for the message. Each frame
/// also holds `stored_bytes` of the file it was read from.
void CheckFramesFit(frames::PixelLayout layout, int width, int height, int row_padding, int frames,
                    const frames::Message& what, std::uint64_t stored_bytes = 0);

}  // namespace quorvel::shots
