/// Drawing with Cairo: the viewer window with the module's strokes, and
/// contact sheets of such windows.
#pragma once

#include <memory>
#include <vector>

#include "imagefiles/PictureLibrary.h"

namespace quorvel::sim::pictures {

std::unique_ptr<WindowPainter> NewWindow(const World& frame, const View& view, int width, int height);
World DrawSheet(int width, int height, const std::vector<SheetCell>& cells);

}  // namespace quorvel::sim::pictures
