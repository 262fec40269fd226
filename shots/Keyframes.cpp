#include "shots/Keyframes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <nlohmann/json.hpp>
#include <span>
#include <stdexcept>

#include "effect/Controls.h"
#include "frames/ParamEncoding.h"
#include "numeric/FixedPoint.h"
#include "shots/SettingNames.h"
#include "shots/ShotError.h"
#include "shots/ValueText.h"
#include "simhost/ParamRange.h"

namespace quorvel::shots {

namespace {

/// Why a keys file could not be read, in the user's words: where JSON (a
/// file that opens as one) breaks, or what the file starts with, for a
/// file of another kind (a channel file, a table, an image).
frames::Message NotJsonText(const std::string& file, std::string_view content, std::size_t byte) {
    std::string_view text = content;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && (text[first] == '{' || text[first] == '[')) {
        // The parser counts from 1, at the byte it stopped on.
        const std::size_t at = std::min(byte > 0 ? byte - 1 : 0, content.size());
        const std::size_t newline = at == 0 ? std::string_view::npos : content.rfind('\n', at - 1);
        const std::size_t begin = newline == std::string_view::npos ? 0 : newline + 1;
        const std::size_t line =
            1 + static_cast<std::size_t>(std::count(content.begin(), content.begin() + begin, '\n'));
        const std::size_t end = std::min(content.find('\n', begin), content.size());
        return setting::keys + " " + file + ": the JSON breaks at line " + std::to_string(line) + ", column " +
               std::to_string(at - begin + 1) + ": '" + Printable(Excerpt(content.substr(begin, end - begin))) + "'";
    }
    if (first == std::string_view::npos)
        return setting::keys + " " + file + " is empty: neither keyframe text nor JSON";
    const std::string_view start = text.substr(first, text.find_first_of("\r\n", first) - first);
    return setting::keys + " " + file + " is neither keyframe text nor JSON (it starts with '" +
           Printable(Excerpt(start, 40)) + "')";
}

/// Far beyond a long tracker export (ten million rows are some 180 MB).
constexpr std::uintmax_t kMaxKeyFileSize = std::uintmax_t(1) << 30;

/// A JSON document is held whole as a tree some ten times its size: far
/// more keys than a JSON file of this size holds belong in keyframe text.
constexpr std::size_t kMaxJsonKeyFileSize = std::size_t(256) << 20;

/// Frames are 32-bit whole numbers: keys must lie within them.
constexpr double kMaxKeyFrame = 2147483648.0;

/// The names keys use: the render options' names, for every control, so a
/// key on a control that cannot vary in time is recognised and refused
/// with the reason rather than as an unknown name.
struct ControlName {
    const char* name;
    A_long id;
};

constexpr ControlName kControlNames[] = {
    {"origin", kIdOrigin},   {"width", kIdWidth},     {"height", kIdHeight},      {"angle", kIdAngle},
    {"feather", kIdFeather}, {"opacity", kIdOpacity}, {"mask-type", kIdMaskType}, {"composite", kIdCompositeMode},
    {"invert", kIdInvert},   {"falloff", kIdFalloff},
};

const ControlName* FindName(const std::string& name) {
    for (const ControlName& c : kControlNames) {
        if (name == c.name) return &c;
    }
    return nullptr;
}

std::string KnownNames() {
    std::string names;
    for (const ControlName& c : kControlNames) names += (names.empty() ? "" : ", ") + std::string(c.name);
    return names;
}

Interpolation ParseInterpolation(const frames::Message& source, const std::string& text) {
    if (text == "linear") return Interpolation::Linear;
    if (text == "hold") return Interpolation::Hold;
    if (text == "ease") return Interpolation::Ease;
    throw ShotError(source + ": interpolation '" + Excerpt(text) + "' is not linear, hold or ease");
}

bool IsFixedType(PF_ParamType type) {
    return type == PF_Param_POINT || type == PF_Param_ANGLE || type == PF_Param_FIX_SLIDER;
}

}  // namespace

std::string ControlNameAt(const sim::ParamSet& params, int index) {
    for (const ControlName& c : kControlNames) {
        if (params.IndexOfId(c.id) == index) return c.name;
    }
    return "";
}

A_long ControlIdOfName(const std::string& name) {
    const ControlName* c = FindName(name);
    return c ? c->id : 0;
}

