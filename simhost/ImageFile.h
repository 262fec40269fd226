/// Image files (PNG, TIFF, EXR, JPEG and whatever else the image library
/// reads) to and from worlds, converting between the file's RGBA and the
/// world's layout.
#pragma once

#include <filesystem>

#include "World.h"

namespace quorvel::sim {

/// Reads an image into a world of `layout`. A file without alpha reads as
/// opaque; a grey file as equal red, green and blue. 16-bit worlds take the
/// file's 0..65535 to the host's 0..32768, rounded to nearest; float worlds
/// take float data as it is.
World ReadImage(const std::filesystem::path& path, PixelLayout layout);

/// Writes the world as RGBA, in the format the file name's extension names:
/// 8-bit worlds as 8 bits, 16-bit worlds as 16 bits (0..32768 back to
/// 0..65535, rounded to nearest), float worlds as float where the format
/// has it. Throws HostError when the format cannot be written.
void WriteImage(const std::filesystem::path& path, const World& world);

/// Throws HostError unless an image format is known for the file name.
void CheckImageFormat(const std::filesystem::path& path);

/// 16-bit conversions, exact inverses over the host's range.
std::uint16_t FileToHost16(std::uint16_t file_value);
std::uint16_t HostToFile16(std::uint16_t host_value);

}  // namespace quorvel::sim
