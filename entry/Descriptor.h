/// The descriptor resource the host reads from the module file before it
/// loads it, generated at compile time from the effect's constants.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "shell/Constants.h"

namespace quorvel::descriptor {

/// A four-character code as the host compares it: the first character in the
/// most significant byte.
constexpr std::uint32_t FourCC(std::string_view code) {
    return (std::uint32_t(std::uint8_t(code[0])) << 24) | (std::uint32_t(std::uint8_t(code[1])) << 16) |
           (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

inline constexpr std::uint32_t kVendorCode = FourCC("8BIM");
inline constexpr std::uint32_t kEffectKind = FourCC("eFKT");
inline constexpr std::uint32_t kResourceId = 16000;
inline constexpr std::uint16_t kResourceLanguage = 1033;
inline constexpr std::string_view kResourceType = "PIPL";

/// Writes little-endian properties into a fixed buffer; used only during
/// constant evaluation.
class Writer {
public:
    static constexpr std::size_t kCapacity = 1024;

    constexpr void U16(std::uint16_t v) {
        Byte(std::uint8_t(v));
        Byte(std::uint8_t(v >> 8));
    }
    constexpr void U32(std::uint32_t v) {
        for (int shift = 0; shift < 32; shift += 8) Byte(std::uint8_t(v >> shift));
    }
    constexpr void Zeros(std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) Byte(0);
    }

    constexpr void Header(std::uint32_t count) {
        U16(1);  // leading word
        U32(0);  // descriptor list version
        U32(count);
    }

    constexpr void Long(std::string_view key, std::uint32_t value) {
        PropertyHead(key, 4);
        U32(value);
    }
    constexpr void VersionPair(std::string_view key, std::uint16_t major, std::uint16_t minor) {
        PropertyHead(key, 4);
        U16(major);
        U16(minor);
    }
    /// The one 16-bit property: counted length 2, then two uncounted zeros.
    constexpr void Short(std::string_view key, std::uint16_t value) {
        PropertyHead(key, 2);
        U16(value);
        Zeros(2);
    }
    /// Length byte then characters, padded inside the counted length.
    constexpr void PascalString(std::string_view key, std::string_view text) {
        const std::size_t padded = Pad4(1 + text.size());
        PropertyHead(key, std::uint32_t(padded));
        Byte(std::uint8_t(text.size()));
        for (char c : text) Byte(std::uint8_t(c));
        Zeros(padded - 1 - text.size());
    }
    /// Characters then a NUL, padded inside the counted length.
    constexpr void CString(std::string_view key, std::string_view text) {
        const std::size_t padded = Pad4(text.size() + 1);
        PropertyHead(key, std::uint32_t(padded));
        for (char c : text) Byte(std::uint8_t(c));
        Zeros(padded - text.size());
    }

    constexpr std::size_t size() const { return size_; }
    constexpr std::uint8_t operator[](std::size_t i) const { return bytes_[i]; }

private:
    static constexpr std::size_t Pad4(std::size_t n) { return (n + 3) & ~std::size_t(3); }

    constexpr void PropertyHead(std::string_view key, std::uint32_t length) {
        U32(kVendorCode);
        U32(FourCC(key));
        U32(0);  // property id
        U32(length);
    }
    constexpr void Byte(std::uint8_t b) { bytes_[size_++] = b; }

    std::array<std::uint8_t, kCapacity> bytes_{};
    std::size_t size_ = 0;
};

constexpr Writer Build() {
    Writer w;
    w.Header(12);
    w.Long("kind", kEffectKind);
    w.PascalString("name", kEffectMenuName);
    w.PascalString("catg", kEffectCategory);
    w.CString("8664", kEntryPointName);
    w.VersionPair("ePVR", kDescriptorVersionMajor, kDescriptorVersionMinor);
    w.VersionPair("eSVR", kEffectApiVersionMajor, kEffectApiVersionMinor);
    w.Long("eVER", kEffectVersion);
    w.Short("eINF", 0);
    w.Long("eGLO", std::uint32_t(kGlobalOutFlags));
    w.Long("eGL2", std::uint32_t(kGlobalOutFlags2));
    w.PascalString("eMNA", kEffectMatchName);
    w.Long("aeFL", 8);
    return w;
}

inline constexpr std::size_t kSize = Build().size();

/// The resource's bytes, exactly as the host reads them.
constexpr std::array<std::uint8_t, kSize> Bytes() {
    constexpr Writer w = Build();
    std::array<std::uint8_t, kSize> out{};
    for (std::size_t i = 0; i < kSize; ++i) out[i] = w[i];
    return out;
}

static_assert(kSize == 286, "descriptor layout changed");

}  // namespace quorvel::descriptor
