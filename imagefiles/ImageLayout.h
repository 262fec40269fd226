/// Which pixels of an image file the module renders, chosen from the file's
/// headers alone: the part, the layer's red, green, blue and alpha
/// channels, and the frame that covers the data and display windows. Kept
/// apart from the image library so that the choice can be checked and
/// fuzzed on headers of any shape.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "frames/Message.h"

namespace quorvel::imagefiles {

/// A rectangle of pixels in the file's coordinates.
struct Window {
    int x = 0, y = 0;
    int width = 0, height = 0;

    bool empty() const { return width <= 0 || height <= 0; }
    bool operator==(const Window&) const = default;
};

/// The smallest window holding both.
Window Union(const Window& a, const Window& b);
/// "(x0,y0)-(x1,y1)", corners inclusive, as compositors print windows.
std::string WindowText(const Window& w);

/// One part (or subimage) of a file as its header describes it.
struct PartHeader {
    std::string name;  ///< the part's name ("rgba_left"); empty when it has none
    std::string view;  ///< the view it belongs to ("left"); empty when none
    std::vector<std::string> channels;
    int alpha_channel = -1;  ///< the channel the file marks as alpha, if any
    Window data;
    Window display;  ///< empty when the file has no display window
    bool deep = false;
    int volume_depth = 1;
    int mip_levels = 1;
};

/// What the user asked for: a layer by name (its channels NAME.R, NAME.G,
/// NAME.B and NAME.A), a part by name or index.
struct LayerChoice {
    std::optional<std::string> layer;
    std::optional<std::string> part;
};

/// The pixels to render and where they sit.
struct LayerPlan {
    int part = 0;
    /// Channel indexes in the part; equal for a grey file; alpha -1 when
    /// the layer has none.
    int red = 0, green = 0, blue = 0, alpha = -1;
    /// The layer's name, empty for the unnamed R, G, B, A.
    std::string layer;
    Window data;
    /// The frame the matte is placed in: the display window, or the data
    /// window when the file has none.
    Window display;
    /// What the module renders: the data and display windows together.
    Window frame;
    /// What the user should know about the choice, one sentence each.
    std::vector<frames::Message> notes;
};

/// The most parts, channels a part, and pixels along either side of a
/// window the tool takes; a header beyond them is refused.
inline constexpr int kMaxParts = 1024;
inline constexpr int kMaxChannels = 1024;
inline constexpr int kMaxSide = 1 << 16;

/// Throws HostError, naming `file`, when no layer can be rendered or the
/// headers are beyond the tool's limits.
LayerPlan PlanLayer(const std::string& file, const std::vector<PartHeader>& parts, const LayerChoice& choice);

}  // namespace quorvel::imagefiles
