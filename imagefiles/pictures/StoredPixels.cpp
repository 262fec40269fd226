#include <Imath/half.h>

#include <algorithm>
#include <cstring>

#include "imagefiles/ImageFile.h"
#include "imagefiles/pictures/StoredPixels_pvt.h"

namespace quorvel::imagefiles::pictures {

int BandRows(std::size_t row_bytes) {
    constexpr std::size_t kBandBytes = std::size_t(32) << 20;
    return int(std::clamp<std::size_t>(kBandBytes / std::max<std::size_t>(row_bytes, 1), 16, 256));
}

std::string FirstLine(const std::string& text, const char* fallback) {
    const std::string line = text.substr(0, text.find('\n'));
    return line.empty() ? fallback : line;
}

const OIIO::ImageSpec& HeaderOf(const OIIO::ImageInput& in) { return in.spec(); }

ChannelType TypeOf(OIIO::TypeDesc t, int bits) {
    if (t == OIIO::TypeDesc::UINT8) return ChannelType::UInt8;
    if (t == OIIO::TypeDesc::UINT16) {
        if (bits == 10) return ChannelType::UInt10;
        if (bits == 12) return ChannelType::UInt12;
        return ChannelType::UInt16;
    }
    if (t == OIIO::TypeDesc::HALF) return ChannelType::Half;
    if (t == OIIO::TypeDesc::FLOAT) return ChannelType::Float;
    return ChannelType::Other;
}

OIIO::TypeDesc DescOf(ChannelType t) {
    switch (t) {
        case ChannelType::UInt8:
            return OIIO::TypeDesc::UINT8;
        case ChannelType::UInt10:
        case ChannelType::UInt12:
        case ChannelType::UInt16:
            return OIIO::TypeDesc::UINT16;
        case ChannelType::Half:
            return OIIO::TypeDesc::HALF;
        case ChannelType::Float:
        case ChannelType::Other:
            return OIIO::TypeDesc::FLOAT;
    }
    return OIIO::TypeDesc::FLOAT;
}

int BitsOf(ChannelType t) {
    if (t == ChannelType::UInt10) return 10;
    if (t == ChannelType::UInt12) return 12;
    return 0;
}

ChannelType WorldChannelType(frames::PixelLayout layout) {
    switch (layout) {
        case frames::PixelLayout::ARGB8:
        case frames::PixelLayout::BGRA8:
            return ChannelType::UInt8;
        case frames::PixelLayout::ARGB16:
            return ChannelType::UInt16;
        case frames::PixelLayout::BGRA32f:
            return ChannelType::Float;
    }
    return ChannelType::UInt8;
}

ChannelOrder OrderOf(frames::PixelLayout layout) {
    return IsPremiereLayout(layout) ? ChannelOrder{2, 1, 0, 3} : ChannelOrder{1, 2, 3, 0};
}

void ToFloat(OIIO::TypeDesc type, const std::uint8_t* src, std::size_t stride, int n, float* dst, int step) {
    if (type == OIIO::TypeDesc::FLOAT) {
        for (int i = 0; i < n; ++i) std::memcpy(dst + std::size_t(i) * step, src + std::size_t(i) * stride, 4);
    } else if (type == OIIO::TypeDesc::HALF) {
        for (int i = 0; i < n; ++i) {
            Imath::half h;
            std::memcpy(&h, src + std::size_t(i) * stride, 2);
            dst[std::size_t(i) * step] = float(h);
        }
    } else if (type == OIIO::TypeDesc::UINT16) {
        for (int i = 0; i < n; ++i) {
            std::uint16_t v;
            std::memcpy(&v, src + std::size_t(i) * stride, 2);
            dst[std::size_t(i) * step] = float(v) / 65535.0f;
        }
    } else if (type == OIIO::TypeDesc::UINT8) {
        for (int i = 0; i < n; ++i) dst[std::size_t(i) * step] = float(src[std::size_t(i) * stride]) / 255.0f;
    } else {
        for (int i = 0; i < n; ++i) {
            OIIO::convert_pixel_values(type, src + std::size_t(i) * stride, OIIO::TypeFloat,
                                       dst + std::size_t(i) * step);
        }
    }
}

void FromFloat(const float* src, int step, int n, OIIO::TypeDesc type, std::uint8_t* dst, std::size_t stride) {
    if (type == OIIO::TypeDesc::FLOAT) {
        for (int i = 0; i < n; ++i) std::memcpy(dst + std::size_t(i) * stride, src + std::size_t(i) * step, 4);
    } else if (type == OIIO::TypeDesc::HALF) {
        for (int i = 0; i < n; ++i) {
            const Imath::half h(src[std::size_t(i) * step]);
            std::memcpy(dst + std::size_t(i) * stride, &h, 2);
        }
    } else if (type == OIIO::TypeDesc::UINT16) {
        for (int i = 0; i < n; ++i) {
            const std::uint16_t v = Quantize<std::uint16_t>(src[std::size_t(i) * step], 65535.0);
            std::memcpy(dst + std::size_t(i) * stride, &v, 2);
        }
    } else if (type == OIIO::TypeDesc::UINT8) {
        for (int i = 0; i < n; ++i)
            dst[std::size_t(i) * stride] = Quantize<std::uint8_t>(src[std::size_t(i) * step], 255.0);
    } else {
        for (int i = 0; i < n; ++i) {
            OIIO::convert_pixel_values(OIIO::TypeFloat, src + std::size_t(i) * step, type,
                                       dst + std::size_t(i) * stride);
        }
    }
}

void WorldToFloat(const frames::World& world, int row, int x0, int n, float* rgba) {
    const ChannelOrder order = OrderOf(world.layout());
    const int source[4] = {order.r, order.g, order.b, order.a};
    const std::uint8_t* pixels = world.Row(row);
    switch (WorldChannelType(world.layout())) {
        case ChannelType::UInt8:
            for (int i = 0; i < n; ++i)
                for (int c = 0; c < 4; ++c)
                    rgba[4 * i + c] = float(pixels[std::size_t(x0 + i) * 4 + std::size_t(source[c])]) / 255.0f;
            break;
        case ChannelType::UInt16: {
            const auto* p = reinterpret_cast<const std::uint16_t*>(pixels);
            for (int i = 0; i < n; ++i)
                for (int c = 0; c < 4; ++c)
                    rgba[4 * i + c] =
                        float(HostToFile16(p[std::size_t(x0 + i) * 4 + std::size_t(source[c])])) / 65535.0f;
            break;
        }
        default: {
            const auto* p = reinterpret_cast<const float*>(pixels);
            for (int i = 0; i < n; ++i)
                for (int c = 0; c < 4; ++c) rgba[4 * i + c] = p[std::size_t(x0 + i) * 4 + std::size_t(source[c])];
        }
    }
}

void FloatToWorld(const float* rgba, int n, frames::World& world, int row, int x0) {
    const ChannelOrder order = OrderOf(world.layout());
    const int target[4] = {order.r, order.g, order.b, order.a};
    std::uint8_t* pixels = world.Row(row);
    switch (WorldChannelType(world.layout())) {
        case ChannelType::UInt8:
            for (int i = 0; i < n; ++i)
                for (int c = 0; c < 4; ++c)
                    pixels[std::size_t(x0 + i) * 4 + std::size_t(target[c])] =
                        Quantize<std::uint8_t>(rgba[4 * i + c], 255.0);
            break;
        case ChannelType::UInt16: {
            auto* p = reinterpret_cast<std::uint16_t*>(pixels);
            for (int i = 0; i < n; ++i)
                for (int c = 0; c < 4; ++c)
                    p[std::size_t(x0 + i) * 4 + std::size_t(target[c])] =
                        FileToHost16(Quantize<std::uint16_t>(rgba[4 * i + c], 65535.0));
            break;
        }
        default: {
            auto* p = reinterpret_cast<float*>(pixels);
            for (int i = 0; i < n; ++i)
                for (int c = 0; c < 4; ++c) p[std::size_t(x0 + i) * 4 + std::size_t(target[c])] = rgba[4 * i + c];
        }
    }
}

void StoredToFloat(const StoredImage& stored, int x, int y, int n, float* rgba) {
    const std::uint8_t* p = stored.At(x, y);
    const int channels[4] = {stored.plan.red, stored.plan.green, stored.plan.blue, stored.plan.alpha};
    for (int c = 0; c < 4; ++c) {
        if (channels[c] < 0) {
            for (int i = 0; i < n; ++i) rgba[4 * i + c] = 1.0f;
            continue;
        }
        const std::size_t ch = std::size_t(channels[c]);
        ToFloat(stored.pixel.types[ch], p + stored.pixel.offsets[ch], stored.pixel.bytes, n, rgba + c, 4);
    }
}

}  // namespace quorvel::imagefiles::pictures
