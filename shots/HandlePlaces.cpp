#include "shots/HandlePlaces.h"

#include <cmath>
#include <cstddef>

namespace quorvel::shots {

namespace {

using Kind = frames::PathSegment::Kind;

/// The module's drawing ends with these ten strokes, after the outline of
/// an ellipse mask when there is one: the mask's box, the corner squares
/// clockwise from the top left, the four feather circles in one stroke
/// (top, bottom, left, right), the rotation spoke and its circle, the
/// opacity scale and its marker.
constexpr std::size_t kStrokes = 10;
constexpr std::size_t kBox = 0, kCorners = 1, kFeathers = 5, kSpoke = 6, kRotation = 7, kScale = 8, kMarker = 9;

bool IsQuad(const frames::Stroke& s) {
    const auto& g = s.segments;
    return g.size() == 5 && g[0].kind == Kind::Move && g[1].kind == Kind::Line && g[2].kind == Kind::Line &&
           g[3].kind == Kind::Line && g[4].kind == Kind::Close;
}

bool IsLine(const frames::Stroke& s) {
    return s.segments.size() == 2 && s.segments[0].kind == Kind::Move && s.segments[1].kind == Kind::Line;
}

bool IsCircles(const frames::Stroke& s, std::size_t count) {
    if (s.segments.size() != count) return false;
    for (const frames::PathSegment& g : s.segments) {
        if (g.kind != Kind::Arc) return false;
    }
    return true;
}

DrawnHandle QuadMiddle(long number, const frames::Stroke& s) {
    DrawnHandle h{number, 0, 0};
    for (std::size_t i = 0; i < 4; ++i) {
        h.x += s.segments[i].x / 4.0;
        h.y += s.segments[i].y / 4.0;
    }
    return h;
}

DrawnHandle Centre(long number, const frames::PathSegment& arc) { return DrawnHandle{number, arc.x, arc.y}; }

}  // namespace

std::string HandleName(long number) {
    static const char* const kNames[] = {
        "none",     "top-left corner", "top-right corner", "bottom-left corner", "bottom-right corner",
        "rotation", "left feather",    "right feather",    "top feather",        "bottom feather",
        "opacity"};
    return number >= 0 && number <= 10 ? kNames[number] : "unknown";
}

std::vector<DrawnHandle> DrawnHandles(const std::vector<frames::Stroke>& all) {
    if (all.size() < kStrokes) return {};
    const frames::Stroke* s = all.data() + (all.size() - kStrokes);
    bool whole = IsQuad(s[kBox]) && IsCircles(s[kFeathers], 4) && IsLine(s[kSpoke]) && IsCircles(s[kRotation], 1) &&
                 IsLine(s[kScale]) && IsQuad(s[kMarker]);
    for (std::size_t i = 0; i < 4; ++i) whole = whole && IsQuad(s[kCorners + i]);
    if (!whole) return {};
    const auto& feathers = s[kFeathers].segments;
    return {
        QuadMiddle(1, s[kCorners]),      // top left
        QuadMiddle(2, s[kCorners + 1]),  // top right
        QuadMiddle(3, s[kCorners + 3]),  // bottom left, drawn last of the four
        QuadMiddle(4, s[kCorners + 2]),  // bottom right
        Centre(5, s[kRotation].segments[0]),
        Centre(6, feathers[2]),  // left
        Centre(7, feathers[3]),  // right
        Centre(8, feathers[0]),  // top
        Centre(9, feathers[1]),  // bottom
        // On the scale, where the marker stands: the marker reaches a pixel
        // further right than left of it.
        DrawnHandle{10, s[kScale].segments[0].x, QuadMiddle(10, s[kMarker]).y},
    };
}

std::optional<NearestHandle> Nearest(const std::vector<DrawnHandle>& handles, double x, double y) {
    std::optional<NearestHandle> nearest;
    for (const DrawnHandle& h : handles) {
        const double d = std::hypot(h.x - x, h.y - y);
        if (!nearest || d < nearest->distance) nearest = NearestHandle{h, d};
    }
    return nearest;
}

}  // namespace quorvel::shots
