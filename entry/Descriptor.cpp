// Places the descriptor bytes where the loader looks for them. On ELF builds
// that is a section named ".pipl"; Windows builds carry the same bytes as a
// "PIPL" resource produced from the same header.
#include "entry/Descriptor.h"

#if defined(__ELF__)
// An address-sanitized build must not pad the section with red zones: the
// loader reads the section whole.
#if defined(__clang__)
#define QUORVEL_NO_RED_ZONE [[clang::no_sanitize("address")]]
#else
#define QUORVEL_NO_RED_ZONE
#endif

namespace quorvel::descriptor {
// Never referenced by code: kept alive for the loader by `used`.
[[gnu::section(".pipl"), gnu::used]] QUORVEL_NO_RED_ZONE const std::array<std::uint8_t, kSize> kEmbedded = Bytes();
}  // namespace quorvel::descriptor
#endif
