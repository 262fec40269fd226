#include "Canvas.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "AtomicFile.h"
#include "HostError.h"
#include "ImageFile.h"

namespace quorvel::sim {

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
    if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS) throw HostError("cannot make a drawing surface");
    return s;
}

std::uint8_t ToByte(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 1.0f) return 255;
    return std::uint8_t(std::lround(v * 255.0f));
}

/// The frame's pixels as Cairo's premultiplied native-endian ARGB.
SurfacePtr FrameSurface(const World& frame) {
    SurfacePtr s = NewSurface(std::max(frame.width(), 1), std::max(frame.height(), 1));
    cairo_surface_flush(s.get());
    unsigned char* data = cairo_image_surface_get_data(s.get());
    const int stride = cairo_image_surface_get_stride(s.get());
    for (int y = 0; y < frame.height(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + std::ptrdiff_t(y) * stride);
        for (int x = 0; x < frame.width(); ++x) {
            std::uint8_t a, r, g, b;
            switch (frame.layout()) {
                case PixelLayout::ARGB8: {
                    const PF_Pixel8& p = frame.At<PF_Pixel8>(x, y);
                    a = p.alpha, r = p.red, g = p.green, b = p.blue;
                    break;
                }
                case PixelLayout::ARGB16: {
                    const PF_Pixel16& p = frame.At<PF_Pixel16>(x, y);
                    a = ToByte(p.alpha / 32768.0f), r = ToByte(p.red / 32768.0f), g = ToByte(p.green / 32768.0f),
                    b = ToByte(p.blue / 32768.0f);
                    break;
                }
                case PixelLayout::BGRA8: {
                    const BGRA8Pixel& p = frame.At<BGRA8Pixel>(x, y);
                    a = p.a, r = p.r, g = p.g, b = p.b;
                    break;
                }
                case PixelLayout::BGRA32f:
                default: {
                    const BGRA32fPixel& p = frame.At<BGRA32fPixel>(x, y);
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

void TracePath(cairo_t* cr, const std::vector<PathSegment>& segments) {
    cairo_new_path(cr);
    for (const PathSegment& s : segments) {
        switch (s.kind) {
            case PathSegment::Kind::Move:
                cairo_move_to(cr, s.x, s.y);
                break;
            case PathSegment::Kind::Line:
                cairo_line_to(cr, s.x, s.y);
                break;
            case PathSegment::Kind::Arc: {
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
            case PathSegment::Kind::Close:
                cairo_close_path(cr);
                break;
        }
    }
}

}  // namespace

struct Canvas::Cairo {
    SurfacePtr surface;
    ContextPtr context;
};

void Canvas::FittingSize(const World& frame, const View& view, int* width, int* height) {
    double scale = view.zoom;
    double ox = view.pan_x, oy = view.pan_y;
    if (view.window == PF_Window_COMP) {
        ox += view.layer_x * view.zoom;
        oy += view.layer_y * view.zoom;
        scale *= view.layer_scale;
    }
    *width = std::clamp(int(std::ceil(ox + frame.width() * scale)), 1, 16384);
    *height = std::clamp(int(std::ceil(oy + frame.height() * scale)), 1, 16384);
}

Canvas::Canvas(const World& frame, const View& view, int width, int height)
    : width_(width), height_(height), cairo_(std::make_unique<Cairo>()) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) throw HostError("unsupported window size");
    cairo_->surface = NewSurface(width, height);
    cairo_->context = ContextPtr(cairo_create(cairo_->surface.get()));
    cairo_t* cr = cairo_->context.get();

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

Canvas::~Canvas() = default;

void Canvas::OnStroke(const Stroke& stroke) {
    cairo_t* cr = cairo_->context.get();
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
    if (stroke.theme && stroke.shadow) {
        cairo_save(cr);
        cairo_translate(cr, Drawing::kThemeShadowOffset, Drawing::kThemeShadowOffset);
        TracePath(cr, stroke.segments);
        const DRAWBOT_ColorRGBA& s = Drawing::kThemeShadowColor;
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

World Canvas::ToWorld() const {
    cairo_surface_t* s = cairo_->surface.get();
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    World out(PixelLayout::ARGB8, width_, height_);
    for (int y = 0; y < height_; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::ptrdiff_t(y) * stride);
        for (int x = 0; x < width_; ++x) {
            const std::uint32_t p = row[x];  // opaque: the checkerboard is under everything
            out.At<PF_Pixel8>(x, y) = {255, A_u_char(p >> 16), A_u_char(p >> 8), A_u_char(p)};
        }
    }
    return out;
}

void Canvas::WritePng(const std::filesystem::path& path) const {
    const World picture = ToWorld();
    WriteAtomically(path, [&](const std::filesystem::path& temp) { WriteImage(temp, picture); });
}

}  // namespace quorvel::sim
