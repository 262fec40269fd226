#include "ContactSheet.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "Args.h"
#include "AtomicFile.h"
#include "Canvas.h"
#include "HostError.h"
#include "ImageFile.h"
#include "OverlayPicture.h"

namespace quorvel::cli {

namespace {

constexpr int kGap = 6;
constexpr int kLabelHeight = 20;
/// The largest picture side the image writers and Cairo both take comfortably.
constexpr int kMaxSide = 16384;

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};

}  // namespace

ContactSheet::ContactSheet(const ContactSheetSettings& settings, const std::vector<int>& frames, int layer_width,
                           int layer_height)
    : settings_(settings), frames_(frames) {
    const int n = int(frames.size());
    every_ = settings.every > 0 ? settings.every
                                : std::max(1, (n + ContactSheetSettings::kDefaultThumbnails - 1) /
                                                  ContactSheetSettings::kDefaultThumbnails);
    count_ = (n + every_ - 1) / every_;
    columns_ = std::clamp(settings.columns, 1, std::max(1, count_));
    zoom_ = double(settings.thumbnail_width) / double(std::max(layer_width, 1));
    thumb_width_ = std::max(1, int(std::ceil(layer_width * zoom_)));
    thumb_height_ = std::max(1, int(std::ceil(layer_height * zoom_)));
    const int rows = (count_ + columns_ - 1) / columns_;
    const long long width = kGap + (long long)columns_ * (thumb_width_ + kGap);
    const long long height = kGap + (long long)rows * (thumb_height_ + kLabelHeight + kGap);
    if (thumb_height_ > kMaxSide || width > kMaxSide || height > kMaxSide) {
        throw UsageError("--contact-sheet: " + std::to_string(count_) + " thumbnails make a sheet of " +
                         std::to_string(width) + "x" + std::to_string(height) + " pixels, more than " +
                         std::to_string(kMaxSide) + " a side; raise --contact-every or lower --contact-width");
    }
}

void ContactSheet::OnFrame(std::size_t index, Session& instance, sim::ParamSet& params, sim::World& frame) {
    sim::View view;
    view.zoom = zoom_;
    sim::Canvas canvas(frame, view, thumb_width_, thumb_height_);
    PaintOverlay(instance, params, frame, view, canvas);
    sim::World thumbnail = canvas.ToWorld();
    std::lock_guard lock(mutex_);
    thumbnails_.insert_or_assign(index, std::move(thumbnail));
}

bool ContactSheet::Complete() const {
    std::lock_guard lock(mutex_);
    return int(thumbnails_.size()) == count_;
}

void ContactSheet::Write() const {
    std::lock_guard lock(mutex_);
    const int rows = (count_ + columns_ - 1) / columns_;
    const int width = kGap + columns_ * (thumb_width_ + kGap);
    const int height = kGap + rows * (thumb_height_ + kLabelHeight + kGap);
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        throw sim::HostError("cannot make a drawing surface");
    std::unique_ptr<cairo_t, ContextDeleter> context(cairo_create(surface.get()));
    cairo_t* cr = context.get();
    cairo_set_source_rgb(cr, 0.12, 0.12, 0.12);
    cairo_paint(cr);
    cairo_surface_flush(surface.get());

    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    auto cell = [&](std::size_t index, int* x, int* y) {
        const int k = int(index / std::size_t(every_));
        *x = kGap + (k % columns_) * (thumb_width_ + kGap);
        *y = kGap + (k / columns_) * (thumb_height_ + kLabelHeight + kGap);
    };
    for (const auto& [index, thumbnail] : thumbnails_) {
        int x0 = 0, y0 = 0;
        cell(index, &x0, &y0);
        for (int y = 0; y < thumbnail.height(); ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(data + std::ptrdiff_t(y0 + y) * stride) + x0;
            for (int x = 0; x < thumbnail.width(); ++x) {
                const PF_Pixel8& p = thumbnail.At<PF_Pixel8>(x, y);  // opaque, so premultiplying changes nothing
                row[x] = 0xFF000000u | std::uint32_t(p.red) << 16 | std::uint32_t(p.green) << 8 | p.blue;
            }
        }
    }
    cairo_surface_mark_dirty(surface.get());

    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 13.0);
    cairo_set_source_rgb(cr, 0.85, 0.85, 0.85);
    for (const auto& [index, thumbnail] : thumbnails_) {
        int x0 = 0, y0 = 0;
        cell(index, &x0, &y0);
        cairo_move_to(cr, x0 + 2, y0 + thumb_height_ + kLabelHeight - 5);
        cairo_show_text(cr, ("frame " + std::to_string(frames_[index])).c_str());
    }
    cairo_surface_flush(surface.get());

    sim::World sheet(sim::PixelLayout::ARGB8, width, height);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::ptrdiff_t(y) * stride);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = row[x];
            sheet.At<PF_Pixel8>(x, y) = {255, A_u_char(p >> 16), A_u_char(p >> 8), A_u_char(p)};
        }
    }
    sim::WriteAtomically(settings_.path, [&](const std::filesystem::path& temp) { sim::WriteImage(temp, sheet); });
}

}  // namespace quorvel::cli