double SegmentWeight(Interpolation from, Interpolation to, double s) {
    if (from == Interpolation::Hold) return 0.0;
    // Hermite tangents in units of the whole step: 1 keeps the straight
    // line's speed at that end, 0 eases into or out of the key.
    const double m0 = from == Interpolation::Ease ? 0.0 : 1.0;
    const double m1 = to == Interpolation::Ease ? 0.0 : 1.0;
    if (m0 == 1.0 && m1 == 1.0) return s;  // exact, rather than the cubic's rounding of it
    const double s2 = s * s;
    const double s3 = s2 * s;
    return (s3 - 2.0 * s2 + s) * m0 + (3.0 * s2 - 2.0 * s3) + (s3 - s2) * m1;
}

KeyValue::KeyValue(std::initializer_list<double> values) {
    if (values.size() > values_.size()) throw std::length_error("a key holds one or two numbers");
    std::copy(values.begin(), values.end(), values_.begin());
    size_ = values.size();
}

namespace {

/// The two numbers of a point's keys at `frame`.
std::pair<double, double> Evaluate2(const std::vector<Keyframe>& keys, double frame) {
    const std::vector<double> v = Evaluate(keys, frame);
    return {v[0], v.size() > 1 ? v[1] : v[0]};
}

}  // namespace

std::vector<double> Evaluate(const std::vector<Keyframe>& keys, double frame) {
    if (frame <= keys.front().frame) return {keys.front().value.begin(), keys.front().value.end()};
    if (frame >= keys.back().frame) return {keys.back().value.begin(), keys.back().value.end()};
    const auto next =
        std::upper_bound(keys.begin(), keys.end(), frame, [](double f, const Keyframe& k) { return f < k.frame; });
    const Keyframe& b = *next;
    const Keyframe& a = *(next - 1);
    const double w = SegmentWeight(a.interpolation, b.interpolation, (frame - a.frame) / (b.frame - a.frame));
    std::vector<double> value(a.value.size());
    for (std::size_t i = 0; i < value.size(); ++i) value[i] = a.value[i] + (b.value[i] - a.value[i]) * w;
    return value;
}

void Animation::AddKeyOption(const std::string& text) {
    const frames::Message source = setting::key + " " + Excerpt(text);
    const auto at = text.find('@');
    const auto eq = text.find('=', at == std::string::npos ? 0 : at);
    if (at == std::string::npos || eq == std::string::npos) {
        throw ShotError(source + ": expected NAME@FRAME=VALUE, such as width@1001=300");
    }
    PendingKey key;
    key.source = source;
    key.typed = true;
    key.name = text.substr(0, at);
    if (FindName(key.name) == nullptr) {
        throw ShotError(source + ": no control is called '" + Excerpt(key.name) + "' (known: " + KnownNames() + ")");
    }
    key.frame = ParseNumber("key", text.substr(at + 1, eq - at - 1));
    key.value = text.substr(eq + 1);
    if (const auto colon = key.value.rfind(':'); colon != std::string::npos) {
        key.interpolation = ParseInterpolation(source, key.value.substr(colon + 1));
        key.value.resize(colon);
    }
    pending_.push_back(std::move(key));
}

void Animation::AddKeyFile(const std::filesystem::path& path, const KeyTextOptions& text_options) {
    const std::string file = path.string();
    const frames::Message too_big = setting::keys + " " + file + ": more than a key file may hold (" +
                                    std::to_string(kMaxKeyFileSize >> 20) + " MiB)";
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ShotError(setting::keys + ": cannot read " + file);
    std::string content;
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) {
        const std::uintmax_t size = std::filesystem::file_size(path, error);
        if (error) throw ShotError(setting::keys + ": cannot read " + file + ": " + error.message());
        if (size > kMaxKeyFileSize) throw ShotError(too_big);
        content.resize(std::size_t(size));
        in.read(content.data(), std::streamsize(size));
        if (in.bad() || std::uintmax_t(in.gcount()) != size) throw ShotError(setting::keys + ": cannot read " + file);
    } else {
        // A pipe (--keys <(...)): read to its end, within the same limit.
        char chunk[1 << 16];
        while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
            content.append(chunk, std::size_t(in.gcount()));
            if (content.size() > kMaxKeyFileSize) throw ShotError(too_big);
        }
        if (in.bad()) throw ShotError(setting::keys + ": cannot read " + file);
    }
    AddKeyContent(file, content, text_options);
}

