#include "imagefiles/pictures/CairoWindow.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "frames/HostError.h"

namespace quorvel::imagefiles::pictures {

namespace {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using ContextPtr = std::unique_ptr<cairo_t, ContextDeleter>;

SurfacePtr NewSurface(int width, int height) {
    SurfacePtr s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS) throw frames::HostError("cannot make a drawing surface");
    return s;
}

std::uint8_t ToByte(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 1.0f) return 255;
    return std::uint8_t(std::lround(v * 255.0f));
}

/// The frame's pixels as Cairo's premultiplied native-endian ARGB.
SurfacePtr FrameSurface(const frames::World& frame) {
    SurfacePtr s = NewSurface(std::max(frame.width(), 1), std::max(frame.height(), 1));
    cairo_surface_flush(s.get());
    unsigned char* data = cairo_image_surface_get_data(s.get());
    const int stride = cairo_image_surface_get_stride(s.get());
    for (int y = 0; y < frame.height(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + std::ptrdiff_t(y) * stride);
        for (int x = 0; x < frame.width(); ++x) {
            std::uint8_t a, r, g, b;
            switch (frame.layout()) {
                case frames::PixelLayout::ARGB8: {
                    const PF_Pixel8& p = frame.At<PF_Pixel8>(x, y);
                    a = p.alpha, r = p.red, g = p.green, b = p.blue;
                    break;
                }
                case frames::PixelLayout::ARGB16: {
                    const PF_Pixel16& p = frame.At<PF_Pixel16>(x, y);
                    a = ToByte(p.alpha / 32768.0f), r = ToByte(p.red / 32768.0f), g = ToByte(p.green / 32768.0f),
                    b = ToByte(p.blue / 32768.0f);
                    break;
                }
                case frames::PixelLayout::BGRA8: {
                    const frames::BGRA8Pixel& p = frame.At<frames::BGRA8Pixel>(x, y);
                    a = p.a, r = p.r, g = p.g, b = p.b;
                    break;
                }
                case frames::PixelLayout::BGRA32f:
                default: {
                    const frames::BGRA32fPixel& p = frame.At<frames::BGRA32fPixel>(x, y);
                    a = ToByte(p.a), r = ToByte(p.r), g = ToByte(p.g), b = ToByte(p.b);
                    break;
                }
            }
            auto pre = [a](std::uint8_t c) { return std::uint32_t((c * a + 127) / 255); };
            row[x] = std::uint32_t(a) << 24 | pre(r) << 16 | pre(g) << 8 | pre(b);
        }
    }
    cairo_surface_mark_dirty(s.get());
    return s;
}

void TracePath(cairo_t* cr, const std::vector<frames::PathSegment>& segments) {
    cairo_new_path(cr);
    for (const frames::PathSegment& s : segments) {
        switch (s.kind) {
            case frames::PathSegment::Kind::Move:
                cairo_move_to(cr, s.x, s.y);
                break;
            case frames::PathSegment::Kind::Line:
                cairo_line_to(cr, s.x, s.y);
                break;
            case frames::PathSegment::Kind::Arc: {
                // An arc starts a figure of its own rather than joining the last one.
                cairo_new_sub_path(cr);
                const double start = s.start * std::numbers::pi / 180.0;
                const double end = (s.start + s.sweep) * std::numbers::pi / 180.0;
                if (s.sweep >= 0) {
                    cairo_arc(cr, s.x, s.y, s.radius, start, end);
                } else {
                    cairo_arc_negative(cr, s.x, s.y, s.radius, start, end);
                }
                break;
            }
            case frames::PathSegment::Kind::Close:
                cairo_close_path(cr);
                break;
        }
    }
}

}  // namespace

namespace {

/// The 8-bit opaque frame of a surface whose pixels are all opaque.
frames::World OpaqueWorld(cairo_surface_t* s, int width, int height) {
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    frames::World out(frames::PixelLayout::ARGB8, width, height);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::ptrdiff_t(y) * stride);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = row[x];
            out.At<PF_Pixel8>(x, y) = {255, A_u_char(p >> 16), A_u_char(p >> 8), A_u_char(p)};
        }
    }
    return out;
}

