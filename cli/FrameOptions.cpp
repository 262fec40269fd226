#include "cli/FrameOptions.h"

#include "shots/ValueText.h"

namespace quorvel::cli {

std::vector<CLI::Option*> AddFrameOptions(CommandLine& line, shots::FrameOptions& options) {
    line.Group(OptionGroup::Input);
    CLI::Option* size =
        line.Value("size", "WxH", "the test card's size when there is no --in (default 1920x1080)",
                   [&options](const std::string& v) { options.card_size = shots::ParseSize("size", v); });
    // The worlds' layout, which hosts choose.
    line.Group(OptionGroup::Host);
    return {
        size,
        line.WholeNumber(
            "row-padding", "BYTES",
            "bytes after each row of the input and output frames, as hosts may hand out (0 to 4096, whole "
            "channels; default 0)",
            0, shots::kMaxRowPadding,
            [](const std::string& v) {
                return "--row-padding must be between 0 and " + std::to_string(shots::kMaxRowPadding) + " bytes, not " +
                       v;
            },
            [&options](int bytes) { options.row_padding = bytes; }),
    };
}

void AddImageInputOptions(CommandLine& line, imagefiles::ImageRequest& request) {
    line.Group(OptionGroup::Input);
    line.Value("layer", "NAME",
               "the image's layer to render: channels NAME.R, NAME.G, NAME.B and NAME.A (default: R, G, B and A, "
               "else the only layer with colour)",
               [&request](const std::string& v) { request.layer = v; });
    line.Value("part", "NAME|INDEX",
               "the part of a multi-part image to render, by name or by index from 0 (default: the only part with "
               "colour)",
               [&request](const std::string& v) { request.part = v; });
    CLI::Option* alpha =
        line.Value("alpha", "straight|premultiplied",
                   "how the image's colour stands to its alpha, over what the file says (EXR: premultiplied; PNG: "
                   "straight; TIFF: as its header says)",
                   [&request](const std::string& v) { request.premultiplied = v == "premultiplied"; });
    CommandLine::OneOf(alpha, {"straight", "premultiplied"},
                       [](const std::string& v) { return "--alpha must be straight or premultiplied, not " + v; });
}

void AddOutputFormatOptions(CommandLine& line, imagefiles::ImageWriteOptions& choice) {
    line.Group(OptionGroup::Output);
    line.Value("out-format", "uint8|uint10|uint12|uint16|half|float",
               "data format of the rendered channels of an image output, one the format holds (default: the input "
               "image's, channel by channel; else the render's depth)",
               [&choice](const std::string& v) {
                   choice.channel_type = imagefiles::ParseChannelType(v);
                   if (!choice.channel_type) {
                       throw UsageError("--out-format must be uint8, uint10, uint12, uint16, half or float, not " + v);
                   }
               });
    line.Value("compression", "NAME[:LEVEL]",
               "compression of an EXR, TIFF or PNG output, in the image library's names: zip, piz, dwaa:45, lzw... "
               "(default: the input image's when it is of the same format; else the format's own)",
               [&choice](const std::string& v) { choice.compression = v; });
}

}  // namespace quorvel::cli
