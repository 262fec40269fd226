/// Drawing with Cairo: the viewer window with the module's strokes, and
/// contact sheets of such windows.
#pragma once

#include <memory>
#include <vector>

#include "imagefiles/PictureLibrary.h"

namespace quorvel::imagefiles::pictures {

std::unique_ptr<WindowPainter> NewWindow(const frames::World& frame, const frames::View& view, int width, int height);
frames::World DrawSheet(int width, int height, const std::vector<SheetCell>& cells);

}  // namespace quorvel::imagefiles::pictures
