/// What an image file holds besides its pixels: the data format of each
/// channel, the channels' names, the compression and the metadata a
/// compositor relies on. Read with a frame and handed back when its render
/// is written, so the output is the same kind of file as the input.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frames/Message.h"

namespace quorvel::imagefiles {

/// A channel's data format in a file. 10- and 12-bit values (DPX) are
/// held in 16 bits in memory and stored in their own bits.
enum class ChannelType { UInt8, UInt10, UInt12, UInt16, Half, Float, Other };

std::string_view ChannelTypeName(ChannelType type);
/// "uint8", "uint10", "uint12", "uint16", "half" or "float"; nullopt for any other text.
std::optional<ChannelType> ParseChannelType(std::string_view text);
/// Bytes of one value in memory; Other counts as float.
int ChannelTypeBytes(ChannelType type);
/// Whether values of the type are integers of more than 8 bits, or real numbers.
bool DeeperThan8Bits(ChannelType type);

struct ImageFormat {
    /// The image library's name of the file format ("openexr", "png", "tiff"...).
    std::string file_format;
    /// The frame the module renders: the file's data and display windows
    /// together, so that overscan is rendered and kept.
    int width = 0;
    int height = 0;
    /// The display window within that frame: the layer the matte is placed
    /// on, whose centre is the matte's default position.
    int layer_x = 0, layer_y = 0;
    int layer_width = 0, layer_height = 0;
    /// The rendered layer's four channels, red, green, blue and alpha: the names and
    /// formats the file gave them, with an alpha channel added to a file
    /// that had none.
    std::vector<std::string> channel_names;
    std::vector<ChannelType> channel_types;
    bool had_alpha = true;
    /// Whether the rendered layer is one grey channel (read as equal red,
    /// green and blue).
    bool grey = false;
    /// Whether the file's colour is premultiplied by its alpha, as the
    /// hosts interpret footage (or as the request said): by the header, or,
    /// for a file that says nothing, guessed once its pixels are read.
    bool premultiplied = false;
    /// The library's compression name ("zip", "piz", "dwaa:45"...); empty for none named.
    std::string compression;
    /// The width of a pixel over its height as the file's header states it
    /// (OpenEXR always does; TIFF, PNG and others when they say more than
    /// their resolution); nothing when the header does not say.
    std::optional<double> pixel_aspect;
    /// Things a user should know about how the file was read (lower mip
    /// levels left out, values the frame's depth cannot hold), one sentence
    /// each, naming the settings it mentions (imagefiles/SettingNames.h).
    std::vector<frames::Message> notes;
    /// The rendered part's header in the image library's own terms, every
    /// attribute included. Only the image library reads it.
    std::shared_ptr<const void> header;
    /// Once the pixels are read: every channel of the rendered part as
    /// stored, and where the other parts are, so that an output of the same
    /// format is written with all of them. Only the image library reads it.
    std::shared_ptr<const void> stored;
    /// The bytes that keeping them takes beside the frame.
    std::uint64_t stored_bytes = 0;
};

/// How an image file is to be read: which part and layer, and whether its
/// colour is premultiplied when the user says so over the file's own word.
struct ImageRequest {
    std::optional<std::string> layer;
    std::optional<std::string> part;
    std::optional<bool> premultiplied;
};

/// What the user asked the output to be instead of what the input was.
struct ImageWriteOptions {
    std::optional<ChannelType> channel_type;  ///< every channel in this format
    std::optional<std::string> compression;
};

/// What a written image says of its own making, over what the input's
/// header said. Nothing in it may differ between two renders of a frame
/// but the time, which the caller fixes when renders must match.
struct ImageStamp {
    /// The name the file is known by, for the formats that record it: the
    /// target's, not that of the temporary file the bytes go to.
    std::string file_name;
    std::string software;   ///< the program and its version
    std::string date_time;  ///< "YYYY:MM:DD HH:MM:SS", as the image library writes times
    /// The line the write adds to the image's history, after the input's.
    std::string history;
};

/// What a file holds as written: the rendered layer's size and the data
/// formats of its channels, which the writer may have settled otherwise
/// than asked (a format without alpha, a display window without overscan).
struct WrittenImage {
    int width = 0;
    int height = 0;
    std::vector<ChannelType> channel_types;  ///< red, green, blue (and alpha) as stored
    /// What the user should know about the file, a sentence each.
    std::vector<std::string> notes;
};

/// The written data formats in words: "uint16", or "half and float" for
/// channels of several.
std::string ChannelTypesText(const std::vector<ChannelType>& types);

}  // namespace quorvel::imagefiles
