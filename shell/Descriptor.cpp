// Places the descriptor bytes where the loader looks for them. On ELF builds
// that is a section named ".pipl"; Windows builds carry the same bytes as a
// "PIPL" resource produced from the same header.
#include "Descriptor.h"

#if defined(__ELF__)
namespace quorvel::descriptor {
// Never referenced by code: kept alive for the loader by `used`.
[[gnu::section(".pipl"), gnu::used]] const std::array<std::uint8_t, kSize> kEmbedded = Bytes();
}  // namespace quorvel::descriptor
#endif
