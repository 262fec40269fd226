/// The byte the host fills every reserved, unused or padding byte of the
/// records it hands over with. A module that reads a member it has no
/// business reading, or the right member at the wrong place, reads this:
/// a non-canonical pointer that faults at once, or a number that makes no
/// sense, instead of a lucky zero.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace quorvel::frames {

inline constexpr std::uint8_t kPoisonByte = 0xA5;

/// Fills a whole record with the poison byte; the caller then sets every
/// member a host sets.
template <typename Record>
void Poison(Record& record) {
    static_assert(std::is_trivially_copyable_v<Record>, "only plain host records are poisoned");
    std::memset(static_cast<void*>(&record), kPoisonByte, sizeof record);
}

/// Whether `size` bytes at `bytes` are all poison, i.e. untouched.
inline bool IsPoison(const void* bytes, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    for (std::size_t i = 0; i < size; ++i) {
        if (p[i] != kPoisonByte) return false;
    }
    return true;
}

}  // namespace quorvel::frames
