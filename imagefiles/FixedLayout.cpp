#include "imagefiles/FixedLayout.h"

#include <algorithm>

namespace quorvel::imagefiles {

namespace {

/// A header's integers in the byte order its magic number says.
class Fields {
public:
    Fields(std::span<const std::uint8_t> bytes, bool big_endian) : bytes_(bytes), big_(big_endian) {}

    bool Has(std::size_t offset, std::size_t size) const { return offset + size <= bytes_.size(); }
    std::uint32_t U8(std::size_t offset) const { return bytes_[offset]; }
    std::uint32_t U16(std::size_t offset) const { return Read(offset, 2); }
    std::uint32_t U32(std::size_t offset) const { return Read(offset, 4); }

private:
    std::uint32_t Read(std::size_t offset, int size) const {
        std::uint32_t v = 0;
        for (int i = 0; i < size; ++i) {
            const std::uint32_t byte = bytes_[offset + std::size_t(big_ ? i : size - 1 - i)];
            v = v << 8 | byte;
        }
        return v;
    }

    std::span<const std::uint8_t> bytes_;
    bool big_;
};

/// Sides beyond this are not checked: the product of the header's sizes
/// stays far inside 64 bits, and no file the tool renders is that large.
constexpr std::uint64_t kLargestSide = std::uint64_t(1) << 24;

bool Checkable(std::uint64_t width, std::uint64_t height) {
    return width > 0 && height > 0 && width <= kLargestSide && height <= kLargestSide;
}

/// Bytes of one row of `values` samples of `bits`: whole bytes for 8, 16,
/// 32 and 64 bits; 10 and 12 bits in 32-bit words that each row begins
/// afresh, filled (10 bits three to a word, 12 bits one to 16 bits) or
/// packed tight.
std::optional<std::uint64_t> RowBytes(std::uint64_t values, std::uint32_t bits, bool filled) {
    switch (bits) {
        case 8:
        case 16:
        case 32:
        case 64:
            return values * (bits / 8);
        case 10:
            return filled ? (values + 2) / 3 * 4 : (values * 10 + 31) / 32 * 4;
        case 12:
            return filled ? values * 2 : (values * 12 + 31) / 32 * 4;
        default:
            return std::nullopt;
    }
}

/// Samples a pixel of a DPX element holds, by its descriptor; 0 for one the
/// check does not know.
std::uint32_t DpxComponents(std::uint32_t descriptor) {
    switch (descriptor) {
        case 1:  // red
        case 2:  // green
        case 3:  // blue
        case 4:  // alpha
        case 6:  // luma
        case 8:  // depth
            return 1;
        case 50:   // RGB
        case 102:  // CbYCr
        case 101:  // CbYaCrYa: two pixels in six samples
            return 3;
        case 51:   // RGBA
        case 52:   // ABGR
        case 103:  // CbYCrA
            return 4;
        case 100:  // CbYCrY: two pixels in four samples
            return 2;
        default:
            // User-defined 2 to 8 components.
            return descriptor >= 150 && descriptor <= 156 ? descriptor - 148 : 0;
    }
}

std::optional<std::uint64_t> DpxLength(std::span<const std::uint8_t> header) {
    if (header.size() < 4) return std::nullopt;
    const bool big = header[0] == 'S' && header[1] == 'D' && header[2] == 'P' && header[3] == 'X';
    const bool little = header[0] == 'X' && header[1] == 'P' && header[2] == 'D' && header[3] == 'S';
    if (!big && !little) return std::nullopt;
    const Fields f(header, big);
    constexpr std::size_t kImage = 768, kElements = 780, kElementBytes = 72;
    if (!f.Has(kImage, 12)) return std::nullopt;
    const std::uint32_t elements = f.U16(kImage + 2);
    const std::uint64_t width = f.U32(kImage + 4), height = f.U32(kImage + 8);
    if (elements < 1 || elements > 8 || !Checkable(width, height)) return std::nullopt;
    std::uint64_t longest = 0;
    for (std::uint32_t e = 0; e < elements; ++e) {
        const std::size_t at = kElements + e * kElementBytes;
        if (!f.Has(at, kElementBytes)) return std::nullopt;
        const std::uint32_t components = DpxComponents(f.U8(at + 20));
        const std::uint32_t bits = f.U8(at + 23), packing = f.U16(at + 24), encoding = f.U16(at + 26);
        std::uint64_t offset = f.U32(at + 28);
        if (e == 0 && (offset == 0 || offset == 0xffffffffu)) offset = f.U32(4);
        if (components == 0 || encoding != 0 || offset == 0 || offset == 0xffffffffu) return std::nullopt;
        const std::optional<std::uint64_t> row = RowBytes(width * components, bits, packing != 0);
        if (!row) return std::nullopt;
        longest = std::max(longest, offset + height * *row);
    }
    return longest;
}

std::optional<std::uint64_t> CineonLength(std::span<const std::uint8_t> header) {
    if (header.size() < 4) return std::nullopt;
    const bool big = header[0] == 0x80 && header[1] == 0x2a && header[2] == 0x5f && header[3] == 0xd7;
    const bool little = header[0] == 0xd7 && header[1] == 0x5f && header[2] == 0x2a && header[3] == 0x80;
    if (!big && !little) return std::nullopt;
    const Fields f(header, big);
    constexpr std::size_t kChannels = 193, kDescriptors = 196, kDescriptorBytes = 28, kPacking = 681;
    if (!f.Has(kPacking, 1)) return std::nullopt;
    const std::uint32_t channels = f.U8(kChannels);
    if (channels < 1 || channels > 8) return std::nullopt;
    const std::uint32_t bits = f.U8(kDescriptors + 2);
    const std::uint64_t width = f.U32(kDescriptors + 4), height = f.U32(kDescriptors + 8);
    // All channels of one size, as every writer of the format stores them.
    for (std::uint32_t c = 1; c < channels; ++c) {
        const std::size_t at = kDescriptors + c * kDescriptorBytes;
        if (f.U8(at + 2) != bits || f.U32(at + 4) != width || f.U32(at + 8) != height) return std::nullopt;
    }
    const std::uint64_t offset = f.U32(4);
    if (!Checkable(width, height) || offset == 0) return std::nullopt;
    // Packing 0 is tight bits; the others fill 32-bit words.
    const std::optional<std::uint64_t> row = RowBytes(width * channels, bits, f.U8(kPacking) != 0);
    if (!row) return std::nullopt;
    return offset + height * *row;
}

}  // namespace

std::optional<std::uint64_t> PromisedLength(FixedLayout layout, std::span<const std::uint8_t> header) {
    header = header.first(std::min(header.size(), kFixedLayoutHeaderBytes));
    return layout == FixedLayout::Dpx ? DpxLength(header) : CineonLength(header);
}

}  // namespace quorvel::imagefiles
