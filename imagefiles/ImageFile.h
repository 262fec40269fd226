/// Image files (PNG, TIFF, EXR, JPEG and whatever else the image library
/// reads) to and from worlds, converting between the file's channels and
/// the world's layout. They go through the picture library
/// (PictureLibrary.h), loaded on the first call.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "frames/World.h"
#include "imagefiles/ImageFormat.h"
#include "imagefiles/PictureLibrary.h"

namespace quorvel::imagefiles {

/// Opens an image file for reading: its format is known, its pixels are
/// not read yet. Throws HostError for a file the tool cannot render.
std::unique_ptr<ImageSource> OpenImage(const std::filesystem::path& path, const ImageRequest& request = {});

/// Reads an image into a world of `layout`. A file without alpha reads as
/// opaque; a grey file as equal red, green and blue. 16-bit worlds take the
/// file's 0..65535 to the host's 0..32768, rounded to nearest; float worlds
/// take float data as it is. With `format`, also what the file holds.
frames::World ReadImage(const std::filesystem::path& path, frames::PixelLayout layout, ImageFormat* format = nullptr);

/// Writes the world in the format the file name's extension names (see
/// PictureLibrary::WriteImage); without `like`, 8-bit worlds are written as
/// 8 bits, 16-bit worlds as 16 (0..32768 back to 0..65535, rounded to
/// nearest), float worlds as float where the format has it. Returns notes and
/// what the file holds. Throws HostError when the file cannot be written.
WrittenImage WriteImage(const std::filesystem::path& path, const frames::World& world,
                        const ImageFormat* like = nullptr, const ImageWriteOptions& options = {},
                        const ImageStamp* stamp = nullptr);

/// Throws HostError unless an image format is known for the file name.
void CheckImageFormat(const std::filesystem::path& path);
/// Throws HostError unless the file name's format holds the data format.
void CheckChannelType(const std::filesystem::path& path, ChannelType type);
/// Throws HostError unless the file name's format writes that compression.
void CheckCompression(const std::filesystem::path& path, const std::string& compression);

/// 16-bit conversions, exact inverses over the host's range.
inline std::uint16_t FileToHost16(std::uint16_t v) {
    return std::uint16_t((std::uint32_t(v) * 32768u + 32767u) / 65535u);
}
inline std::uint16_t HostToFile16(std::uint16_t v) {
    if (v >= 32768) return 65535;
    return std::uint16_t((std::uint32_t(v) * 65535u + 16384u) / 32768u);
}

}  // namespace quorvel::imagefiles
