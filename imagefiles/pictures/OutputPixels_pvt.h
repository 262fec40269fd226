/// An output part's pixels assembled row by row, the stored channels
/// copied and the rendered ones converted from the world, and handed to
/// the writer a band at a time.
#pragma once

#include <OpenImageIO/imageio.h>

#include "frames/World.h"
#include "imagefiles/ImageLayout.h"
#include "imagefiles/pictures/OutputParts_pvt.h"
#include "imagefiles/pictures/StoredPixels_pvt.h"

namespace quorvel::imagefiles::pictures {

namespace OIIO = OIIO_NAMESPACE;

/// Writes the part's pixels, a band of rows (of whole tiles) at a time.
/// False when the writer refused a band, its words left on `out`.
bool WritePixels(OIIO::ImageOutput& out, const frames::World& world, const Window& frame, const OutputPart& part,
                 const StoredImage* stored);

}  // namespace quorvel::imagefiles::pictures
