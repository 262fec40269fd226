/// Frame buffers the host owns and hands to the module as PF_EffectWorld.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "frames/PixelBuffer.h"
#include "host/PF_Host.h"

namespace quorvel::frames {

/// The four pixel layouts the module renders.
enum class PixelLayout { ARGB8, ARGB16, BGRA8, BGRA32f };

std::size_t BytesPerPixel(PixelLayout layout);
std::string_view LayoutName(PixelLayout layout);
/// Whether the layout belongs to the Premiere host (BGRA) or the other (ARGB).
bool IsPremiereLayout(PixelLayout layout);
/// The Premiere pixel format code of a BGRA layout.
PrPixelFormat PremiereFormat(PixelLayout layout);

struct BGRA8Pixel {
    std::uint8_t b, g, r, a;
};
struct BGRA32fPixel {
    float b, g, r, a;
};

/// An owned frame. Rows may be padded (`row_padding` bytes after each row),
/// and the extent hint defaults to the whole frame.
class World {
public:
    World(PixelLayout layout, int width, int height, int row_padding = 0);

    World(const World&) = delete;
    World& operator=(const World&) = delete;
    World(World&&) noexcept;
    World& operator=(World&&) noexcept;

    PixelLayout layout() const { return layout_; }
    int width() const { return def_.width; }
    int height() const { return def_.height; }
    std::size_t rowbytes() const { return std::size_t(def_.rowbytes); }

    /// The record handed to the module. Its data pointer stays valid while
    /// the world lives, moves included.
    PF_EffectWorld* def() { return &def_; }
    const PF_EffectWorld* def() const { return &def_; }

    std::uint8_t* Row(int y) { return bytes_.data() + std::size_t(y) * rowbytes(); }
    const std::uint8_t* Row(int y) const { return bytes_.data() + std::size_t(y) * rowbytes(); }
    template <typename Pixel>
    Pixel& At(int x, int y) {
        return reinterpret_cast<Pixel*>(Row(y))[x];
    }
    template <typename Pixel>
    const Pixel& At(int x, int y) const {
        return reinterpret_cast<const Pixel*>(Row(y))[x];
    }

    /// All bytes, padding included.
    std::span<std::uint8_t> bytes() { return {bytes_.data(), bytes_.size()}; }
    std::span<const std::uint8_t> bytes() const { return {bytes_.data(), bytes_.size()}; }
    /// The pixel bytes only, rows packed, in memory order.
    std::vector<std::uint8_t> PackedPixels() const;

    void SetExtentHint(PF_LRect hint) { def_.extent_hint = hint; }
    void Fill(std::uint8_t byte);

private:
    PixelLayout layout_;
    PixelBuffer bytes_;
    PF_EffectWorld def_;
};

}  // namespace quorvel::frames
