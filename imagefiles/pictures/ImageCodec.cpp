#include "imagefiles/pictures/ImageCodec.h"

#include <Imath/half.h>
#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "frames/HostError.h"
#include "frames/PixelBuffer.h"
#include "imagefiles/ImageFile.h"
#include "imagefiles/ImageLayout.h"

namespace quorvel::sim::pictures {

namespace {

namespace OIIO = OIIO_NAMESPACE;

/// Rows decoded or encoded at a time: whole chunks of every EXR compression
/// (up to 256 rows), within a buffer that stays small beside the frame.
int BandRows(std::size_t row_bytes) {
    constexpr std::size_t kBandBytes = std::size_t(32) << 20;
    return int(std::clamp<std::size_t>(kBandBytes / std::max<std::size_t>(row_bytes, 1), 16, 256));
}

std::string FirstLine(const std::string& text, const char* fallback) {
    const std::string line = text.substr(0, text.find('\n'));
    return line.empty() ? fallback : line;
}

/// An opened file's header: the one place the library's accessor is named.
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

/// The bits a file stores of a 16-bit value; 0 for the type's own.
int BitsOf(ChannelType t) {
    if (t == ChannelType::UInt10) return 10;
    if (t == ChannelType::UInt12) return 12;
    return 0;
}

/// The data type a world's channels are held in.
ChannelType WorldChannelType(PixelLayout layout) {
    switch (layout) {
        case PixelLayout::ARGB8:
        case PixelLayout::BGRA8:
            return ChannelType::UInt8;
        case PixelLayout::ARGB16:
            return ChannelType::UInt16;
        case PixelLayout::BGRA32f:
            return ChannelType::Float;
    }
    return ChannelType::UInt8;
}

/// Where red, green, blue and alpha sit in a pixel of the layout.
struct ChannelOrder {
    int r, g, b, a;
};

ChannelOrder OrderOf(PixelLayout layout) {
    return IsPremiereLayout(layout) ? ChannelOrder{2, 1, 0, 3} : ChannelOrder{1, 2, 3, 0};
}

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

/// A real value to an integer of `most`, rounded to nearest; not a number is 0.
template <typename T>
T Quantize(float v, double most) {
    if (!(v > 0.0f)) return T(0);
    if (v >= 1.0f) return T(most);
    return T(double(v) * most + 0.5);
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

/// A world's pixels as straight red, green, blue and alpha floats, and back.
void WorldToFloat(const World& world, int row, int x0, int n, float* rgba) {
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

void FloatToWorld(const float* rgba, int n, World& world, int row, int x0) {
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

/// What was read of a file, kept until its render is written: the rendered
/// part's channels as stored, and every part's header.
struct StoredImage {
    std::string path;
    std::string file_format;
    std::vector<OIIO::ImageSpec> parts;
    LayerPlan plan;
    PackedPixel pixel;
    PixelBuffer pixels;  ///< the data window, packed
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

/// Values a 16-bit world cannot hold, counted as they are read.
struct Clipping {
    long long count = 0;
    long long not_numbers = 0;
    float highest = -std::numeric_limits<float>::infinity();
    float lowest = std::numeric_limits<float>::infinity();

    void Look(const float* v, int n) {
        for (int i = 0; i < n; ++i) {
            if (v[i] >= 0.0f && v[i] <= 1.0f) continue;
            ++count;
            if (std::isnan(v[i])) ++not_numbers;
            if (v[i] > highest) highest = v[i];
            if (v[i] < lowest) lowest = v[i];
        }
    }
};

std::string Number(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", double(v));
    return text;
}

/// Formats whose files say nothing of alpha association, and whose readers
/// take colour as premultiplied; every other format with alpha stores
/// straight colour, but for TIFF, which says which it holds.
bool StoresPremultiplied(const std::string& file_format) {
    return file_format == "openexr" || file_format == "dpx" || file_format == "cineon";
}

class FileSource final : public ImageSource {
public:
    FileSource(const std::filesystem::path& path, const ImageRequest& request) : name_(path.string()) {
        // Pixels as stored: the tool divides and multiplies by alpha itself,
        // as the hosts interpret footage.
        OIIO::ImageSpec hints;
        hints.attribute("oiio:UnassociatedAlpha", 1);
        in_ = OIIO::ImageInput::open(name_, &hints);
        if (!in_) throw HostError("cannot read " + name_ + ": " + FirstLine(OIIO::geterror(), "unreadable image"));
        std::vector<PartHeader> parts;
        for (int p = 0; p <= kMaxParts && in_->seek_subimage(p, 0); ++p) {
            stored_->parts.push_back(HeaderOf(*in_));
            parts.push_back(Describe(stored_->parts.back(), p));
        }
        (void)in_->geterror();  // what looking past the last part left behind
        plan_ = PlanLayer(name_, parts, LayerChoice{request.layer, request.part});
        if (!in_->seek_subimage(plan_.part, 0)) {
            throw HostError("cannot read " + name_ + ": " + FirstLine(in_->geterror(), "?"));
        }
        const OIIO::ImageSpec& header = stored_->parts[std::size_t(plan_.part)];
        stored_->path = name_;
        stored_->file_format = in_->format_name();
        stored_->plan = plan_;
        stored_->pixel = PackedPixel::Of(header);
        const bool file_premultiplied =
            stored_->file_format == "openexr" || header.get_int_attribute("oiio:UnassociatedAlpha", 0) == 0;
        stored_->premultiplied = request.premultiplied.value_or(file_premultiplied) && plan_.alpha >= 0;
        DescribeFormat(header);
    }

    const ImageFormat& format() const override { return format_; }

    void ReadInto(World& world) override {
        if (world.width() != format_.width || world.height() != format_.height) {
            throw HostError("cannot read " + name_ + " into a frame of another size");
        }
        StoredImage& stored = *stored_;
        stored.pixels = PixelBuffer(stored.RowBytes() * std::size_t(plan_.data.height));
        // The whole data window at once, whatever the file's tiles or
        // scanlines: the library picks the reader its layout needs.
        if (!in_->read_image(plan_.part, 0, 0, int(stored.pixel.types.size()), OIIO::TypeUnknown,
                             stored.pixels.data())) {
            throw HostError("cannot read " + name_ + ": " + FirstLine(in_->geterror(), "unreadable pixels"));
        }
        const ChannelType world_type = WorldChannelType(world.layout());
        stored.exact =
            world_type == ChannelType::Float ||
            (world_type == ChannelType::UInt8 && std::all_of(format_.channel_types.begin(), format_.channel_types.end(),
                                                             [](ChannelType t) { return t == ChannelType::UInt8; }));
        const bool counting = world_type == ChannelType::UInt16;
        Clipping clipping;
        const Window& frame = plan_.frame;
        const Window& data = plan_.data;
        const int x0 = data.x, x1 = data.x + data.width;
        std::vector<float> rgba(std::size_t(data.width) * 4);
        for (int row = 0; row < world.height(); ++row) {
            const int y = frame.y + row;
            std::memset(world.Row(row), 0, std::size_t(world.width()) * BytesPerPixel(world.layout()));
            if (!stored.Inside(y)) continue;
            StoredToFloat(stored, x0, y, data.width, rgba.data());
            if (stored.premultiplied) {
                // Where alpha is 0 the stored colour is emitted light: taken as it is.
                for (std::size_t i = 0; i < rgba.size(); i += 4) {
                    const float a = rgba[i + 3];
                    if (a != 0.0f)
                        for (int c = 0; c < 3; ++c) rgba[i + std::size_t(c)] /= a;
                }
            }
            if (counting) clipping.Look(rgba.data(), int(rgba.size()));
            FloatToWorld(rgba.data(), x1 - x0, world, row, x0 - frame.x);
        }
        if (counting) NoteDepthLoss(clipping);
        const int layer_channels = plan_.red == plan_.green ? 1 : 3;
        const bool others = int(stored.pixel.types.size()) > layer_channels + (plan_.alpha >= 0 ? 1 : 0);
        if (!others && !(stored.premultiplied && stored.exact)) stored.pixels = PixelBuffer();
        format_.stored = stored_;
    }

private:
    PartHeader Describe(const OIIO::ImageSpec& h, int part) {
        PartHeader d;
        d.name = h.get_string_attribute("name");
        d.view = h.get_string_attribute("view");
        for (int c = 0; c < h.nchannels && c <= kMaxChannels; ++c) d.channels.push_back(h.channel_name(c));
        d.alpha_channel = h.alpha_channel;
        d.data = Window{h.x, h.y, h.width, h.height};
        if (h.full_width > 0 && h.full_height > 0) d.display = Window{h.full_x, h.full_y, h.full_width, h.full_height};
        d.deep = h.deep;
        d.volume_depth = h.depth;
        int levels = 1;
        while (levels < 64 && in_->seek_subimage(part, levels)) ++levels;
        d.mip_levels = levels;
        return d;
    }

    void DescribeFormat(const OIIO::ImageSpec& header) {
        format_.file_format = stored_->file_format;
        format_.width = plan_.frame.width;
        format_.height = plan_.frame.height;
        format_.layer_x = plan_.display.x - plan_.frame.x;
        format_.layer_y = plan_.display.y - plan_.frame.y;
        format_.layer_width = plan_.display.width;
        format_.layer_height = plan_.display.height;
        format_.notes = plan_.notes;
        format_.premultiplied = stored_->premultiplied;
        format_.had_alpha = plan_.alpha >= 0;
        const int bits = header.get_int_attribute("oiio:BitsPerSample", 0);
        const bool grey = plan_.red == plan_.green;
        const int sources[3] = {plan_.red, plan_.green, plan_.blue};
        for (int i = 0; i < 3; ++i) {
            format_.channel_names.push_back(grey ? std::string(1, "RGB"[i])
                                                 : std::string(header.channel_name(sources[i])));
            format_.channel_types.push_back(TypeOf(header.channelformat(sources[i]), bits));
        }
        if (format_.had_alpha) {
            format_.channel_names.push_back(grey ? "A" : std::string(header.channel_name(plan_.alpha)));
            format_.channel_types.push_back(TypeOf(header.channelformat(plan_.alpha), bits));
        } else {
            format_.channel_names.push_back(plan_.layer.empty() ? "A" : plan_.layer + ".A");
            format_.channel_types.push_back(format_.channel_types[0]);
        }
        format_.compression = header.get_string_attribute("compression");
        if (header.find_attribute("PixelAspectRatio", OIIO::TypeFloat) != nullptr) {
            format_.pixel_aspect = header.get_float_attribute("PixelAspectRatio");
        }
        format_.header = std::make_shared<const OIIO::ImageSpec>(header);
        // The rendered part as stored, and the largest other part, which is
        // copied through memory when the output is written.
        std::uint64_t largest_other = 0;
        for (std::size_t p = 0; p < stored_->parts.size(); ++p) {
            if (int(p) != plan_.part)
                largest_other = std::max<std::uint64_t>(largest_other, stored_->parts[p].image_bytes(true));
        }
        format_.stored_bytes =
            std::uint64_t(stored_->pixel.bytes) * std::uint64_t(plan_.data.width) * std::uint64_t(plan_.data.height) +
            largest_other;
    }

    /// What the 16-bit path loses of deeper data, in one sentence.
    void NoteDepthLoss(const Clipping& clipping) {
        const auto& types = format_.channel_types;
        const bool real = std::any_of(types.begin(), types.end(), [](ChannelType t) {
            return t == ChannelType::Half || t == ChannelType::Float || t == ChannelType::Other;
        });
        if (real) {
            if (clipping.count == 0) return;
            std::string extreme;
            const auto add = [&extreme](const std::string& part) { extreme += (extreme.empty() ? "" : ", ") + part; };
            if (clipping.highest > 1.0f) add("the largest " + Number(clipping.highest));
            if (clipping.lowest < 0.0f) add("the lowest " + Number(clipping.lowest));
            if (clipping.not_numbers > 0) add(std::to_string(clipping.not_numbers) + " not a number");
            format_.notes.push_back(name_ + ": the 16-bit path holds 0 to 1, so " + std::to_string(clipping.count) +
                                    " values were clipped (" + extreme +
                                    "); without --host ae the float path keeps them");
        } else if (std::find(types.begin(), types.end(), ChannelType::UInt16) != types.end()) {
            format_.notes.push_back(name_ +
                                    ": the 16-bit path holds 0 to 32768, so 16-bit data loses its lowest bit; "
                                    "without --host ae the float path keeps every value");
        }
    }

    std::string name_;
    std::unique_ptr<OIIO::ImageInput> in_;
    std::shared_ptr<StoredImage> stored_ = std::make_shared<StoredImage>();
    LayerPlan plan_;
    ImageFormat format_;
};

/// The compressions each format that has a choice writes, as the image
/// library names them; a level may follow after a colon.
struct Compressions {
    const char* format;
    std::vector<std::string> names;
};

const std::vector<Compressions>& KnownCompressions() {
    static const std::vector<Compressions> known = {
        {"openexr", {"none", "rle", "zip", "zips", "piz", "pxr24", "b44", "b44a", "dwaa", "dwab"}},
        {"tiff", {"none", "lzw", "zip", "packbits", "ccittrle", "jpeg"}},
        {"png", {"zip"}},
    };
    return known;
}

/// The data formats each format holds, for --out-format; formats not
/// listed take what the library makes of the asked type.
struct HeldTypes {
    const char* format;
    std::vector<ChannelType> types;
};

const std::vector<HeldTypes>& KnownTypes() {
    using T = ChannelType;
    static const std::vector<HeldTypes> known = {
        {"openexr", {T::Half, T::Float}},
        {"tiff", {T::UInt8, T::UInt16, T::Half, T::Float}},
        {"png", {T::UInt8, T::UInt16}},
        {"dpx", {T::UInt8, T::UInt10, T::UInt12, T::UInt16}},
        {"jpeg", {T::UInt8}},
    };
    return known;
}

std::unique_ptr<OIIO::ImageOutput> OutputFor(const std::filesystem::path& path) {
    auto out = OIIO::ImageOutput::create(path.string());
    if (!out) {
        throw HostError("cannot write " + path.string() + ": no image format for the extension '" +
                        path.extension().string() + "'");
    }
    return out;
}

/// Whether the file format stores half or float data; the others that keep
/// 16 bits are told to, the rest take what they have.
bool HasFloatData(const std::string& file_format) {
    for (const char* f : {"openexr", "tiff", "hdr", "fits", "psd", "rla", "dds", "null"}) {
        if (file_format == f) return true;
    }
    return false;
}

/// Attributes that describe the pixels as they were, wrong once the matte
/// is on them, or a texture's levels, which the output no longer has.
void EraseStaleAttributes(OIIO::ImageSpec& header) {
    for (const char* name : {"oiio:SHA-1", "oiio:AverageColor", "oiio:ConstantColor", "oiio:subimages", "textureformat",
                             "openexr:levelmode", "openexr:roundingmode", "tiff:subfiletype"}) {
        header.erase_attribute(name);
    }
}

/// A rendered channel's place in an output pixel: which of red, green,
/// blue and alpha, or a stored channel written back as it is.
constexpr int kRendered[4] = {-1, -2, -3, -4};

struct OutputPart {
    OIIO::ImageSpec header;
    std::vector<int> sources;  ///< per output channel: a stored channel's index, or kRendered[c]
    PackedPixel pixel;
    Window window;  ///< the pixels written, in the input's coordinates
    /// The header's data window less `window`: a format without an origin
    /// puts the pixels at (0, 0).
    int shift_x = 0, shift_y = 0;
    bool premultiply = false;  ///< colour multiplied by alpha
    bool over_black = false;   ///< no alpha channel: colour matted over black
};

/// How the rendered colour is stored: straight, or multiplied by the new
/// alpha, keeping the stored colour where alpha did not change.
void FinishColour(const OutputPart& part, const StoredImage* stored, int x, int y, int n, float* rgba,
                  std::vector<float>& scratch) {
    if (!part.premultiply && !part.over_black) return;
    const bool keep = part.premultiply && stored != nullptr && stored->Kept() && stored->exact &&
                      stored->premultiplied && stored->Inside(y) && x >= stored->plan.data.x &&
                      x + n <= stored->plan.data.x + stored->plan.data.width;
    if (keep) {
        scratch.resize(std::size_t(n) * 4);
        StoredToFloat(*stored, x, y, n, scratch.data());
    }
    for (int i = 0; i < n; ++i) {
        float* p = rgba + 4 * i;
        const float a = p[3];
        if (a == 0.0f) {
            p[0] = p[1] = p[2] = 0.0f;
        } else if (keep && scratch[std::size_t(4 * i + 3)] == a) {
            for (int c = 0; c < 3; ++c) p[c] = scratch[std::size_t(4 * i + c)];
        } else {
            for (int c = 0; c < 3; ++c) p[c] *= a;
        }
    }
}

/// One output row of `part`: stored channels copied, rendered ones
/// converted from the world.
void AssembleRow(const World& world, const Window& frame, const OutputPart& part, const StoredImage* stored, int y,
                 std::uint8_t* out, std::vector<float>& rgba, std::vector<float>& scratch) {
    const Window& w = part.window;
    const std::size_t bytes = part.pixel.bytes;
    std::memset(out, 0, std::size_t(w.width) * bytes);
    if (stored != nullptr && stored->Kept() && stored->Inside(y)) {
        const Window& data = stored->plan.data;
        const int x0 = std::max(w.x, data.x), x1 = std::min(w.x + w.width, data.x + data.width);
        if (x0 < x1) {
            std::uint8_t* dst = out + std::size_t(x0 - w.x) * bytes;
            const std::uint8_t* src = stored->At(x0, y);
            if (part.pixel == stored->pixel) {
                std::memcpy(dst, src, std::size_t(x1 - x0) * bytes);
            } else {
                for (std::size_t c = 0; c < part.sources.size(); ++c) {
                    const int s = part.sources[c];
                    if (s < 0) continue;
                    const OIIO::TypeDesc from = stored->pixel.types[std::size_t(s)], to = part.pixel.types[c];
                    for (int x = x0; x < x1; ++x) {
                        std::uint8_t* d = dst + std::size_t(x - x0) * bytes + part.pixel.offsets[c];
                        const std::uint8_t* v =
                            src + std::size_t(x - x0) * stored->pixel.bytes + stored->pixel.offsets[std::size_t(s)];
                        if (from == to) {
                            std::memcpy(d, v, to.size());
                        } else {
                            OIIO::convert_pixel_values(from, v, to, d);
                        }
                    }
                }
            }
        }
    }
    rgba.resize(std::size_t(w.width) * 4);
    WorldToFloat(world, y - frame.y, w.x - frame.x, w.width, rgba.data());
    FinishColour(part, stored, w.x, y, w.width, rgba.data(), scratch);
    for (std::size_t c = 0; c < part.sources.size(); ++c) {
        const int s = part.sources[c];
        if (s >= 0) continue;
        const int component = -s - 1;
        FromFloat(rgba.data() + component, 4, w.width, part.pixel.types[c], out + part.pixel.offsets[c], bytes);
    }
}

/// Writes the part's pixels, a band of rows (of whole tiles) at a time.
bool WritePixels(OIIO::ImageOutput& out, const World& world, const Window& frame, const OutputPart& part,
                 const StoredImage* stored) {
    const Window& w = part.window;
    const std::size_t row_bytes = std::size_t(w.width) * part.pixel.bytes;
    const int tile = std::max(part.header.tile_height, 1);
    const int rows = std::max(tile, BandRows(row_bytes) / tile * tile);
    const PixelBuffer band(row_bytes * std::size_t(rows));
    std::vector<float> rgba, scratch;
    // The pixels are in the file's own formats. The library takes channels
    // of mixed formats as "unknown" in contiguous memory only, and a tiled
    // TIFF's only by the format's name.
    const OIIO::TypeDesc type = out.spec().channelformats.empty() ? out.spec().format : OIIO::TypeUnknown;
    for (int top = w.y; top < w.y + w.height; top += rows) {
        const int bottom = std::min(top + rows, w.y + w.height);
        for (int y = top; y < bottom; ++y) {
            AssembleRow(world, frame, part, stored, y, band.data() + std::size_t(y - top) * row_bytes, rgba, scratch);
        }
        const int x = w.x + part.shift_x, y0 = top + part.shift_y, y1 = bottom + part.shift_y;
        const bool ok = part.header.tile_width > 0 ? out.write_tiles(x, x + w.width, y0, y1, 0, 1, type, band.data())
                                                   : out.write_scanlines(y0, y1, 0, type, band.data());
        if (!ok) return false;
    }
    return true;
}

/// Sets the header's channels to `types`, one format for all when they agree.
void SetChannelTypes(OIIO::ImageSpec& header, const std::vector<ChannelType>& types) {
    header.channelformats.clear();
    int bits = 0;
    for (ChannelType t : types) bits = std::max(bits, BitsOf(t));
    if (bits > 0) {
        header.attribute("oiio:BitsPerSample", bits);
    } else {
        header.erase_attribute("oiio:BitsPerSample");
    }
    const bool one =
        std::all_of(types.begin(), types.end(), [&](ChannelType t) { return DescOf(t) == DescOf(types[0]); });
    if (one) {
        header.set_format(DescOf(types[0]));
        return;
    }
    for (ChannelType t : types) header.channelformats.push_back(DescOf(t));
    header.format = DescOf(*std::max_element(types.begin(), types.end(), [](ChannelType a, ChannelType b) {
        return ChannelTypeBytes(a) < ChannelTypeBytes(b);
    }));
}

/// Tells the image library how the colour handed to it stands to alpha.
/// A TIFF records it; formats of straight colour would otherwise have the
/// library divide colour by alpha on the way out, and the others store
/// the values as given either way.
void MarkAssociation(OIIO::ImageSpec& header, const std::string& file_format, bool premultiplied) {
    if (premultiplied && (file_format == "tiff" || StoresPremultiplied(file_format))) {
        header.erase_attribute("oiio:UnassociatedAlpha");
    } else {
        header.attribute("oiio:UnassociatedAlpha", 1);
    }
}

/// The rendered part written back in its own file format: every channel
/// it stored, the rendered ones from the world.
OutputPart SameFormatPart(const StoredImage& stored, const World& world, const Window& frame,
                          const ImageWriteOptions& options) {
    const LayerPlan& plan = stored.plan;
    OutputPart part;
    part.header = stored.parts[std::size_t(plan.part)];
    OIIO::ImageSpec& h = part.header;
    const int bits = h.get_int_attribute("oiio:BitsPerSample", 0);
    std::vector<std::string> names;
    std::vector<ChannelType> types;
    int alpha = -1, z = -1;
    for (int c = 0; c < h.nchannels; ++c) {
        const int rendered = c == plan.red ? 0 : c == plan.green ? 1 : c == plan.blue ? 2 : c == plan.alpha ? 3 : -1;
        ChannelType type = TypeOf(h.channelformat(c), bits);
        if (rendered >= 0) {
            if (type == ChannelType::Other) type = WorldChannelType(world.layout());
            if (options.channel_type) type = *options.channel_type;
        }
        if (rendered == 3) alpha = int(names.size());
        if (c == h.z_channel) z = int(names.size());
        names.push_back(h.channel_name(c));
        types.push_back(type);
        part.sources.push_back(rendered >= 0 ? kRendered[rendered] : c);
        if (c == plan.blue && plan.alpha < 0 && plan.red != plan.green) {
            // A layer without alpha gains one beside its colour.
            alpha = int(names.size());
            names.push_back(plan.layer.empty() ? "A" : plan.layer + ".A");
            types.push_back(options.channel_type.value_or(type));
            part.sources.push_back(kRendered[3]);
        }
    }
    if (plan.alpha < 0 && plan.red == plan.green) {
        alpha = int(names.size());
        names.push_back("A");
        types.push_back(options.channel_type.value_or(types[std::size_t(plan.red)]));
        part.sources.push_back(kRendered[3]);
    }
    h.nchannels = int(names.size());
    h.channelnames = names;
    h.alpha_channel = alpha;
    h.z_channel = z;
    SetChannelTypes(h, types);
    // Overscan kept: the data window covers what was rendered.
    part.window = frame;
    h.x = frame.x, h.y = frame.y, h.width = frame.width, h.height = frame.height;
    part.premultiply = stored.premultiplied || StoresPremultiplied(stored.file_format);
    MarkAssociation(h, stored.file_format, part.premultiply);
    std::vector<OIIO::TypeDesc> descs;
    for (ChannelType t : types) descs.push_back(DescOf(t));
    part.pixel = PackedPixel(descs);
    return part;
}

/// The rendered layer alone, in a format other than the input's, or from
/// an input that was not an image file.
OutputPart LayerPart(const std::string& file_format, const OIIO::ImageOutput& out, const World& world,
                     const Window& frame, const Window& display, const ImageFormat* like,
                     const ImageWriteOptions& options) {
    OutputPart part;
    OIIO::ImageSpec& h = part.header;
    if (like != nullptr && like->header) h = *static_cast<const OIIO::ImageSpec*>(like->header.get());
    // A data window beyond the display window needs a format that has both.
    part.window = out.supports("displaywindow") ? frame : display;
    h.x = part.window.x, h.y = part.window.y, h.width = part.window.width, h.height = part.window.height;
    h.full_x = display.x, h.full_y = display.y, h.full_width = display.width, h.full_height = display.height;
    if (!out.supports("origin")) {
        h.full_x -= h.x, h.full_y -= h.y;
        part.shift_x = -h.x, part.shift_y = -h.y;
        h.x = h.y = 0;
    }
    h.z = h.full_z = 0;
    h.depth = h.full_depth = 1;
    h.tile_width = h.tile_height = 0;
    h.tile_depth = 1;

    part.over_black = !out.supports("alpha");
    const int channels = part.over_black ? 3 : 4;
    std::vector<ChannelType> types(4, WorldChannelType(world.layout()));
    std::vector<std::string> names = {"R", "G", "B", "A"};
    if (like != nullptr && like->channel_names.size() == 4) {
        names = like->channel_names;
        types = like->channel_types;
    }
    if (options.channel_type) types.assign(4, *options.channel_type);
    for (ChannelType& t : types) {
        if (t == ChannelType::Other) t = WorldChannelType(world.layout());
        // Formats of integers only: 16 bits are the nearest to half or float
        // (the library would pick 8).
        if ((t == ChannelType::Half || t == ChannelType::Float) && !HasFloatData(file_format)) t = ChannelType::UInt16;
        if (BitsOf(t) != 0 && file_format != "dpx") t = ChannelType::UInt16;
        // EXR holds no integers of these sizes: 8-bit values come back from
        // half exactly, 16-bit ones from float.
        if (file_format == "openexr" && t == ChannelType::UInt8) t = ChannelType::Half;
        if (file_format == "openexr" && (t == ChannelType::UInt16 || BitsOf(t) != 0)) t = ChannelType::Float;
    }
    names.resize(std::size_t(channels));
    types.resize(std::size_t(channels));
    h.nchannels = channels;
    h.channelnames = names;
    h.alpha_channel = part.over_black ? -1 : 3;
    h.z_channel = -1;
    SetChannelTypes(h, types);
    // A compression is named in the terms of its own format.
    if (like == nullptr || like->file_format != file_format) h.erase_attribute("compression");
    part.premultiply = !part.over_black && (StoresPremultiplied(file_format) ||
                                            (file_format == "tiff" && like != nullptr && like->premultiplied));
    MarkAssociation(h, file_format, part.premultiply);
    std::vector<OIIO::TypeDesc> descs;
    for (ChannelType t : types) descs.push_back(DescOf(t));
    part.pixel = PackedPixel(descs);
    for (int c = 0; c < channels; ++c) part.sources.push_back(kRendered[c]);
    return part;
}

/// The data formats the writer settled on, which may not be those asked
/// (a format without 16-bit integers takes them as float): the pixels are
/// handed over in its own.
void TakeWrittenFormats(const OIIO::ImageOutput& out, OutputPart& part) {
    const OIIO::ImageSpec& written = out.spec();
    if (std::size_t(written.nchannels) != part.sources.size()) {
        throw HostError(std::string("cannot write the output: the ") + out.format_name() + " writer took " +
                        std::to_string(written.nchannels) + " channels of " + std::to_string(part.sources.size()));
    }
    part.pixel = PackedPixel::Of(written);
    part.header.tile_width = written.tile_width;
    part.header.tile_height = written.tile_height;
}

std::string PartName(const OIIO::ImageSpec& header, std::size_t index) {
    const std::string name = header.get_string_attribute("name");
    return name.empty() ? "part " + std::to_string(index) : "part '" + name + "'";
}

}  // namespace

std::unique_ptr<ImageSource> OpenImage(const std::filesystem::path& path, const ImageRequest& request) {
    return std::make_unique<FileSource>(path, request);
}

void CheckImageFormat(const std::filesystem::path& path) { (void)OutputFor(path); }

void CheckCompression(const std::filesystem::path& path, const std::string& compression) {
    const std::string format = OutputFor(path)->format_name();
    const std::string name = compression.substr(0, compression.find(':'));
    std::string formats;
    for (const Compressions& c : KnownCompressions()) {
        formats += (formats.empty() ? "" : ", ") + std::string(c.format);
        if (c.format != format) continue;
        if (std::find(c.names.begin(), c.names.end(), name) != c.names.end()) return;
        std::string list;
        for (const std::string& n : c.names) list += (list.empty() ? "" : ", ") + n;
        throw HostError("--compression " + compression + ": " + format + " files are written with " + list);
    }
    throw HostError("--compression applies to " + formats + " files, not to " + path.string());
}

void CheckChannelType(const std::filesystem::path& path, ChannelType type) {
    const std::string format = OutputFor(path)->format_name();
    for (const HeldTypes& held : KnownTypes()) {
        if (held.format != format) continue;
        if (std::find(held.types.begin(), held.types.end(), type) != held.types.end()) return;
        std::string list;
        for (ChannelType t : held.types) list += (list.empty() ? "" : ", ") + std::string(ChannelTypeName(t));
        throw HostError("--out-format " + std::string(ChannelTypeName(type)) + ": " + format + " files hold " + list);
    }
    if (BitsOf(type) != 0) {
        throw HostError("--out-format " + std::string(ChannelTypeName(type)) + ": only dpx files hold " +
                        std::string(ChannelTypeName(type)) + ", not " + format + " files");
    }
}

std::vector<std::string> WriteImage(const std::filesystem::path& path, const World& world, const ImageFormat* like,
                                    const ImageWriteOptions& options) {
    const std::string name = path.string();
    std::unique_ptr<OIIO::ImageOutput> out = OutputFor(path);
    const std::string file_format = out->format_name();
    const StoredImage* stored =
        like != nullptr && like->stored ? static_cast<const StoredImage*>(like->stored.get()) : nullptr;
    // The frame in the file's coordinates: the input's, or the world at the origin.
    Window frame{0, 0, world.width(), world.height()};
    Window display = frame;
    if (stored != nullptr) {
        frame = stored->plan.frame;
        display = stored->plan.display;
    }
    std::vector<std::string> notes;
    const auto fail = [&](const std::string& why) {
        throw HostError("cannot write " + name + ": " + FirstLine(why, "?"));
    };

    if (stored == nullptr || stored->file_format != file_format) {
        OutputPart part = LayerPart(file_format, *out, world, frame, display, like, options);
        if (part.over_black) {
            notes.push_back(file_format + " files hold no alpha: the colour is matted over black");
        }
        if (stored != nullptr) {
            // What the other format leaves out, by name.
            const OIIO::ImageSpec& h = stored->parts[std::size_t(stored->plan.part)];
            const LayerPlan& plan = stored->plan;
            std::vector<std::string> left;
            for (int c = 0; c < h.nchannels; ++c) {
                if (c != plan.red && c != plan.green && c != plan.blue && c != plan.alpha)
                    left.push_back(h.channel_name(c));
            }
            std::string list;
            for (std::size_t i = 0; i < left.size() && i < 8; ++i) list += (i ? ", " : "") + left[i];
            if (left.size() > 8) list += " and " + std::to_string(left.size() - 8) + " more";
            const std::size_t parts = stored->parts.size() - 1;
            if (!left.empty() || parts > 0) {
                std::string what = left.empty() ? "" : "the channels " + list;
                if (parts > 0) {
                    what +=
                        (what.empty() ? "" : " and ") + std::to_string(parts) + " other part" + (parts > 1 ? "s" : "");
                }
                notes.push_back(file_format + " files hold one layer: " + what + " of " + stored->path +
                                " are not written");
            }
        }
        if (part.window != frame) {
            notes.push_back(file_format + " files have no data window: the pixels outside the display window " +
                            WindowText(display) + " are left out");
        }
        EraseStaleAttributes(part.header);
        if (!out->open(name, part.header)) fail(out->geterror());
        TakeWrittenFormats(*out, part);
        if (!WritePixels(*out, world, frame, part, stored) || !out->close()) fail(out->geterror());
        return notes;
    }

    // The same format: every part of the input, the rendered one from the world.
    OutputPart rendered = SameFormatPart(*stored, world, frame, options);
    if (options.compression) rendered.header.attribute("compression", *options.compression);
    EraseStaleAttributes(rendered.header);
    std::vector<OIIO::ImageSpec> headers = stored->parts;
    const std::size_t chosen = std::size_t(stored->plan.part);
    headers[chosen] = rendered.header;
    if (headers.size() > 1) {
        if (!out->supports("multiimage")) fail(file_format + " files hold one image");
        // The image library writes a file's parts all tiled or all in
        // scanlines, as its first part is; the rendered part decides.
        const int tw = rendered.header.tile_width, th = rendered.header.tile_height;
        bool changed = false;
        for (std::size_t p = 0; p < headers.size(); ++p) {
            if (p == chosen || (headers[p].tile_width > 0) == (tw > 0)) continue;
            headers[p].tile_width = tw, headers[p].tile_height = th, headers[p].tile_depth = tw > 0 ? 1 : 0;
            changed = true;
        }
        if (changed) {
            notes.push_back(std::string("the parts are all written ") + (tw > 0 ? "tiled" : "in scanlines") +
                            " as the rendered one is: the image library writes one kind per file");
        }
        for (std::size_t p = 0; p < headers.size(); ++p) {
            if (p != chosen) EraseStaleAttributes(headers[p]);
        }
    }
    OIIO::ImageSpec hints;
    hints.attribute("oiio:UnassociatedAlpha", 1);
    std::unique_ptr<OIIO::ImageInput> in;
    if (headers.size() > 1) {
        in = OIIO::ImageInput::open(stored->path, &hints);
        if (!in) fail("cannot read " + stored->path + " again: " + FirstLine(OIIO::geterror(), "?"));
    }
    for (std::size_t p = 0; p < headers.size(); ++p) {
        const bool opened = p == 0 ? out->open(name, int(headers.size()), headers.data())
                                   : out->open(name, headers[p], OIIO::ImageOutput::AppendSubimage);
        if (!opened) fail(out->geterror());
        if (p == chosen) {
            TakeWrittenFormats(*out, rendered);
            if (!WritePixels(*out, world, frame, rendered, stored)) fail(out->geterror());
            continue;
        }
        // Another part, as stored, one at a time.
        const OIIO::ImageSpec& h = stored->parts[p];
        const PixelBuffer pixels(h.image_bytes(true));
        if (!in->read_image(int(p), 0, 0, h.nchannels, OIIO::TypeUnknown, pixels.data())) {
            fail("cannot read " + PartName(h, p) + " of " + stored->path + ": " + in->geterror());
        }
        if (!out->write_image(OIIO::TypeUnknown, pixels.data())) fail(out->geterror());
    }
    if (!out->close()) fail(out->geterror());
    return notes;
}

}  // namespace quorvel::sim::pictures
