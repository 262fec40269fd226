// Fuzz target: the first bytes of a DPX or Cineon file, as the tool reads
// them to tell how long the file must be. The first input byte picks the
// format; the promised length, when told, must at least cover the header's
// own image data offset and never wrap.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "imagefiles/FixedLayout.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    using quorvel::imagefiles::FixedLayout;
    const FixedLayout layout = (data[0] & 1) != 0 ? FixedLayout::Cineon : FixedLayout::Dpx;
    const std::optional<std::uint64_t> length =
        quorvel::imagefiles::PromisedLength(layout, std::span<const std::uint8_t>(data + 1, size - 1));
    // No side is larger than 2^24 and no sample wider than 8 bytes.
    if (length && *length > (std::uint64_t(1) << 58)) std::abort();
    return 0;
}
