/// What an image file holds besides its pixels: the data format of each
/// channel, the channels' names, the compression and the metadata a
/// compositor relies on. Read with a frame and handed back when its render
/// is written, so the output is the same kind of file as the input.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::sim {

/// A channel's data format in a file.
enum class ChannelType { UInt8, UInt16, Half, Float, Other };

std::string_view ChannelTypeName(ChannelType type);
/// "uint8", "uint16", "half" or "float"; nullopt for any other text.
std::optional<ChannelType> ParseChannelType(std::string_view text);
/// Bytes of one value; Other counts as float.
int ChannelTypeBytes(ChannelType type);

struct ImageFormat {
    /// The image library's name of the file format ("openexr", "png", "tiff"...).
    std::string file_format;
    /// The frame's size: the file's display window.
    int width = 0;
    int height = 0;
    /// The output's four channels, red, green, blue and alpha: the names and
    /// formats the file gave them, with an alpha channel added to a file
    /// that had none.
    std::vector<std::string> channel_names;
    std::vector<ChannelType> channel_types;
    bool had_alpha = true;
    /// The library's compression name ("zip", "piz", "dwaa:45"...); empty for none named.
    std::string compression;
    /// The width of a pixel over its height as the file's header states it
    /// (OpenEXR always does; TIFF, PNG and others when they say more than
    /// their resolution); nothing when the header does not say.
    std::optional<double> pixel_aspect;
    /// Things a user should know about how the file was read (a data window
    /// cropped to the display window, say), one sentence each.
    std::vector<std::string> notes;
    /// The file's whole header in the image library's own terms, every
    /// attribute included. Only the image library reads it.
    std::shared_ptr<const void> header;
};

/// What the user asked the output to be instead of what the input was.
struct ImageWriteOptions {
    std::optional<ChannelType> channel_type;  ///< every channel in this format
    std::optional<std::string> compression;
};

}  // namespace quorvel::sim
