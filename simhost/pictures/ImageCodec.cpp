#include "ImageCodec.h"

#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

#include "HostError.h"
#include "ImageFile.h"
#include "PixelBuffer.h"

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

ChannelType TypeOf(OIIO::TypeDesc t) {
    if (t == OIIO::TypeDesc::UINT8) return ChannelType::UInt8;
    if (t == OIIO::TypeDesc::UINT16) return ChannelType::UInt16;
    if (t == OIIO::TypeDesc::HALF) return ChannelType::Half;
    if (t == OIIO::TypeDesc::FLOAT) return ChannelType::Float;
    return ChannelType::Other;
}

OIIO::TypeDesc DescOf(ChannelType t) {
    switch (t) {
        case ChannelType::UInt8:
            return OIIO::TypeDesc::UINT8;
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

/// The data type a world's channels are read and written in.
OIIO::TypeDesc WorldType(PixelLayout layout) {
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

ChannelType WorldChannelType(PixelLayout layout) { return TypeOf(WorldType(layout)); }

/// Where red, green, blue and alpha sit in a pixel of the layout.
struct ChannelOrder {
    int r, g, b, a;
};

ChannelOrder OrderOf(PixelLayout layout) {
    return IsPremiereLayout(layout) ? ChannelOrder{2, 1, 0, 3} : ChannelOrder{1, 2, 3, 0};
}

std::string ChannelList(const OIIO::ImageSpec& header) {
    std::string list;
    for (int c = 0; c < header.nchannels; ++c) list += (c ? ", " : "") + std::string(header.channel_name(c));
    return list;
}

/// "beauty.A" beside "beauty.R": the alpha channel a file without one gets.
std::string AlphaNameBeside(const std::string& red) {
    const std::size_t dot = red.rfind('.');
    return dot == std::string::npos ? "A" : red.substr(0, dot + 1) + "A";
}

std::string WindowText(int x, int y, int w, int h) {
    return "(" + std::to_string(x) + "," + std::to_string(y) + ")-(" + std::to_string(x + w - 1) + "," +
           std::to_string(y + h - 1) + ")";
}

class FileSource final : public ImageSource {
public:
    FileSource(const std::filesystem::path& path) : name_(path.string()) {
        // Pixels as stored: straight colour stays straight, so a render that
        // changes only alpha leaves the colour in the file untouched.
        OIIO::ImageSpec hints;
        hints.attribute("oiio:UnassociatedAlpha", 1);
        in_ = OIIO::ImageInput::open(name_, &hints);
        if (!in_) throw HostError("cannot read " + name_ + ": " + FirstLine(OIIO::geterror(), "unreadable image"));
        if (in_->seek_subimage(1, 0)) {
            int parts = 2;
            while (in_->seek_subimage(parts, 0)) ++parts;
            throw HostError(name_ + " holds " + std::to_string(parts) +
                            " images (parts or subimages); the tool renders files of one image: extract the part "
                            "to render first");
        }
        (void)in_->geterror();  // what looking for a second image left behind
        if (!in_->seek_subimage(0, 0)) throw HostError("cannot read " + name_ + ": " + FirstLine(in_->geterror(), "?"));
        header_ = HeaderOf(*in_);
        if (header_.deep) throw HostError(name_ + " holds deep data, which the tool does not render");
        if (header_.depth > 1) throw HostError(name_ + " is a volume, which the tool does not render");
        MapChannels();
        DescribeFormat();
    }

    const ImageFormat& format() const override { return format_; }

    void ReadInto(World& world) override {
        if (world.width() != format_.width || world.height() != format_.height) {
            throw HostError("cannot read " + name_ + " into a frame of another size");
        }
        const PixelLayout layout = world.layout();
        const OIIO::TypeDesc type = WorldType(layout);
        if (type == OIIO::TypeDesc::UINT8) {
            Decode<std::uint8_t>(world, type);
        } else if (type == OIIO::TypeDesc::UINT16) {
            Decode<std::uint16_t>(world, type);
        } else {
            Decode<float>(world, type);
        }
    }

private:
    void MapChannels() {
        const int n = header_.nchannels;
        const int alpha = header_.alpha_channel;
        auto refuse = [&](const std::string& why) {
            throw HostError(name_ + " has " + std::to_string(header_.nchannels) + " channels (" + ChannelList(header_) +
                            "); " + why);
        };
        if (n < 1) refuse("no channel to render");
        if (n > 4) {
            refuse("the tool renders files of red, green, blue and alpha: extract those channels first");
        }
        std::vector<int> colour;
        for (int c = 0; c < n; ++c) {
            if (c != alpha) colour.push_back(c);
        }
        if (n == 2 && alpha < 0) {
            colour = {0};  // grey and alpha, the usual order of two-channel files
            alpha_ = 1;
        } else {
            alpha_ = alpha;
        }
        if (n == 4 && alpha < 0) refuse("none is marked as alpha, so the tool cannot tell which to merge the matte with");
        if (colour.size() == 1) {
            red_ = green_ = blue_ = colour[0];
        } else if (colour.size() == 3) {
            red_ = colour[0], green_ = colour[1], blue_ = colour[2];
        } else {
            refuse("the tool renders grey or red, green and blue, each with or without alpha");
        }
    }

    void DescribeFormat() {
        format_.file_format = in_->format_name();
        // The frame is the display window, as in a compositor; a file
        // without one has its data window as the frame.
        const bool has_display = header_.full_width > 0 && header_.full_height > 0;
        frame_x_ = has_display ? header_.full_x : header_.x;
        frame_y_ = has_display ? header_.full_y : header_.y;
        format_.width = has_display ? header_.full_width : header_.width;
        format_.height = has_display ? header_.full_height : header_.height;
        if (format_.width <= 0 || format_.height <= 0 || format_.width > 1 << 16 || format_.height > 1 << 16) {
            throw HostError(name_ + " has an unsupported size " + std::to_string(format_.width) + "x" +
                            std::to_string(format_.height));
        }
        const bool inside = header_.x >= frame_x_ && header_.y >= frame_y_ &&
                            header_.x + header_.width <= frame_x_ + format_.width &&
                            header_.y + header_.height <= frame_y_ + format_.height;
        if (!inside) {
            format_.notes.push_back(name_ + ": the data window " +
                                    WindowText(header_.x, header_.y, header_.width, header_.height) +
                                    " reaches beyond the display window " +
                                    WindowText(frame_x_, frame_y_, format_.width, format_.height) +
                                    "; the frame is the display window, the pixels outside it are left out");
        }

        format_.had_alpha = header_.nchannels == 2 || alpha_ >= 0;
        const bool grey = red_ == green_;
        const std::vector<int> sources = {red_, green_, blue_};
        for (int i = 0; i < 3; ++i) {
            format_.channel_names.push_back(grey ? std::string(1, "RGB"[i]) : std::string(header_.channel_name(sources[i])));
            format_.channel_types.push_back(TypeOf(header_.channelformat(sources[i])));
        }
        if (format_.had_alpha) {
            format_.channel_names.push_back(grey ? "A" : std::string(header_.channel_name(alpha_)));
            format_.channel_types.push_back(TypeOf(header_.channelformat(alpha_)));
        } else {
            format_.channel_names.push_back(grey ? "A" : AlphaNameBeside(format_.channel_names[0]));
            format_.channel_types.push_back(format_.channel_types[0]);
        }
        format_.compression = header_.get_string_attribute("compression");
        if (header_.find_attribute("PixelAspectRatio", OIIO::TypeFloat) != nullptr) {
            format_.pixel_aspect = header_.get_float_attribute("PixelAspectRatio");
        }
        format_.header = std::make_shared<const OIIO::ImageSpec>(header_);
    }

    template <typename T>
    void Decode(World& world, OIIO::TypeDesc type) {
        const ChannelOrder order = OrderOf(world.layout());
        const std::size_t pixel_bytes = BytesPerPixel(world.layout());
        // The part of the data window inside the frame, in file coordinates.
        const int x0 = std::max(header_.x, frame_x_), x1 = std::min(header_.x + header_.width, frame_x_ + world.width());
        const int y0 = std::max(header_.y, frame_y_), y1 = std::min(header_.y + header_.height, frame_y_ + world.height());
        const bool covers = x0 == frame_x_ && y0 == frame_y_ && x1 == frame_x_ + world.width() &&
                            y1 == frame_y_ + world.height();
        if (!covers) {
            // Outside the data window the frame is transparent black.
            for (int y = 0; y < world.height(); ++y) std::memset(world.Row(y), 0, std::size_t(world.width()) * pixel_bytes);
        }
        if (x0 >= x1 || y0 >= y1) return;

        const int n = header_.nchannels;
        const std::size_t file_row = std::size_t(header_.width) * std::size_t(n);
        const int band = BandRows(file_row * sizeof(T));
        const PixelBuffer memory(file_row * std::size_t(band) * sizeof(T));
        T* const buffer = reinterpret_cast<T*>(memory.data());
        const T opaque = std::is_floating_point_v<T> ? T(1)
                         : std::is_same_v<T, std::uint16_t> ? T(PF_MAX_CHAN16)
                                                             : std::numeric_limits<T>::max();
        for (int top = y0; top < y1; top += band) {
            const int bottom = std::min(top + band, y1);
            if (!in_->read_scanlines(0, 0, top, bottom, 0, 0, n, type, buffer)) {
                throw HostError("cannot read " + name_ + ": " + FirstLine(in_->geterror(), "unreadable pixels"));
            }
            for (int y = top; y < bottom; ++y) {
                const T* src_row = buffer + std::size_t(y - top) * file_row;
                T* dst_row = reinterpret_cast<T*>(world.Row(y - frame_y_));
                for (int x = x0; x < x1; ++x) {
                    const T* src = src_row + std::size_t(x - header_.x) * std::size_t(n);
                    T* dst = dst_row + std::size_t(x - frame_x_) * 4;
                    dst[order.r] = Convert(src[red_]);
                    dst[order.g] = Convert(src[green_]);
                    dst[order.b] = Convert(src[blue_]);
                    dst[order.a] = alpha_ >= 0 ? Convert(src[alpha_]) : opaque;
                }
            }
        }
    }

    template <typename T>
    static T Convert(T v) {
        if constexpr (std::is_same_v<T, std::uint16_t>) {
            return FileToHost16(v);
        } else {
            return v;
        }
    }

    std::string name_;
    std::unique_ptr<OIIO::ImageInput> in_;
    OIIO::ImageSpec header_;
    ImageFormat format_;
    int frame_x_ = 0, frame_y_ = 0;
    int red_ = 0, green_ = 0, blue_ = 0, alpha_ = -1;
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

std::string FormatOfName(const std::filesystem::path& path) {
    auto out = OIIO::ImageOutput::create(path.string());
    if (!out) {
        throw HostError("cannot write " + path.string() + ": no image format for the extension '" +
                        path.extension().string() + "'");
    }
    return out->format_name();
}

/// Whether the file format stores half or float data; the others that keep
/// 16 bits are told to, the rest take what they have.
bool HasFloatData(const std::string& file_format) {
    for (const char* f : {"openexr", "tiff", "hdr", "fits", "psd", "rla", "dds", "null"}) {
        if (file_format == f) return true;
    }
    return false;
}

/// The header of the output: the input's with every attribute, reshaped to
/// the rendered frame, or a plain one.
OIIO::ImageSpec OutputHeader(const std::string& file_format, const World& world, const ImageFormat* like,
                             const ImageWriteOptions& options) {
    OIIO::ImageSpec header;
    if (like != nullptr && like->header) header = *static_cast<const OIIO::ImageSpec*>(like->header.get());
    // The frame is the display window, all of it rendered: the data window
    // becomes the display window.
    const bool has_display = header.full_width > 0 && header.full_height > 0;
    const int x = like != nullptr && has_display ? header.full_x : 0;
    const int y = like != nullptr && has_display ? header.full_y : 0;
    header.x = header.full_x = x;
    header.y = header.full_y = y;
    header.z = header.full_z = 0;
    header.width = header.full_width = world.width();
    header.height = header.full_height = world.height();
    header.depth = header.full_depth = 1;
    // Written a band of rows at a time, so in scanlines whatever the input's tiles.
    header.tile_width = header.tile_height = 0;
    header.tile_depth = 1;

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
    }
    header.nchannels = 4;
    header.channelnames = names;
    header.alpha_channel = 3;
    header.z_channel = -1;
    header.channelformats.clear();
    if (std::all_of(types.begin(), types.end(), [&](ChannelType t) { return t == types[0]; })) {
        header.set_format(DescOf(types[0]));
    } else {
        for (ChannelType t : types) header.channelformats.push_back(DescOf(t));
        // The widest, for formats with one data type for every channel.
        header.format = DescOf(*std::max_element(types.begin(), types.end(), [](ChannelType a, ChannelType b) {
            return ChannelTypeBytes(a) < ChannelTypeBytes(b);
        }));
    }
    header.erase_attribute("oiio:BitsPerSample");
    // A compression is named in the terms of its own format.
    if (like == nullptr || like->file_format != file_format) header.erase_attribute("compression");
    if (options.compression) header.attribute("compression", *options.compression);
    // Colour as the world holds it (see FileSource).
    header.attribute("oiio:UnassociatedAlpha", 1);
    return header;
}

template <typename T>
void EncodeBand(const World& world, int top, int bottom, T* band) {
    const ChannelOrder order = OrderOf(world.layout());
    T* dst = band;
    for (int y = top; y < bottom; ++y) {
        const T* row = reinterpret_cast<const T*>(world.Row(y));
        for (int x = 0; x < world.width(); ++x, dst += 4) {
            const T* src = row + std::size_t(x) * 4;
            dst[0] = src[order.r];
            dst[1] = src[order.g];
            dst[2] = src[order.b];
            dst[3] = src[order.a];
            if constexpr (std::is_same_v<T, std::uint16_t>) {
                for (int c = 0; c < 4; ++c) dst[c] = HostToFile16(dst[c]);
            }
        }
    }
}

template <typename T>
bool WriteBands(OIIO::ImageOutput& out, const World& world, int y_offset, OIIO::TypeDesc type) {
    const std::size_t row = std::size_t(world.width()) * 4;
    const int rows = BandRows(row * sizeof(T));
    const PixelBuffer memory(row * std::size_t(rows) * sizeof(T));
    T* const band = reinterpret_cast<T*>(memory.data());
    for (int top = 0; top < world.height(); top += rows) {
        const int bottom = std::min(top + rows, world.height());
        EncodeBand(world, top, bottom, band);
        if (!out.write_scanlines(top + y_offset, bottom + y_offset, 0, type, band)) return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<ImageSource> OpenImage(const std::filesystem::path& path) {
    return std::make_unique<FileSource>(path);
}

void CheckImageFormat(const std::filesystem::path& path) { (void)FormatOfName(path); }

void CheckCompression(const std::filesystem::path& path, const std::string& compression) {
    const std::string format = FormatOfName(path);
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

void WriteImage(const std::filesystem::path& path, const World& world, const ImageFormat* like,
                const ImageWriteOptions& options) {
    const std::string name = path.string();
    auto out = OIIO::ImageOutput::create(name);
    if (!out) throw HostError("cannot write " + name + ": no image format for this file name");
    const OIIO::ImageSpec header = OutputHeader(out->format_name(), world, like, options);
    if (!out->open(name, header)) throw HostError("cannot write " + name + ": " + FirstLine(out->geterror(), "?"));
    const OIIO::TypeDesc type = WorldType(world.layout());
    bool ok = false;
    if (type == OIIO::TypeDesc::UINT8) {
        ok = WriteBands<std::uint8_t>(*out, world, header.y, type);
    } else if (type == OIIO::TypeDesc::UINT16) {
        ok = WriteBands<std::uint16_t>(*out, world, header.y, type);
    } else {
        ok = WriteBands<float>(*out, world, header.y, type);
    }
    if (!ok || !out->close()) throw HostError("cannot write " + name + ": " + FirstLine(out->geterror(), "?"));
}

}  // namespace quorvel::sim::pictures