class CairoWindow final : public WindowPainter {
public:
    CairoWindow(const frames::World& frame, const frames::View& view, int width, int height)
        : width_(width), height_(height), surface_(NewSurface(width, height)), context_(cairo_create(surface_.get())) {
        cairo_t* cr = context_.get();

        // A checkerboard shows where the matte made the frame transparent.
        constexpr int kCell = 16;
        for (int y = 0; y < height; y += kCell) {
            for (int x = 0; x < width; x += kCell) {
                const double shade = ((x / kCell + y / kCell) % 2) != 0 ? 0.30 : 0.22;
                cairo_set_source_rgb(cr, shade, shade, shade);
                cairo_rectangle(cr, x, y, kCell, kCell);
                cairo_fill(cr);
            }
        }

        // The frame goes where the host's view puts it: layer to composition
        // (composition windows only), then source to window.
        SurfacePtr image = FrameSurface(frame);
        cairo_save(cr);
        cairo_translate(cr, view.pan_x, view.pan_y);
        cairo_scale(cr, view.zoom, view.zoom);
        if (view.window == PF_Window_COMP) {
            cairo_translate(cr, view.layer_x, view.layer_y);
            cairo_scale(cr, view.layer_scale, view.layer_scale);
        }
        cairo_set_source_surface(cr, image.get(), 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
        cairo_paint(cr);
        cairo_restore(cr);
    }

    void OnStroke(const frames::Stroke& stroke) override {
        cairo_t* cr = context_.get();
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
        if (stroke.theme && stroke.shadow) {
            cairo_save(cr);
            cairo_translate(cr, frames::Drawing::kThemeShadowOffset, frames::Drawing::kThemeShadowOffset);
            TracePath(cr, stroke.segments);
            const DRAWBOT_ColorRGBA& s = frames::Drawing::kThemeShadowColor;
            cairo_set_source_rgba(cr, s.red, s.green, s.blue, s.alpha);
            cairo_set_line_width(cr, stroke.width);
            cairo_stroke(cr);
            cairo_restore(cr);
        }
        TracePath(cr, stroke.segments);
        cairo_set_source_rgba(cr, stroke.color.red, stroke.color.green, stroke.color.blue, stroke.color.alpha);
        cairo_set_line_width(cr, stroke.width);
        cairo_stroke(cr);
    }

    // Opaque: the checkerboard is under everything.
    frames::World ToWorld() const override { return OpaqueWorld(surface_.get(), width_, height_); }

private:
    int width_;
    int height_;
    SurfacePtr surface_;
    ContextPtr context_;
};

}  // namespace

std::unique_ptr<WindowPainter> NewWindow(const frames::World& frame, const frames::View& view, int width, int height) {
    return std::make_unique<CairoWindow>(frame, view, width, height);
}

frames::World DrawSheet(int width, int height, const std::vector<SheetCell>& cells) {
    SurfacePtr surface = NewSurface(width, height);
    ContextPtr context(cairo_create(surface.get()));
    cairo_t* cr = context.get();
    cairo_set_source_rgb(cr, 0.12, 0.12, 0.12);
    cairo_paint(cr);
    cairo_surface_flush(surface.get());

    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    for (const SheetCell& cell : cells) {
        const frames::World& picture = *cell.picture;
        const int w = std::min(picture.width(), width - cell.x), h = std::min(picture.height(), height - cell.y);
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(data + std::ptrdiff_t(cell.y + y) * stride) + cell.x;
            for (int x = 0; x < w; ++x) {
                const PF_Pixel8& p = picture.At<PF_Pixel8>(x, y);  // opaque, so premultiplying changes nothing
                row[x] = 0xFF000000u | std::uint32_t(p.red) << 16 | std::uint32_t(p.green) << 8 | p.blue;
            }
        }
    }
    cairo_surface_mark_dirty(surface.get());

    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 13.0);
    cairo_set_source_rgb(cr, 0.85, 0.85, 0.85);
    for (const SheetCell& cell : cells) {
        cairo_move_to(cr, cell.label_x, cell.label_y);
        cairo_show_text(cr, cell.label.c_str());
    }
    return OpaqueWorld(surface.get(), width, height);
}

}  // namespace quorvel::imagefiles::pictures
