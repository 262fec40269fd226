#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "frames/HostError.h"
#include "imagefiles/ImageLayout.h"
#include "imagefiles/SettingNames.h"
#include "imagefiles/pictures/Association_pvt.h"
#include "imagefiles/pictures/ImageCodec.h"
#include "imagefiles/pictures/Readers_pvt.h"
#include "imagefiles/pictures/StoredPixels_pvt.h"

namespace quorvel::imagefiles::pictures {

namespace {

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

class FileSource final : public ImageSource {
public:
    FileSource(const std::filesystem::path& path, const ImageRequest& request) : name_(path.string()) {
        // Pixels as stored: the tool divides and multiplies by alpha itself,
        // as the hosts interpret footage.
        OIIO::ImageSpec hints;
        hints.attribute("oiio:UnassociatedAlpha", 1);
        in_ = OpenReader(name_, hints);
        CheckLength(name_, in_->format_name());
        std::vector<PartHeader> parts;
        for (int p = 0; p <= kMaxParts && in_->seek_subimage(p, 0); ++p) {
            stored_->parts.push_back(HeaderOf(*in_));
            parts.push_back(Describe(stored_->parts.back(), p));
        }
        (void)in_->geterror();  // what looking past the last part left behind
        plan_ = PlanLayer(name_, parts, LayerChoice{request.layer, request.part});
        if (!in_->seek_subimage(plan_.part, 0)) {
            throw frames::HostError("cannot read " + name_ + ": " + FirstLine(in_->geterror(), "?"));
        }
        const OIIO::ImageSpec& header = stored_->parts[std::size_t(plan_.part)];
        stored_->path = name_;
        stored_->file_format = in_->format_name();
        stored_->plan = plan_;
        stored_->pixel = PackedPixel::Of(header);
        if (plan_.alpha < 0) {
            association_ = Association{false, ""};
        } else if (request.premultiplied) {
            association_ = Association{*request.premultiplied, ""};  // the user's word, as the request gave it
        } else {
            association_ = AssociationOfHeader(stored_->file_format, header);
        }
        DescribeFormat(header);
    }

    const ImageFormat& format() const override { return format_; }

    void ReadInto(frames::World& world) override {
        if (world.width() != format_.width || world.height() != format_.height) {
            throw frames::HostError("cannot read " + name_ + " into a frame of another size");
        }
        StoredImage& stored = *stored_;
        stored.pixels = frames::PixelBuffer(stored.RowBytes() * std::size_t(plan_.data.height));
        // The whole data window at once, whatever the file's tiles or
        // scanlines: the library picks the reader its layout needs.
        (void)in_->geterror();  // what seeking past the last part and level left behind
        CheckRead(
            *in_,
            [&] {
                return in_->read_image(plan_.part, 0, 0, int(stored.pixel.types.size()), OIIO::TypeUnknown,
                                       stored.pixels.data());
            },
            name_);
        if (!association_) GuessAssociation();
        stored.premultiplied = format_.premultiplied = association_->premultiplied;
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
            std::memset(world.Row(row), 0, std::size_t(world.width()) * frames::BytesPerPixel(world.layout()));
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
        if (!others && !(stored.premultiplied && stored.exact)) stored.pixels = frames::PixelBuffer();
        format_.stored = stored_;
    }

private:
    /// Decides, from the stored pixels, the association of a file that
    /// says nothing of it, and says so.
    void GuessAssociation() {
        const StoredImage& stored = *stored_;
        AssociationGuess guess(format_.channel_types[0]);
        const Window& data = plan_.data;
        std::vector<float> rgba(std::size_t(data.width) * 4);
        for (int y = data.y; y < data.y + data.height; ++y) {
            StoredToFloat(stored, data.x, y, data.width, rgba.data());
            guess.Look(rgba.data(), data.width);
        }
        association_ = guess.Verdict(stored.file_format);
        format_.notes.push_back(name_ + ": " + association_->why + " (" + setting::premultiplied + " says otherwise)");
    }

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
        format_.had_alpha = plan_.alpha >= 0;
        const int bits = header.get_int_attribute("oiio:BitsPerSample", 0);
        const bool grey = plan_.red == plan_.green;
        format_.grey = grey;
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
                                    " values were clipped (" + extreme + "); without " + setting::layout_ae16 +
                                    " the float path keeps them");
        } else if (std::find(types.begin(), types.end(), ChannelType::UInt16) != types.end()) {
            format_.notes.push_back(name_ +
                                    ": the 16-bit path holds 0 to 32768, so 16-bit data loses its lowest bit; " +
                                    "without " + setting::layout_ae16 + " the float path keeps every value");
        }
    }

    std::string name_;
    std::unique_ptr<OIIO::ImageInput> in_;
    std::shared_ptr<StoredImage> stored_ = std::make_shared<StoredImage>();
    LayerPlan plan_;
    ImageFormat format_;
    /// Known from the header or --alpha once the file is open, else from
    /// the pixels once they are read.
    std::optional<Association> association_;
};

}  // namespace

std::unique_ptr<ImageSource> OpenImage(const std::filesystem::path& path, const ImageRequest& request) {
    return std::make_unique<FileSource>(path, request);
}

}  // namespace quorvel::imagefiles::pictures
