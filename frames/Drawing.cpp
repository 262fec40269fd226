#include "frames/Drawing.h"

#include <cstdio>

namespace quorvel::frames {

std::string PathSegment::ToString() const {
    char buf[128];
    switch (kind) {
        case Kind::Move:
            std::snprintf(buf, sizeof buf, "M %g %g", x, y);
            break;
        case Kind::Line:
            std::snprintf(buf, sizeof buf, "L %g %g", x, y);
            break;
        case Kind::Arc:
            std::snprintf(buf, sizeof buf, "A %g %g r%g %g+%g", x, y, radius, start, sweep);
            break;
        case Kind::Close:
            std::snprintf(buf, sizeof buf, "Z");
            break;
    }
    return buf;
}

DRAWBOT_PenRef Drawing::NewPen(const DRAWBOT_ColorRGBA& color, float width) {
    Object& o = objects_.emplace_back();
    o.is_pen = true;
    o.color = color;
    o.width = width;
    ++pens_made_;
    return reinterpret_cast<DRAWBOT_PenRef>(&o);
}

DRAWBOT_PathRef Drawing::NewPath() {
    Object& o = objects_.emplace_back();
    ++paths_made_;
    return reinterpret_cast<DRAWBOT_PathRef>(&o);
}

Drawing::Object* Drawing::Find(const void* ref) {
    for (Object& o : objects_) {
        if (&o == ref) return &o;
    }
    return nullptr;
}

bool Drawing::Release(DRAWBOT_ObjectRef object) {
    Object* o = Find(object);
    if (o == nullptr) {
        problems_.push_back("ReleaseObject of an object the host never made");
        return false;
    }
    if (o->released) {
        problems_.push_back(std::string("double release of a ") + (o->is_pen ? "pen" : "path"));
        return false;
    }
    o->released = true;
    ++released_;
    return true;
}

std::vector<PathSegment>* Drawing::PathSegments(DRAWBOT_PathRef ref) {
    Object* o = Find(ref);
    if (o == nullptr || o->is_pen || o->released) return nullptr;
    return &o->segments;
}

const DRAWBOT_ColorRGBA* Drawing::PenColor(DRAWBOT_PenRef ref, float* width) {
    Object* o = Find(ref);
    if (o == nullptr || !o->is_pen || o->released) return nullptr;
    *width = o->width;
    return &o->color;
}

void Drawing::AddStroke(Stroke stroke) {
    if (sink_ != nullptr) sink_->OnStroke(stroke);
    strokes_.push_back(std::move(stroke));
}

std::size_t Drawing::live_objects() const {
    std::size_t n = 0;
    for (const Object& o : objects_) n += !o.released;
    return n;
}

std::vector<std::string> Drawing::Problems(bool at_end) const {
    std::vector<std::string> out = problems_;
    if (at_end) {
        std::size_t pens = 0, paths = 0;
        for (const Object& o : objects_) {
            if (o.released) continue;
            (o.is_pen ? pens : paths) += 1;
        }
        if (pens != 0) out.push_back(std::to_string(pens) + " pen(s) never released");
        if (paths != 0) out.push_back(std::to_string(paths) + " path(s) never released");
    }
    return out;
}

}  // namespace quorvel::frames
