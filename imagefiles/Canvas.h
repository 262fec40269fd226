/// The host's viewer window as a picture: the rendered frame shown through
/// the view (layer position and scale, window zoom and pan) over a
/// checkerboard, with the module's strokes painted on top (by the picture
/// library, loaded on first use).
#pragma once

#include <filesystem>
#include <memory>

#include "frames/Drawing.h"
#include "frames/View.h"
#include "frames/World.h"
#include "imagefiles/PictureLibrary.h"

namespace quorvel::imagefiles {

class Canvas : public frames::StrokeSink {
public:
    /// A window of `width` x `height` pixels showing `frame`.
    Canvas(const frames::World& frame, const frames::View& view, int width, int height);
    ~Canvas() override;

    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    /// The window size that shows the whole frame through `view`.
    static void FittingSize(const frames::World& frame, const frames::View& view, int* width, int* height);
    /// The same for a layer of `layer_width` by `layer_height` pixels.
    static void FittingSize(int layer_width, int layer_height, const frames::View& view, int* width, int* height);

    void OnStroke(const frames::Stroke& stroke) override;

    int width() const { return width_; }
    int height() const { return height_; }
    /// The window as an 8-bit frame (opaque).
    frames::World ToWorld() const;
    /// Writes the window as a PNG, atomically.
    void WritePng(const std::filesystem::path& path) const;

private:
    int width_;
    int height_;
    std::unique_ptr<WindowPainter> painter_;
};

}  // namespace quorvel::imagefiles