void Animation::AddKeyContent(const std::string& file, std::string_view content, const KeyTextOptions& text_options) {
    if (LooksLikeKeyText(content)) {
        AddKeyText(file, content, text_options);
    } else {
        AddJson(file, content);
    }
}

void Animation::AddJson(const std::string& file, std::string_view content) {
    if (content.size() > kMaxJsonKeyFileSize) {
        throw ShotError(setting::keys + " " + file + ": " + std::to_string(content.size()) +
                        " bytes is more than a JSON key file may hold (" + std::to_string(kMaxJsonKeyFileSize >> 20) +
                        " MiB; keyframe text may hold more)");
    }
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(content);
    } catch (const nlohmann::json::parse_error& e) {
        throw ShotError(NotJsonText(file, content, e.byte));
    } catch (const nlohmann::json::exception&) {
        throw ShotError(NotJsonText(file, content, 0));
    }
    if (!doc.is_object()) {
        throw ShotError(setting::keys + " " + file + ": expected an object of key lists by control name");
    }
    for (const auto& [name, list] : doc.items()) {
        const frames::Message where = setting::keys + " " + file + ": " + Excerpt(name);
        if (FindName(name) == nullptr) {
            throw ShotError(where + ": no control is called '" + Excerpt(name) + "' (known: " + KnownNames() + ")");
        }
        if (!list.is_array()) throw ShotError(where + ": expected a list of keys");
        for (std::size_t i = 0; i < list.size(); ++i) {
            const nlohmann::json& k = list[i];
            const frames::Message source = where + "[" + std::to_string(i) + "]";
            if (!k.is_object()) throw ShotError(source + ": expected {\"frame\": F, \"value\": V}");
            for (const auto& [field, ignored] : k.items()) {
                if (field != "frame" && field != "value" && field != "interpolation") {
                    throw ShotError(source + ": unknown field '" + Excerpt(field) + "'");
                }
            }
            if (!k.contains("frame") || !k["frame"].is_number()) throw ShotError(source + ": needs a number \"frame\"");
            PendingKey key;
            key.source = source;
            key.name = name;
            key.frame = k["frame"].get<double>();
            const nlohmann::json& v = k.contains("value") ? k["value"] : nlohmann::json();
            if (v.is_number()) {
                key.value = NumberText(v.get<double>());
            } else if (v.is_array() && v.size() == 2 && v[0].is_number() && v[1].is_number()) {
                key.value = NumberText(v[0].get<double>()) + "," + NumberText(v[1].get<double>());
            } else {
                throw ShotError(source + ": \"value\" must be a number or [X, Y]");
            }
            if (k.contains("interpolation")) {
                if (!k["interpolation"].is_string()) throw ShotError(source + ": \"interpolation\" must be a string");
                key.interpolation = ParseInterpolation(source, k["interpolation"].get<std::string>());
            }
            pending_.push_back(std::move(key));
        }
    }
}

std::vector<std::string> Animation::KeyedNames() const {
    std::vector<std::string> names;
    for (const auto& [name, track] : tracks_) names.push_back(name);
    return names;
}

namespace {

/// Where a key came from, for messages: an option or a JSON entry whole,
/// or a file and the line of its row.
struct KeySource {
    const frames::Message* entry = nullptr;  ///< an option or an entry
    const std::string* file = nullptr;       ///< else keyframe text
    int line = 0;                            ///< a row of keyframe text; 0 for an option or an entry
    bool typed = false;                      ///< a typed key

