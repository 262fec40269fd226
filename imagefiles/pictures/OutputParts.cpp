#include <algorithm>

#include "frames/HostError.h"
#include "imagefiles/ImageFile.h"
#include "imagefiles/pictures/Association_pvt.h"
#include "imagefiles/pictures/OutputParts_pvt.h"

namespace quorvel::imagefiles::pictures {

namespace {

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

}  // namespace

OutputPart SameFormatPart(const StoredImage& stored, const ImageFormat* like, const frames::World& world,
                          const Window& frame, const ImageWriteOptions& options) {
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
    part.premultiply = WritesPremultiplied(stored.file_format, like, true);
    MarkAssociation(h, part.premultiply);
    std::vector<OIIO::TypeDesc> descs;
    for (ChannelType t : types) descs.push_back(DescOf(t));
    part.pixel = PackedPixel(descs);
    return part;
}

OutputPart LayerPart(const std::string& file_format, const OIIO::ImageOutput& out, const frames::World& world,
                     const Window& frame, const Window& display, const ImageFormat* like, const std::string& like_name,
                     const ImageWriteOptions& options, std::vector<std::string>& notes) {
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

    const WriterRules& rules = RulesOf(out);
    part.over_black = !rules.alpha;
    // Grey stays grey where the writer holds it.
    const bool grey_in = like != nullptr && like->grey;
    const bool grey = grey_in && (part.over_black ? rules.grey : rules.grey_alpha);
    if (grey_in && !grey) {
        notes.push_back(file_format + " files do not hold grey" + (part.over_black ? "" : " with alpha") +
                        ": the grey of " + like_name + " is written as red, green and blue");
    }
    std::vector<ChannelType> types(4, WorldChannelType(world.layout()));
    std::vector<std::string> names = {"R", "G", "B", "A"};
    if (like != nullptr && like->channel_names.size() == 4) {
        names = like->channel_names;
        types = like->channel_types;
    }
    if (options.channel_type) types.assign(4, *options.channel_type);
    for (ChannelType& t : types) {
        if (t == ChannelType::Other) t = WorldChannelType(world.layout());
        // The nearest the writer holds: EXR takes 8-bit values as half,
        // which gives them back exactly, and 16-bit ones as float; formats
        // of integers take real numbers as 16 bits where they have them.
        t = NearestHeldType(rules, t);
    }
    std::vector<int> rendered = {0, 1, 2, 3};
    if (grey) {
        rendered = {0, 3};
        names = {"Y", "A"};
        types = {types[0], types[3]};
    }
    if (part.over_black) rendered.pop_back();
    const int channels = int(rendered.size());
    names.resize(std::size_t(channels));
    types.resize(std::size_t(channels));
    h.nchannels = channels;
    h.channelnames = names;
    h.alpha_channel = part.over_black ? -1 : channels - 1;
    h.z_channel = -1;
    SetChannelTypes(h, types);
    // A compression is named in the terms of its own format.
    if (like == nullptr || like->file_format != file_format) h.erase_attribute("compression");
    part.premultiply = !part.over_black && WritesPremultiplied(file_format, like, false);
    MarkAssociation(h, part.premultiply);
    std::vector<OIIO::TypeDesc> descs;
    for (ChannelType t : types) descs.push_back(DescOf(t));
    part.pixel = PackedPixel(descs);
    for (int c : rendered) part.sources.push_back(kRendered[c]);
    return part;
}

void TakeWrittenFormats(const OIIO::ImageOutput& out, OutputPart& part) {
    const OIIO::ImageSpec& written = out.spec();
    if (std::size_t(written.nchannels) != part.sources.size()) {
        throw frames::HostError(std::string("cannot write the output: the ") + out.format_name() + " writer took " +
                                std::to_string(written.nchannels) + " channels of " +
                                std::to_string(part.sources.size()));
    }
    part.pixel = PackedPixel::Of(written);
    part.header.tile_width = written.tile_width;
    part.header.tile_height = written.tile_height;
}

bool Holds(const WriterRules& rules, int channels) {
    switch (channels) {
        case 1:
            return rules.grey;
        case 2:
            return rules.grey_alpha;
        case 3:
            return rules.rgb;
        case 4:
            return rules.alpha;
        default:
            return rules.extra_channels;
    }
}

}  // namespace quorvel::imagefiles::pictures
