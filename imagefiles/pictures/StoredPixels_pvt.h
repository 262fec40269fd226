/// The stored pixels of an image file and their conversions: the image
/// library's data formats to and from the tool's, a file's packed pixels,
/// and a world's pixels as straight floats. Shared by the reader and the
/// writer of the picture library.
#pragma once

#include <OpenImageIO/imageio.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "frames/PixelBuffer.h"
#include "frames/World.h"
#include "imagefiles/ImageFormat.h"
#include "imagefiles/ImageLayout.h"

namespace quorvel::imagefiles::pictures {

namespace OIIO = OIIO_NAMESPACE;

/// Rows decoded or encoded at a time: whole chunks of every EXR compression
/// (up to 256 rows), within a buffer that stays small beside the frame.
int BandRows(std::size_t row_bytes);

std::string FirstLine(const std::string& text, const char* fallback);

/// An opened file's header: the one place the library's accessor is named.
const OIIO::ImageSpec& HeaderOf(const OIIO::ImageInput& in);

ChannelType TypeOf(OIIO::TypeDesc t, int bits);

OIIO::TypeDesc DescOf(ChannelType t);

/// The bits a file stores of a 16-bit value; 0 for the type's own.
int BitsOf(ChannelType t);

/// The data type a world's channels are held in.
ChannelType WorldChannelType(frames::PixelLayout layout);

/// Where red, green, blue and alpha sit in a pixel of the layout.
struct ChannelOrder {
    int r, g, b, a;
};

ChannelOrder OrderOf(frames::PixelLayout layout);

/// Channels of mixed types packed pixel by pixel, as the image library
/// hands over a file's own data: each channel at its offset in the pixel.
struct PackedPixel {
    std::vector<OIIO::TypeDesc> types;
    std::vector<std::size_t> offsets;
    std::size_t bytes = 0;

    PackedPixel() = default;
    explicit PackedPixel(const std::vector<OIIO::TypeDesc>& channel_types) : types(channel_types) {
        for (const OIIO::TypeDesc& t : types) {
            offsets.push_back(bytes);
            bytes += t.size();
        }
    }
    static PackedPixel Of(const OIIO::ImageSpec& header) {
        std::vector<OIIO::TypeDesc> types;
        for (int c = 0; c < header.nchannels; ++c) types.push_back(header.channelformat(c));
        return PackedPixel(types);
    }
    bool operator==(const PackedPixel& other) const { return types == other.types; }
};

/// `n` values of `type`, `stride` bytes apart, to floats `step` apart.
void ToFloat(OIIO::TypeDesc type, const std::uint8_t* src, std::size_t stride, int n, float* dst, int step);

/// A real value to an integer of `most`, rounded to nearest; not a number is 0.
template <typename T>
T Quantize(float v, double most) {
    if (!(v > 0.0f)) return T(0);
    if (v >= 1.0f) return T(most);
    return T(double(v) * most + 0.5);
}

void FromFloat(const float* src, int step, int n, OIIO::TypeDesc type, std::uint8_t* dst, std::size_t stride);

/// A world's pixels as straight red, green, blue and alpha floats, and back.
void WorldToFloat(const frames::World& world, int row, int x0, int n, float* rgba);

void FloatToWorld(const float* rgba, int n, frames::World& world, int row, int x0);

/// What was read of a file, kept until its render is written: the rendered
/// part's channels as stored, and every part's header.
struct StoredImage {
    std::string path;
    std::string file_format;
    std::vector<OIIO::ImageSpec> parts;
    LayerPlan plan;
    PackedPixel pixel;
    frames::PixelBuffer pixels;  ///< the data window, packed
    bool premultiplied = false;
    /// Whether the world held the stored values exactly (float worlds, and
    /// 8-bit worlds of 8-bit data): then colour is kept as stored where
    /// alpha did not change, however it was divided and multiplied.
    bool exact = false;

    std::size_t RowBytes() const { return std::size_t(plan.data.width) * pixel.bytes; }
    const std::uint8_t* At(int x, int y) const {
        return pixels.data() + std::size_t(y - plan.data.y) * RowBytes() + std::size_t(x - plan.data.x) * pixel.bytes;
    }
    bool Inside(int y) const { return y >= plan.data.y && y < plan.data.y + plan.data.height; }
    /// Whether the stored pixels were kept past reading: only when writing
    /// needs them, so that a plain frame costs no third copy.
    bool Kept() const { return pixels.size() > 0; }
};

/// The layer's stored colour and alpha at `n` pixels from (x, y), as floats;
/// alpha 1 where the layer has none.
void StoredToFloat(const StoredImage& stored, int x, int y, int n, float* rgba);

}  // namespace quorvel::imagefiles::pictures