    frames::Message Text() const {
        if (entry != nullptr) return *entry;
        return line ? *file + ":" + std::to_string(line) : *file;
    }
};

/// Values of key files outside their controls' ranges, clamped as the host
/// clamps pasted keys: how many, and the farthest below and above.
class ClampedValues {
public:
    void Add(double value, const sim::ParamRange& range, const frames::Message& where) {
        ++count_;
        const Extreme seen{value, where + ", " + range.Text()};
        if (value > range.max) {
            if (highest_.where.empty() || value > highest_.value) highest_ = seen;
        } else if (lowest_.where.empty() || value < lowest_.value) {
            lowest_ = seen;  // below the range, or not a number
        }
    }
    /// One line, or empty when nothing was clamped.
    frames::Message Note() const {
        if (count_ == 0) return {};
        frames::Message note = "clamped " + std::to_string(count_) + " key value" + (count_ == 1 ? "" : "s") +
                               " of key files to their controls' ranges, as the host clamps pasted keys:";
        if (!lowest_.where.empty()) note += " lowest " + NumberText(lowest_.value) + " (" + lowest_.where + ")";
        if (!highest_.where.empty()) {
            note += std::string(lowest_.where.empty() ? "" : ";") + " highest " + NumberText(highest_.value) + " (" +
                    highest_.where + ")";
        }
        return note;
    }

private:
    struct Extreme {
        double value = 0;
        frames::Message where;
    };
    int count_ = 0;
    Extreme lowest_, highest_;
};

/// The index of the control a key names, checked once for each option,
/// entry or block: it must be registered and able to vary in time.
int KeyableIndex(const sim::ParamSet& params, const std::string& name, const KeySource& source) {
    const ControlName& control = *FindName(name);
    const int index = params.IndexOfId(control.id);
    if (index < 0) throw ShotError(source.Text() + ": the module registered no " + name + " control");
    const PF_ParamDef& def = params[index];
    if (def.flags & PF_ParamFlag_CANNOT_TIME_VARY) {
        throw ShotError(source.Text() + ": " + def.name +
                        " cannot vary in time (the module registers it so); set it once with " + frames::Mention(name));
    }
    switch (def.param_type) {
        case PF_Param_POINT:
        case PF_Param_FLOAT_SLIDER:
        case PF_Param_ANGLE:
        case PF_Param_FIX_SLIDER:
            break;
        default:
            throw ShotError(source.Text() + ": this host cannot key a control of type " +
                            std::to_string(def.param_type));
    }
    return index;
}

/// The key as its control `def` takes it. A value typed as an option is
/// refused outside the control's range, as the control refuses it; one from
/// a file is clamped, as pasted.
Keyframe CheckedKey(const std::string& name, const PF_ParamDef& def, bool fixed, Keyframe key, const KeySource& source,
                    ClampedValues& clamped) {
    if (const std::optional<sim::ParamRange> range = sim::RangeOf(def); range && !range->Holds(key.value[0])) {
        if (source.typed) {
            throw ShotError(source.Text() + ": " + NumberText(key.value[0]) + " is outside " + def.name + "'s range, " +
                            range->Text());
        }
        clamped.Add(key.value[0], *range, source.Text() + ", " + def.name);
        key.value = {range->Clamp(key.value[0])};
    }
    // Keys live on the frames a shot can render; one far beyond them
    // could only be baked into rows without end.
    if (!(std::fabs(key.frame) < kMaxKeyFrame)) {
        throw ShotError(source.Text() + ": frame " + NumberText(key.frame) +
                        " is beyond the frames a shot can render (-2147483648 to 2147483647)");
    }
    if (fixed) {
        for (double v : key.value) {
            if (!CheckedFixedFromDoubleNearestTiesEven(v)) ToFixed("key " + name, v);  // throws, naming the key
        }
    }
    return key;
}

/// Puts a control's keys (given in `from`'s order) in order of frames, with
/// no two keys at one frame: of two, the later given is named. But a --key
/// on a frame where keyframe text has a row takes the row's place, noted:
/// baked data (an eased animation or a track written a row a frame) has a
/// row on every frame, and a value set on one of them, such as a drag's,
/// could not be added otherwise.
void OrderKeys(const std::string& name, std::vector<Keyframe>& keys, const std::vector<KeySource>& from,
               std::vector<frames::Message>& notes) {
    auto by_frame = [&](std::size_t a, std::size_t b) { return keys[a].frame < keys[b].frame; };
    std::vector<std::uint32_t> order;
    const bool sorted = std::is_sorted(keys.begin(), keys.end(),
                                       [](const Keyframe& a, const Keyframe& b) { return a.frame < b.frame; });
    if (!sorted) {
        order.resize(keys.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = std::uint32_t(i);
        std::stable_sort(order.begin(), order.end(), by_frame);
    }
    auto at = [&](std::size_t i) { return sorted ? i : std::size_t(order[i]); };
    // By the keys' order as given: options and entries come before
    // every row, so among keys at one frame an option is first.
    std::vector<bool> replaced;
    for (std::size_t i = 1; i < keys.size(); ++i) {
        if (keys[at(i)].frame != keys[at(i - 1)].frame) continue;
        const KeySource& earlier = from[at(i - 1)];
        const KeySource& row = from[at(i)];
        if (!earlier.typed || row.line == 0) {
            throw ShotError(row.Text() + ": " + name + " already has a key at frame " + NumberText(keys[at(i)].frame));
        }
        if (replaced.empty()) replaced.resize(keys.size());
        replaced[at(i)] = true;
        notes.push_back(earlier.Text() + " replaces the row at frame " + NumberText(keys[at(i)].frame) +
                        " of keyframe text (" + row.Text() + ")");
    }
    if (!sorted || !replaced.empty()) {
        std::vector<Keyframe> ordered;
        ordered.reserve(keys.size());
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (replaced.empty() || !replaced[at(i)]) ordered.push_back(keys[at(i)]);
        }
        keys = std::move(ordered);
    }
}

}  // namespace

