/// The host's drawing objects: pens, paths and strokes made through the
/// drawing suites, recorded so tests can read them and counted so a leak or
/// a double release is reported.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "host/PF_Host.h"

namespace quorvel::frames {

struct PathSegment {
    enum class Kind { Move, Line, Arc, Close };
    Kind kind = Kind::Move;
    float x = 0, y = 0;  ///< end point, or the arc's centre
    float radius = 0, start = 0, sweep = 0;

    std::string ToString() const;
};

/// One stroke as the host performed it.
struct Stroke {
    bool theme = false;   ///< through the overlay theme (host colours) rather than a pen
    bool shadow = false;  ///< theme strokes only
    DRAWBOT_ColorRGBA color{};
    float width = 0;
    std::vector<PathSegment> segments;
};

/// Where strokes land: a recorder keeps them; a rasteriser also paints them.
class StrokeSink {
public:
    virtual ~StrokeSink() = default;
    virtual void OnStroke(const Stroke& stroke) = 0;
};

class Drawing {
public:
    /// Colour, width and shadow the host uses for theme strokes.
    static constexpr DRAWBOT_ColorRGBA kThemeColor{1.0f, 1.0f, 1.0f, 1.0f};
    static constexpr DRAWBOT_ColorRGBA kThemeShadowColor{0.0f, 0.0f, 0.0f, 0.6f};
    static constexpr float kThemeWidth = 1.0f;
    static constexpr float kThemeShadowOffset = 1.0f;

    DRAWBOT_PenRef NewPen(const DRAWBOT_ColorRGBA& color, float width);
    DRAWBOT_PathRef NewPath();
    /// False (with a problem noted) for an unknown or already released object.
    bool Release(DRAWBOT_ObjectRef object);

    /// Null when `ref` is not a live path of this drawing.
    std::vector<PathSegment>* PathSegments(DRAWBOT_PathRef ref);
    const DRAWBOT_ColorRGBA* PenColor(DRAWBOT_PenRef ref, float* width);

    void AddStroke(Stroke stroke);

    const std::vector<Stroke>& strokes() const { return strokes_; }
    std::size_t pens_made() const { return pens_made_; }
    std::size_t paths_made() const { return paths_made_; }
    std::size_t released() const { return released_; }
    std::size_t live_objects() const;

    void set_sink(StrokeSink* sink) { sink_ = sink; }

    /// Problems seen so far (double releases, unknown objects) and, when
    /// `at_end` is set, objects never released.
    std::vector<std::string> Problems(bool at_end) const;

private:
    struct Object {
        bool is_pen = false;
        bool released = false;
        DRAWBOT_ColorRGBA color{};
        float width = 0;
        std::vector<PathSegment> segments;
    };
    Object* Find(const void* ref);

    std::deque<Object> objects_;  // stable addresses: a reference is an object's address
    std::vector<Stroke> strokes_;
    std::vector<std::string> problems_;
    std::size_t pens_made_ = 0;
    std::size_t paths_made_ = 0;
    std::size_t released_ = 0;
    StrokeSink* sink_ = nullptr;
};

}  // namespace quorvel::frames
