#include "imagefiles/Canvas.h"

#include <algorithm>
#include <cmath>

#include "frames/HostError.h"
#include "imagefiles/AtomicFile.h"
#include "imagefiles/ImageFile.h"

namespace quorvel::imagefiles {

void Canvas::FittingSize(const frames::World& frame, const frames::View& view, int* width, int* height) {
    FittingSize(frame.width(), frame.height(), view, width, height);
}

void Canvas::FittingSize(int layer_width, int layer_height, const frames::View& view, int* width, int* height) {
    double scale = view.zoom;
    double ox = view.pan_x, oy = view.pan_y;
    if (view.window == PF_Window_COMP) {
        ox += view.layer_x * view.zoom;
        oy += view.layer_y * view.zoom;
        scale *= view.layer_scale;
    }
    *width = std::clamp(int(std::ceil(ox + layer_width * scale)), 1, 16384);
    *height = std::clamp(int(std::ceil(oy + layer_height * scale)), 1, 16384);
}

Canvas::Canvas(const frames::World& frame, const frames::View& view, int width, int height)
    : width_(width), height_(height) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384)
        throw frames::HostError("unsupported window size");
    painter_ = Pictures().NewWindow(frame, view, width, height);
}

Canvas::~Canvas() = default;

void Canvas::OnStroke(const frames::Stroke& stroke) { painter_->OnStroke(stroke); }

frames::World Canvas::ToWorld() const { return painter_->ToWorld(); }

void Canvas::WritePng(const std::filesystem::path& path) const {
    const frames::World picture = ToWorld();
    WriteAtomically(path, [&](const std::filesystem::path& temp) { WriteImage(temp, picture); });
}

}  // namespace quorvel::imagefiles
