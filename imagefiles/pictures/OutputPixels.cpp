#include <algorithm>
#include <cstring>
#include <vector>

#include "frames/PixelBuffer.h"
#include "imagefiles/pictures/OutputPixels_pvt.h"

namespace quorvel::imagefiles::pictures {

namespace {

/// How the rendered colour is stored: straight, or multiplied by the new
/// alpha, keeping the stored colour where alpha did not change.
void FinishColour(const OutputPart& part, const StoredImage* stored, int x, int y, int n, float* rgba,
                  std::vector<float>& scratch) {
    if (!part.premultiply && !part.over_black) return;
    const bool keep = part.premultiply && stored != nullptr && stored->Kept() && stored->exact &&
                      stored->premultiplied && stored->Inside(y) && x >= stored->plan.data.x &&
                      x + n <= stored->plan.data.x + stored->plan.data.width;
    if (keep) {
        scratch.resize(std::size_t(n) * 4);
        StoredToFloat(*stored, x, y, n, scratch.data());
    }
    for (int i = 0; i < n; ++i) {
        float* p = rgba + 4 * i;
        const float a = p[3];
        if (a == 0.0f) {
            p[0] = p[1] = p[2] = 0.0f;
        } else if (keep && scratch[std::size_t(4 * i + 3)] == a) {
            for (int c = 0; c < 3; ++c) p[c] = scratch[std::size_t(4 * i + c)];
        } else {
            for (int c = 0; c < 3; ++c) p[c] *= a;
        }
    }
}

/// One output row of `part`: stored channels copied, rendered ones
/// converted from the world.
void AssembleRow(const frames::World& world, const Window& frame, const OutputPart& part, const StoredImage* stored,
                 int y, std::uint8_t* out, std::vector<float>& rgba, std::vector<float>& scratch) {
    const Window& w = part.window;
    const std::size_t bytes = part.pixel.bytes;
    std::memset(out, 0, std::size_t(w.width) * bytes);
    if (stored != nullptr && stored->Kept() && stored->Inside(y)) {
        const Window& data = stored->plan.data;
        const int x0 = std::max(w.x, data.x), x1 = std::min(w.x + w.width, data.x + data.width);
        if (x0 < x1) {
            std::uint8_t* dst = out + std::size_t(x0 - w.x) * bytes;
            const std::uint8_t* src = stored->At(x0, y);
            if (part.pixel == stored->pixel) {
                std::memcpy(dst, src, std::size_t(x1 - x0) * bytes);
            } else {
                for (std::size_t c = 0; c < part.sources.size(); ++c) {
                    const int s = part.sources[c];
                    if (s < 0) continue;
                    const OIIO::TypeDesc from = stored->pixel.types[std::size_t(s)], to = part.pixel.types[c];
                    for (int x = x0; x < x1; ++x) {
                        std::uint8_t* d = dst + std::size_t(x - x0) * bytes + part.pixel.offsets[c];
                        const std::uint8_t* v =
                            src + std::size_t(x - x0) * stored->pixel.bytes + stored->pixel.offsets[std::size_t(s)];
                        if (from == to) {
                            std::memcpy(d, v, to.size());
                        } else {
                            OIIO::convert_pixel_values(from, v, to, d);
                        }
                    }
                }
            }
        }
    }
    rgba.resize(std::size_t(w.width) * 4);
    WorldToFloat(world, y - frame.y, w.x - frame.x, w.width, rgba.data());
    FinishColour(part, stored, w.x, y, w.width, rgba.data(), scratch);
    for (std::size_t c = 0; c < part.sources.size(); ++c) {
        const int s = part.sources[c];
        if (s >= 0) continue;
        const int component = -s - 1;
        FromFloat(rgba.data() + component, 4, w.width, part.pixel.types[c], out + part.pixel.offsets[c], bytes);
    }
}

}  // namespace

bool WritePixels(OIIO::ImageOutput& out, const frames::World& world, const Window& frame, const OutputPart& part,
                 const StoredImage* stored) {
    const Window& w = part.window;
    const std::size_t row_bytes = std::size_t(w.width) * part.pixel.bytes;
    const int tile = std::max(part.header.tile_height, 1);
    const int rows = std::max(tile, BandRows(row_bytes) / tile * tile);
    const frames::PixelBuffer band(row_bytes * std::size_t(rows));
    std::vector<float> rgba, scratch;
    // The pixels are in the file's own formats. The library takes channels
    // of mixed formats as "unknown" in contiguous memory only, and a tiled
    // TIFF's only by the format's name.
    const OIIO::TypeDesc type = out.spec().channelformats.empty() ? out.spec().format : OIIO::TypeUnknown;
    for (int top = w.y; top < w.y + w.height; top += rows) {
        const int bottom = std::min(top + rows, w.y + w.height);
        for (int y = top; y < bottom; ++y) {
            AssembleRow(world, frame, part, stored, y, band.data() + std::size_t(y - top) * row_bytes, rgba, scratch);
        }
        const int x = w.x + part.shift_x, y0 = top + part.shift_y, y1 = bottom + part.shift_y;
        const bool ok = part.header.tile_width > 0 ? out.write_tiles(x, x + w.width, y0, y1, 0, 1, type, band.data())
                                                   : out.write_scanlines(y0, y1, 0, type, band.data());
        if (!ok) return false;
    }
    return true;
}

}  // namespace quorvel::imagefiles::pictures