void Animation::Resolve(const sim::ParamSet& params, const std::string& effect_name) {
    tracks_.clear();
    spans_.clear();
    notes_.clear();
    transform_.reset();
    for (const TextFile& text : texts_) notes_.insert(notes_.end(), text.notes.begin(), text.notes.end());
    // Where each track's keys came from, key by key, until they are checked.
    std::map<std::string, std::vector<KeySource>> sources;

    auto track_of = [&](const std::string& name, const KeySource& source) -> Track& {
        const int index = KeyableIndex(params, name, source);
        Track& track = tracks_[name];
        track.id = FindName(name)->id;
        track.fixed = IsFixedType(params[index].param_type);
        return track;
    };
    ClampedValues clamped;
    auto add = [&](const std::string& name, Track& track, std::vector<KeySource>& track_sources, const Keyframe& key,
                   const KeySource& source) {
        const PF_ParamDef& def = params[params.IndexOfId(track.id)];
        track.keys.push_back(CheckedKey(name, def, track.fixed, key, source, clamped));
        track_sources.push_back(source);
    };

    for (const PendingKey& pending : pending_) {
        const KeySource source{&pending.source, nullptr, 0, pending.typed};
        Track& track = track_of(pending.name, source);
        Keyframe key;
        key.frame = pending.frame;
        key.interpolation = pending.interpolation;
        if (params[params.IndexOfId(track.id)].param_type == PF_Param_POINT) {
            const auto [x, y] = ParsePair("key " + pending.name, pending.value);
            key.value = {x, y};
        } else {
            key.value = {ParseNumber("key " + pending.name, pending.value)};
        }
        add(pending.name, track, sources[pending.name], key, source);
    }
    for (const TextFile& text : texts_) {
        for (const TextTrack& t : TracksOfText(text, params, effect_name)) {
            const KeyTextBlock& block = *t.block;
            const std::string name = ControlNameAt(params, t.index);
            Track& track =
                track_of(name, {nullptr, &text.file, block.rows.empty() ? block.line : block.rows.front().line});
            const bool point = params[t.index].param_type == PF_Param_POINT;
            std::vector<KeySource>& track_sources = sources[name];
            track.keys.reserve(track.keys.size() + block.rows.size());
            track_sources.reserve(track_sources.size() + block.rows.size());
            for (std::size_t r = 0; r < block.rows.size(); ++r) {
                const std::span<const double> v = block.ValuesOf(r);
                Keyframe key;
                key.frame = block.rows[r].frame;
                key.value = point ? KeyValue{v[0] + t.dx, v[1] + t.dy} : KeyValue{v[0]};
                add(name, track, track_sources, key, {nullptr, &text.file, block.rows[r].line});
            }
        }
    }

    if (frames::Message note = clamped.Note(); !note.empty()) notes_.push_back(std::move(note));
    for (auto& [name, track] : tracks_) OrderKeys(name, track.keys, sources[name], notes_);
}

LayerTransform Animation::TransformTrack::At(double frame) const {
    LayerTransform t;
    if (!anchor.empty()) std::tie(t.anchor_x, t.anchor_y) = Evaluate2(anchor, frame);
    if (!position.empty()) std::tie(t.position_x, t.position_y) = Evaluate2(position, frame);
    if (!scale.empty()) std::tie(t.scale_x, t.scale_y) = Evaluate2(scale, frame);
    if (!rotation.empty()) t.rotation = Evaluate(rotation, frame)[0];
    return t;
}

namespace {

/// The matte's controls (origin, width, height, angle, feather), as
/// geometry and back; a control the module did not register is left alone.
struct MatteControls {
    PF_ParamDef* origin;
    PF_ParamDef* width;
    PF_ParamDef* height;
    PF_ParamDef* angle;
    PF_ParamDef* feather;

