/// How long a file of a fixed-layout format must be: the bytes its header
/// promises for its pixels. The image library's readers of these formats
/// fill the rows of a file cut short with whatever was in memory and say
/// nothing, so the tool checks the length itself. Kept apart from the
/// image library so that it can be fuzzed on headers of any shape.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace quorvel::imagefiles {

/// The formats checked, told by the first bytes of the file.
enum class FixedLayout { Dpx, Cineon };

/// The header bytes read to tell the promised length: every field used
/// lies within them.
inline constexpr std::size_t kFixedLayoutHeaderBytes = 2048;

/// The least length a file starting with `header` (its first bytes, at most
/// kFixedLayoutHeaderBytes) must have to hold every pixel its header
/// declares; nothing when the header is not of `layout`, is shorter than
/// its fields, or declares what the length cannot be told from (run-length
/// encoding, descriptors or sizes the check does not know). A lower bound:
/// padding the header may declare is not counted.
std::optional<std::uint64_t> PromisedLength(FixedLayout layout, std::span<const std::uint8_t> header);

}  // namespace quorvel::imagefiles
