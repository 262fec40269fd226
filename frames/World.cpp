#include "frames/World.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "frames/HostError.h"
#include "frames/Poison.h"

namespace quorvel::frames {

std::size_t BytesPerPixel(PixelLayout layout) {
    switch (layout) {
        case PixelLayout::ARGB8:
        case PixelLayout::BGRA8:
            return 4;
        case PixelLayout::ARGB16:
            return 8;
        case PixelLayout::BGRA32f:
            return 16;
    }
    return 4;
}

std::string_view LayoutName(PixelLayout layout) {
    switch (layout) {
        case PixelLayout::ARGB8:
            return "ae8";
        case PixelLayout::ARGB16:
            return "ae16";
        case PixelLayout::BGRA8:
            return "pr8";
        case PixelLayout::BGRA32f:
            return "pr32f";
    }
    return "?";
}

bool IsPremiereLayout(PixelLayout layout) { return layout == PixelLayout::BGRA8 || layout == PixelLayout::BGRA32f; }

PrPixelFormat PremiereFormat(PixelLayout layout) {
    return layout == PixelLayout::BGRA32f ? PrPixelFormat(PrPixelFormat_BGRA_4444_32f)
                                          : PrPixelFormat(PrPixelFormat_BGRA_4444_8u);
}

World::World(PixelLayout layout, int width, int height, int row_padding) : layout_(layout) {
    if (width < 0 || height < 0 || row_padding < 0) throw HostError("world size must not be negative");
    const std::size_t rowbytes = std::size_t(width) * BytesPerPixel(layout) + std::size_t(row_padding);
    if (rowbytes > std::size_t(std::numeric_limits<A_long>::max()) ||
        (height > 0 && rowbytes > std::numeric_limits<std::size_t>::max() / std::size_t(height))) {
        throw HostError("world too large");
    }
    bytes_ = PixelBuffer(rowbytes * std::size_t(height));
    // The members a host sets; the reserved ones and the padding stay poison.
    Poison(def_);
    def_.world_flags = PF_WorldFlag_WRITEABLE | (layout == PixelLayout::ARGB16 ? PF_WorldFlag_DEEP : 0);
    def_.data = reinterpret_cast<PF_PixelPtr>(bytes_.data());
    def_.rowbytes = A_long(rowbytes);
    def_.width = width;
    def_.height = height;
    def_.extent_hint = PF_LRect{0, 0, width, height};
    def_.pix_aspect_ratio = PF_RationalScale{1, 1};
    def_.origin_x = 0;
    def_.origin_y = 0;
    def_.dephault = 0;
}

World::World(World&& other) noexcept : layout_(other.layout_), bytes_(std::move(other.bytes_)), def_(other.def_) {
    def_.data = reinterpret_cast<PF_PixelPtr>(bytes_.data());
}

World& World::operator=(World&& other) noexcept {
    layout_ = other.layout_;
    bytes_ = std::move(other.bytes_);
    def_ = other.def_;
    def_.data = reinterpret_cast<PF_PixelPtr>(bytes_.data());
    return *this;
}

std::vector<std::uint8_t> World::PackedPixels() const {
    const std::size_t row = std::size_t(width()) * BytesPerPixel(layout_);
    std::vector<std::uint8_t> out(row * std::size_t(height()));
    for (int y = 0; y < height(); ++y) std::memcpy(out.data() + std::size_t(y) * row, Row(y), row);
    return out;
}

void World::Fill(std::uint8_t byte) { std::fill_n(bytes_.data(), bytes_.size(), byte); }

}  // namespace quorvel::frames
