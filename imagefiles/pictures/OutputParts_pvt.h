/// The parts an output file is written as: which of a part's channels are
/// rendered and which stored ones are written back, in which data formats,
/// over which window, and how the colour stands to alpha.
#pragma once

#include <OpenImageIO/imageio.h>

#include <string>
#include <vector>

#include "frames/World.h"
#include "imagefiles/ImageFormat.h"
#include "imagefiles/ImageLayout.h"
#include "imagefiles/pictures/StoredPixels_pvt.h"
#include "imagefiles/pictures/Writers_pvt.h"

namespace quorvel::imagefiles::pictures {

namespace OIIO = OIIO_NAMESPACE;

/// A rendered channel's place in an output pixel: which of red, green,
/// blue and alpha, or a stored channel written back as it is.
inline constexpr int kRendered[4] = {-1, -2, -3, -4};

/// A part of the output file as it is written.
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

/// The rendered part written back in its own file format: every channel
/// it stored, the rendered ones from the world.
OutputPart SameFormatPart(const StoredImage& stored, const ImageFormat* like, const frames::World& world,
                          const Window& frame, const ImageWriteOptions& options);

/// The rendered layer alone, in a format other than the input's, or from
/// an input that was not an image file.
OutputPart LayerPart(const std::string& file_format, const OIIO::ImageOutput& out, const frames::World& world,
                     const Window& frame, const Window& display, const ImageFormat* like, const std::string& like_name,
                     const ImageWriteOptions& options, std::vector<std::string>& notes);

/// The data formats the writer settled on, which may not be those asked
/// (a format without 16-bit integers takes them as float): the pixels are
/// handed over in its own.
void TakeWrittenFormats(const OIIO::ImageOutput& out, OutputPart& part);

/// Whether the writer holds `channels` channels, of which the last is alpha.
bool Holds(const WriterRules& rules, int channels);

}  // namespace quorvel::imagefiles::pictures
