#include "cli/FrameOptions.h"

#include "shots/ValueText.h"

namespace quorvel::cli {

std::vector<CLI::Option*> AddFrameOptions(CommandLine& line, shots::FrameOptions& options) {
    return {
        line.Value("size", "WxH", "the test card's size when there is no --in (default 1920x1080)",
                   [&options](const std::string& v) { options.card_size = shots::ParseSize("size", v); }),
        line.Value("row-padding", "BYTES",
                   "bytes after each row of the input and output frames, as hosts may hand out (0 to 4096, whole "
                   "channels; default 0)",
                   [&options](const std::string& v) {
                       options.row_padding = shots::ParseInt("row-padding", v);
                       if (options.row_padding < 0 || options.row_padding > shots::kMaxRowPadding) {
                           throw UsageError("--row-padding must be between 0 and " +
                                            std::to_string(shots::kMaxRowPadding) + " bytes, not " + v);
                       }
                   }),
    };
}

void AddOutputFormatOptions(CommandLine& line, sim::ImageWriteOptions& choice) {
    line.Value("out-format", "uint8|uint16|half|float",
               "data format of every channel of an image output (default: the input image's, channel by channel; "
               "else the render's depth)",
               [&choice](const std::string& v) {
                   choice.channel_type = sim::ParseChannelType(v);
                   if (!choice.channel_type) {
                       throw UsageError("--out-format must be uint8, uint16, half or float, not " + v);
                   }
               });
    line.Value("compression", "NAME[:LEVEL]",
               "compression of an EXR, TIFF or PNG output, in the image library's names: zip, piz, dwaa:45, lzw... "
               "(default: the input image's when it is of the same format; else the format's own)",
               [&choice](const std::string& v) { choice.compression = v; });
}

}  // namespace quorvel::cli