    explicit MatteControls(sim::ParamSet& params)
        : origin(Find(params, kIdOrigin)),
          width(Find(params, kIdWidth)),
          height(Find(params, kIdHeight)),
          angle(Find(params, kIdAngle)),
          feather(Find(params, kIdFeather)) {}

    MatteGeometry Read() const {
        MatteGeometry m;
        if (origin) m.x = DoubleFromFixed(origin->u.td.x_value), m.y = DoubleFromFixed(origin->u.td.y_value);
        if (width) m.width = width->u.fs_d.value;
        if (height) m.height = height->u.fs_d.value;
        if (angle) m.angle = DoubleFromFixed(angle->u.ad.value);
        if (feather) m.feather = feather->u.fs_d.value;
        return m;
    }
    void Write(const MatteGeometry& m) const {
        if (origin) frames::SetPoint(*origin, m.x, m.y);
        if (width) width->u.fs_d.value = sim::RangeOf(*width)->Clamp(m.width);
        if (height) height->u.fs_d.value = sim::RangeOf(*height)->Clamp(m.height);
        if (angle) frames::SetAngle(*angle, m.angle);
        if (feather) feather->u.fs_d.value = sim::RangeOf(*feather)->Clamp(m.feather);
    }

    /// The control of that id when it has the type the matte's geometry needs.
    static PF_ParamDef* Find(sim::ParamSet& params, A_long id) {
        const int index = params.IndexOfId(id);
        if (index < 0) return nullptr;
        PF_ParamDef& def = params[index];
        const PF_ParamType expected = id == kIdOrigin  ? PF_Param_POINT
                                      : id == kIdAngle ? PF_Param_ANGLE
                                                       : PF_Param_FLOAT_SLIDER;
        return def.param_type == expected ? &def : nullptr;
    }
};

}  // namespace

void Animation::Apply(double frame, sim::ParamSet& params) const {
    for (const auto& [name, track] : tracks_) {
        PF_ParamDef& def = params[params.IndexOfId(track.id)];
        const std::vector<double> v = Evaluate(track.keys, frame);
        // Interpolation never leaves the span of the keys, which Resolve
        // checked against the 16.16 range.
        switch (def.param_type) {
            case PF_Param_POINT:
                frames::SetPoint(def, v[0], v[1]);
                break;
            case PF_Param_FLOAT_SLIDER:
                def.u.fs_d.value = v[0];
                break;
            case PF_Param_ANGLE:
                frames::SetAngle(def, v[0]);
                break;
            case PF_Param_FIX_SLIDER:
                frames::SetFixedSlider(def, v[0]);
                break;
            default:
                break;
        }
    }
    if (transform_) {
        // Computed values, as an expression's: clamped to what the controls
        // hold rather than refused.
        const MatteControls matte(params);
        matte.Write(CarryMatte(matte.Read(), transform_->at_reference, transform_->At(frame)));
    }
}

const std::vector<Keyframe>& Animation::KeysOf(const std::string& name) const {
    static const std::vector<Keyframe> kNone;
    const auto it = tracks_.find(name);
    return it == tracks_.end() ? kNone : it->second.keys;
}

std::string DescribeAnimatable(const sim::ParamSet& params) {
    std::string out;
    for (int i = 1; i < params.size(); ++i) {
        const PF_ParamDef& def = params[i];
        if (def.flags & PF_ParamFlag_CANNOT_TIME_VARY) continue;
        std::string value;
        switch (def.param_type) {
            case PF_Param_POINT:
                value =
                    NumberText(DoubleFromFixed(def.u.td.x_value)) + "," + NumberText(DoubleFromFixed(def.u.td.y_value));
                break;
            case PF_Param_FLOAT_SLIDER:
                value = NumberText(def.u.fs_d.value);
                break;
            case PF_Param_ANGLE:
                value = NumberText(DoubleFromFixed(def.u.ad.value));
                break;
            case PF_Param_FIX_SLIDER:
                value = NumberText(DoubleFromFixed(def.u.fd.value));
                break;
            default:
                continue;
        }
        // The record's id field holds change flags by now; ParamSet keeps the ids.
        const std::string name = ControlNameAt(params, i);
        out += (out.empty() ? "" : " ") + (name.empty() ? std::string(def.name) : name) + "=" + value;
    }
    return out;
}

}  // namespace quorvel::shots
