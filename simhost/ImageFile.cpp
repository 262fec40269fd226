#include "ImageFile.h"

#include <OpenImageIO/imageio.h>

#include <limits>
#include <type_traits>
#include <vector>

#include "HostError.h"

namespace quorvel::sim {

namespace {

namespace OIIO = OIIO_NAMESPACE;

/// Where red, green, blue and alpha sit in a pixel of the layout.
struct ChannelOrder {
    int r, g, b, a;
};

ChannelOrder OrderOf(PixelLayout layout) {
    return IsPremiereLayout(layout) ? ChannelOrder{2, 1, 0, 3} : ChannelOrder{1, 2, 3, 0};
}

OIIO::TypeDesc FileTypeOf(PixelLayout layout) {
    switch (layout) {
        case PixelLayout::ARGB8:
        case PixelLayout::BGRA8:
            return OIIO::TypeDesc::UINT8;
        case PixelLayout::ARGB16:
            return OIIO::TypeDesc::UINT16;
        case PixelLayout::BGRA32f:
            return OIIO::TypeDesc::FLOAT;
    }
    return OIIO::TypeDesc::UINT8;
}

template <typename T>
void FromRGBA(const std::vector<T>& rgba, int channels, World& world) {
    const ChannelOrder order = OrderOf(world.layout());
    const T opaque = std::is_floating_point_v<T> ? T(1) : std::numeric_limits<T>::max();
    for (int y = 0; y < world.height(); ++y) {
        T* row = reinterpret_cast<T*>(world.Row(y));
        for (int x = 0; x < world.width(); ++x) {
            const T* src = &rgba[(std::size_t(y) * std::size_t(world.width()) + std::size_t(x)) * std::size_t(channels)];
            T* dst = row + std::size_t(x) * 4;
            if (channels >= 3) {
                dst[order.r] = src[0];
                dst[order.g] = src[1];
                dst[order.b] = src[2];
            } else {
                dst[order.r] = dst[order.g] = dst[order.b] = src[0];
            }
            dst[order.a] = channels == 4 ? src[3] : channels == 2 ? src[1] : opaque;
        }
    }
}

template <typename T>
std::vector<T> ToRGBA(const World& world) {
    const ChannelOrder order = OrderOf(world.layout());
    std::vector<T> rgba(std::size_t(world.width()) * std::size_t(world.height()) * 4);
    for (int y = 0; y < world.height(); ++y) {
        const T* row = reinterpret_cast<const T*>(world.Row(y));
        for (int x = 0; x < world.width(); ++x) {
            const T* src = row + std::size_t(x) * 4;
            T* dst = &rgba[(std::size_t(y) * std::size_t(world.width()) + std::size_t(x)) * 4];
            dst[0] = src[order.r];
            dst[1] = src[order.g];
            dst[2] = src[order.b];
            dst[3] = src[order.a];
        }
    }
    return rgba;
}

}  // namespace

std::uint16_t FileToHost16(std::uint16_t v) {
    return std::uint16_t((std::uint32_t(v) * 32768u + 32767u) / 65535u);
}

std::uint16_t HostToFile16(std::uint16_t v) {
    if (v >= 32768) return 65535;
    return std::uint16_t((std::uint32_t(v) * 65535u + 16384u) / 32768u);
}

// An image's header (size, channels, data type) in the image library's own
// type, and how an opened file hands it over; the library's names stay here.
namespace {
using ImageHeader = OIIO::ImageSpec;
const ImageHeader& HeaderOf(const OIIO::ImageInput& in) { return in.spec(); }
}  // namespace

World ReadImage(const std::filesystem::path& path, PixelLayout layout) {
    const std::string name = path.string();
    auto in = OIIO::ImageInput::open(name);
    if (!in) {
        std::string why = OIIO::geterror();
        if (why.empty()) why = "unreadable image";
        throw HostError("cannot read " + name + ": " + why.substr(0, why.find('\n')));
    }
    const ImageHeader& header = HeaderOf(*in);
    const int channels = header.nchannels;
    if (channels < 1 || channels > 4) {
        throw HostError(name + " has " + std::to_string(channels) + " channels; expected 1 to 4");
    }
    if (header.width <= 0 || header.height <= 0 || header.width > 1 << 16 || header.height > 1 << 16) {
        throw HostError(name + " has an unsupported size " + std::to_string(header.width) + "x" +
                        std::to_string(header.height));
    }
    World world(layout, header.width, header.height);
    const OIIO::TypeDesc type = FileTypeOf(layout);
    const std::size_t count = std::size_t(header.width) * std::size_t(header.height) * std::size_t(channels);
    auto read = [&](auto& buffer) {
        if (!in->read_image(0, 0, 0, channels, type, buffer.data())) {
            std::string why = in->geterror();
            throw HostError("cannot read " + name + ": " + why.substr(0, why.find('\n')));
        }
    };
    if (type == OIIO::TypeDesc::UINT8) {
        std::vector<std::uint8_t> buffer(count);
        read(buffer);
        FromRGBA(buffer, channels, world);
    } else if (type == OIIO::TypeDesc::UINT16) {
        std::vector<std::uint16_t> buffer(count);
        read(buffer);
        for (std::uint16_t& v : buffer) v = FileToHost16(v);
        FromRGBA(buffer, channels, world);
        // The opaque default of a file without alpha is the host's full-on value.
        if (channels != 4 && channels != 2) {
            for (int y = 0; y < world.height(); ++y) {
                for (int x = 0; x < world.width(); ++x) world.At<PF_Pixel16>(x, y).alpha = PF_MAX_CHAN16;
            }
        }
    } else {
        std::vector<float> buffer(count);
        read(buffer);
        FromRGBA(buffer, channels, world);
    }
    return world;
}

void CheckImageFormat(const std::filesystem::path& path) {
    if (!OIIO::ImageOutput::create(path.string())) {
        throw HostError("cannot write " + path.string() + ": no image format for the extension '" +
                        path.extension().string() + "'");
    }
}

void WriteImage(const std::filesystem::path& path, const World& world) {
    const std::string name = path.string();
    auto out = OIIO::ImageOutput::create(name);
    if (!out) throw HostError("cannot write " + name + ": no image format for this file name");
    // A format without float or 16-bit data gets the nearest it has; the
    // image library picks it from the requested type.
    const OIIO::TypeDesc type = FileTypeOf(world.layout());
    ImageHeader header(world.width(), world.height(), 4, type);
    header.alpha_channel = 3;
    if (!out->open(name, header)) {
        std::string why = out->geterror();
        throw HostError("cannot write " + name + ": " + why.substr(0, why.find('\n')));
    }
    bool ok = false;
    if (world.layout() == PixelLayout::ARGB16) {
        std::vector<std::uint16_t> rgba = ToRGBA<std::uint16_t>(world);
        for (std::uint16_t& v : rgba) v = HostToFile16(v);
        ok = out->write_image(OIIO::TypeDesc::UINT16, rgba.data());
    } else if (world.layout() == PixelLayout::BGRA32f) {
        const std::vector<float> rgba = ToRGBA<float>(world);
        ok = out->write_image(OIIO::TypeDesc::FLOAT, rgba.data());
    } else {
        const std::vector<std::uint8_t> rgba = ToRGBA<std::uint8_t>(world);
        ok = out->write_image(OIIO::TypeDesc::UINT8, rgba.data());
    }
    if (!ok || !out->close()) {
        std::string why = out->geterror();
        throw HostError("cannot write " + name + ": " + why.substr(0, why.find('\n')));
    }
}

}  // namespace quorvel::sim
