// Keyframe text and the module's controls: which blocks of the hosts' data
// are this effect's, what their frames and units mean, and the way back.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <tuple>

#include "shots/FramePattern.h"
#include "shots/Keyframes.h"
#include "shots/SettingNames.h"
#include "shots/ShotError.h"
#include "shots/ValueText.h"

namespace quorvel::shots {

namespace {

/// Rates closer than this (relatively) are one rate: the data says 23.976
/// for 24000/1001 frames a second, some trackers 23.9759998321533.
constexpr double kSameRate = 1e-4;

/// The slowest clock a host keeps: a frame every 1000 seconds.
constexpr double kMinRate = 1e-3;

/// A row count beyond which writing eased keys out frame by frame is surely a mistake.
constexpr double kMaxBakedRows = 1e6;

/// "keys.txt:12", where messages point.
std::string Where(const std::string& file, int line) { return file + ":" + std::to_string(line); }

/// A column name split into its axis ('X', 'Y', 'Z' or none) and unit:
/// "X pixels", "percent", "degrees", "". Programs spell the words with
/// capitals or without ("Degrees", "x Pixels"): both are kept lower case.
struct Column {
    char axis = 0;
    std::string unit;
};

Column ParseColumn(const std::string& text) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    if (!lower.empty() && (lower[0] == 'x' || lower[0] == 'y' || lower[0] == 'z') &&
        (lower.size() == 1 || lower[1] == ' ')) {
        return {char(lower[0] - 'a' + 'A'), lower.size() > 2 ? lower.substr(2) : ""};
    }
    return {0, lower};
}

/// A block whose columns are X and Y (and Z) in pixels: a position or a
/// track. Sizes in percent, angles and unitless pairs are not points.
bool IsPointBlock(const KeyTextBlock& block) {
    if (block.columns.size() != 2 && block.columns.size() != 3) return false;
    for (std::size_t i = 0; i < block.columns.size(); ++i) {
        const Column c = ParseColumn(block.columns[i]);
        if (c.axis != "XYZ"[i] || c.unit != "pixels") return false;
    }
    return true;
}

/// The column line as the file has it, for messages.
std::string ColumnLineText(const KeyTextBlock& block) {
    std::string columns = "Frame";
    for (const std::string& c : block.columns) columns += "<TAB>" + c;
    return Excerpt(columns);
}

/// Whether the block's columns are X and Y (and Z), each in `unit` or
/// naming none.
bool HasAxes(const KeyTextBlock& block, const std::string& unit) {
    if (block.columns.size() != 2 && block.columns.size() != 3) return false;
    for (std::size_t i = 0; i < block.columns.size(); ++i) {
        const Column c = ParseColumn(block.columns[i]);
        if (c.axis != "XYZ"[i] || !(c.unit.empty() || c.unit == unit)) return false;
    }
    return true;
}

/// The frame of the earliest row of any usable block with frames, ours or not.
std::optional<double> EarliestFrame(const KeyText& text) {
    std::optional<double> first;
    for (const KeyTextBlock& block : text.blocks) {
        if (!block.usable() || block.constant || block.rows.empty()) continue;
        first = first ? std::min(*first, block.rows.front().frame) : block.rows.front().frame;
    }
    return first;
}

/// "Width #4" names the control "Width" at the host's index 4.
std::string WithoutIndex(const std::string& name) {
    const auto hash = name.rfind(" #");
    if (hash == std::string::npos || hash + 2 == name.size()) return name;
    for (std::size_t i = hash + 2; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return name;
    }
    return name.substr(0, hash);
}

/// The point track to follow among several, by the name of its property:
/// the point tracker's Attach Point (what the host itself applies to a
/// target), else its Feature Center, else a Position. Null when no name
/// decides between them; with the reason for people otherwise.
std::pair<const KeyTextBlock*, std::string> ChooseTrack(const std::vector<const KeyTextBlock*>& points) {
    if (points.size() == 1) return {points.front(), ""};
    for (const char* name : {"Attach Point", "Feature Center", "Position"}) {
        const KeyTextBlock* found = nullptr;
        int count = 0;
        for (const KeyTextBlock* b : points) {
            if (WithoutIndex(b->path.back()) == name) {
                found = b;
                ++count;
            }
        }
        if (count == 1)
            return {found, std::string("the ") + name + " among " + std::to_string(points.size()) + " point tracks"};
        if (count > 1) return {nullptr, ""};
    }
    return {nullptr, ""};
}

/// The properties of a layer's transform that --track transform reads, in
/// the order of LayerTransform's terms.
enum TransformPart { kAnchorPoint, kPosition, kScale, kRotation, kTransformParts };
constexpr const char* kTransformNames[kTransformParts] = {"Anchor Point", "Position", "Scale", "Rotation"};

/// Which transform property a block is: a bare name, as planar trackers
/// export them, or one under Transform, as the host copies a layer's; -1
/// for any other block.
int TransformPartOf(const KeyTextBlock& block) {
    if (block.path.empty() || block.path.size() > 2) return -1;
    if (block.path.size() == 2 && block.path[0] != "Transform") return -1;
    const std::string name = WithoutIndex(block.path.back());
    for (int part = 0; part < kTransformParts; ++part) {
        if (name == kTransformNames[part]) return part;
    }
    return -1;
}

/// The data's rate, checked here rather than where the header is read: a
/// header entry nothing uses is not checked at all.
double ReadRate(const std::string& file, const KeyTextHeaderLine& units) {
    const std::optional<double> read = ReadDecimal(units.value);
    if (!read || *read <= 0) {
        throw ShotError(Where(file, units.line) + ": expected a positive number after 'Units Per Second'");
    }
    const double rate = *read;
    if (rate < kMinRate) {
        throw ShotError(Where(file, units.line) + ": Units Per Second " + Excerpt(units.value) +
                        " is not a rate a host can use (at least " + NumberText(kMinRate) + " frames a second)");
    }
    return rate;
}

/// The unit the host shows a control's values in: the origin's coordinates
/// and the sliders' sizes are layer pixels, the angle degrees, and a fixed
/// slider shown with a percent sign percent.
std::string UnitOf(const PF_ParamDef& def) {
    switch (def.param_type) {
        case PF_Param_POINT:
        case PF_Param_FLOAT_SLIDER:
            return "pixels";
        case PF_Param_ANGLE:
            return "degrees";
        case PF_Param_FIX_SLIDER:
            return (def.u.fd.display_flags & PF_ValueDisplayFlag_PERCENT) ? "percent" : "";
        default:
            return "";
    }
}

std::vector<std::string> ColumnsOf(const PF_ParamDef& def) {
    const std::string unit = UnitOf(def);
    if (def.param_type == PF_Param_POINT) return {"X " + unit, "Y " + unit};
    return {unit};
}

/// Checks that the block's columns hold what the control takes, in its
/// unit; a column without a unit is taken as the control's.
void CheckColumns(const std::string& file, const KeyTextBlock& block, const PF_ParamDef& def) {
    const std::string unit = UnitOf(def);
    const bool point = def.param_type == PF_Param_POINT;
    bool fits = point ? block.columns.size() == 2 || block.columns.size() == 3 : block.columns.size() == 1;
    for (std::size_t i = 0; fits && i < block.columns.size(); ++i) {
        const Column c = ParseColumn(block.columns[i]);
        fits = c.axis == (point ? "XYZ"[i] : 0) && (c.unit.empty() || c.unit == unit);
    }
    if (fits) return;
    const std::string takes = point ? "X and Y in " + unit : "one value" + (unit.empty() ? "" : " in " + unit);
    throw ShotError(Where(file, block.line + 1) + ": " + def.name + " takes " + takes + ", but the column line says '" +
                    ColumnLineText(block) + "'");
}

/// The index of the control registered as `name`, or -1.
int IndexOfRegisteredName(const sim::ParamSet& params, const std::string& name) {
    for (int i = 1; i < params.size(); ++i) {
        if (name == params[i].name) return i;
    }
    return -1;
}

std::string RegisteredNames(const sim::ParamSet& params) {
    std::string names;
    for (int i = 1; i < params.size(); ++i) names += (i > 1 ? ", " : "") + std::string(params[i].name);
    return names;
}

std::string BlockList(const std::vector<const KeyTextBlock*>& blocks) {
    std::string list;
    for (const KeyTextBlock* b : blocks) {
        list += (list.empty() ? "" : "; ") + Excerpt(b->PathText()) + " (line " + std::to_string(b->line) + ")";
    }
    return list;
}

/// "23.976" for 24000/1001: the host's own rounding of the rate.
std::string RateText(const FrameRate& rate) { return NumberText(std::round(rate.FramesPerSecond() * 1000.0) / 1000.0); }

/// The track options that make sense only together, refused before the
/// file is looked at.
void CheckTrackOptions(const KeyTextOptions& options, bool transform) {
    if (options.track_reference && !transform) {
        throw ShotError(setting::track_reference + " applies to " + setting::track + " transform",
                        frames::ErrorKind::setting);
    }
    if (transform && (options.track_block || options.track_offset)) {
        throw ShotError((options.track_block ? setting::track_block : setting::track_offset) +
                            " applies to a point track, not to " + setting::track + " transform",
                        frames::ErrorKind::setting);
    }
}

/// A block of this effect's controls: "Effects / Quorvel #1 / Width".
bool IsOurs(const KeyTextBlock& block, const std::string& effect_name) {
    return block.path.size() == 3 && block.path[0] == "Effects" && !effect_name.empty() &&
           WithoutIndex(block.path[1]) == effect_name;
}

/// The layer whose blocks are read (--track-layer), or -1 for every block
/// when the text has one layer with blocks this command can use, or none:
/// several such layers must be chosen between, not merged.
int TrackedLayer(const std::string& file, const KeyText& text, const KeyTextOptions& options,
                 const std::string& effect_name, bool transform) {
    if (options.track_layer) {
        if (*options.track_layer < 1 || *options.track_layer > text.layers) {
            throw ShotError(
                setting::track_layer + " " + std::to_string(*options.track_layer) + ": " + file + " has " +
                    (text.layers == 0 ? std::string("no Layer lines")
                                      : std::to_string(text.layers) + " layer" + (text.layers == 1 ? "" : "s")),
                frames::ErrorKind::setting);
        }
        return *options.track_layer;
    }
    // What each layer holds that this command can use: this effect's blocks,
    // point tracks, and with --track transform the layer's transform.
    auto usable_here = [&](const KeyTextBlock& block) {
        return block.usable() &&
               (IsOurs(block, effect_name) || IsPointBlock(block) || (transform && TransformPartOf(block) >= 0));
    };
    std::map<int, std::vector<const KeyTextBlock*>> by_layer;
    for (const KeyTextBlock& block : text.blocks) {
        if (usable_here(block)) by_layer[block.layer].push_back(&block);
    }
    if (by_layer.size() > 1) {
        std::string layers;
        for (const auto& [number, blocks] : by_layer) {
            layers += (layers.empty() ? "" : "; ") +
                      (number == 0 ? std::string("before the first Layer line") : "layer " + std::to_string(number)) +
                      ": " + BlockList(blocks);
        }
        throw ShotError(file + " holds blocks for this effect or point tracks in " + std::to_string(by_layer.size()) +
                        " layers; choose one with " + setting::track_layer + ": " + layers);
    }
    return -1;
}

/// The text's blocks sorted by what they are to the command.
struct LayerBlocks {
    std::map<int, const KeyTextBlock*> ours;  ///< an instance of this effect's, by control index
    std::vector<const KeyTextBlock*> points;
    std::vector<const KeyTextBlock*> others;
    std::vector<const KeyTextBlock*> in_layer;  ///< the layer's blocks not of this effect
};

/// Sorts the blocks of `layer` (-1: all), checking this effect's: each is
/// used, so it must be sound, of one instance, and for one control the
/// module registers, once.
LayerBlocks SortBlocks(const std::string& file, const KeyText& text, const sim::ParamSet& params,
                       const std::string& effect_name, int layer) {
    LayerBlocks sorted;
    std::string instance;
    for (const KeyTextBlock& block : text.blocks) {
        if (layer >= 0 && block.layer != layer) {
            sorted.others.push_back(&block);
            continue;
        }
        if (!IsOurs(block, effect_name) || block.expression) {
            sorted.in_layer.push_back(&block);
            (block.usable() && IsPointBlock(block) ? sorted.points : sorted.others).push_back(&block);
            continue;
        }
        if (!block.fault.empty()) throw ShotError(block.fault);
        if (!instance.empty() && block.path[1] != instance) {
            throw ShotError(Where(file, block.line) + ": holds keys for two instances of the effect, '" +
                            Excerpt(instance) + "' and '" + Excerpt(block.path[1]) + "': keep one instance's");
        }
        instance = block.path[1];
        const int index = IndexOfRegisteredName(params, WithoutIndex(block.path[2]));
        if (index < 0) {
            throw ShotError(Where(file, block.line) + ": " + effect_name + " has no control called '" +
                            Excerpt(WithoutIndex(block.path[2])) + "' (it registers " + RegisteredNames(params) + ")");
        }
        if (const auto seen = sorted.ours.find(index); seen != sorted.ours.end()) {
            throw ShotError(Where(file, block.line) + ": a second block for " + params[index].name +
                            " (the first is at line " + std::to_string(seen->second->line) + ")");
        }
        sorted.ours[index] = &block;
    }
    return sorted;
}

/// Checks that the block can drive the control at `index`: one the host can
/// key, with columns in its unit unless it cannot vary in time.
void CheckKeyable(const std::string& file, const KeyTextBlock& block, const sim::ParamSet& params, int index) {
    const PF_ParamDef& def = params[index];
    if (ControlNameAt(params, index).empty()) {
        throw ShotError(Where(file, block.line) + ": this host cannot key " + def.name);
    }
    if (!(def.flags & PF_ParamFlag_CANNOT_TIME_VARY)) CheckColumns(file, block, def);
}

/// The point track --track-block names, or the one ChooseTrack settles on
/// with its reason; null when there is none.
std::pair<const KeyTextBlock*, std::string> PickPointTrack(const KeyTextOptions& options,
                                                           const std::vector<const KeyTextBlock*>& points) {
    if (!options.track_block) return ChooseTrack(points);
    const KeyTextBlock* chosen = nullptr;
    for (const KeyTextBlock* b : points) {
        if (b->PathText() == *options.track_block) chosen = b;
    }
    return {chosen, ""};
}

/// The control a point track drives: the one --track names, or on its own
/// the first point control when the file holds no blocks of this effect and
/// one track was chosen.
std::optional<std::string> TrackTarget(const KeyTextOptions& options, bool transform, bool no_ours,
                                       const KeyTextBlock* chosen, const sim::ParamSet& params) {
    std::optional<std::string> target = transform ? std::nullopt : options.track;
    if (!transform && !target && no_ours && chosen != nullptr) {
        for (int i = 1; i < params.size() && !target; ++i) {
            if (params[i].param_type == PF_Param_POINT) target = ControlNameAt(params, i);
        }
    }
    return target;
}

/// Why no point track drives `target`: the fault of one the command would
/// have used but for its rows (what the user needs to see), else what the
/// file has instead.
[[noreturn]] void ThrowNoPointTrack(const std::string& file, const std::string& target, const LayerBlocks& blocks,
                                    int layer) {
    if (blocks.points.empty()) {
        for (const KeyTextBlock* b : blocks.others) {
            if (!b->fault.empty() && !b->expression && IsPointBlock(*b) && (layer < 0 || b->layer == layer)) {
                throw ShotError(b->fault + " (in " + Excerpt(b->PathText()) + ", the point track to drive " + target +
                                ")");
            }
        }
        throw ShotError(file + ": no point track (a block with X and Y columns in pixels) to drive " + target +
                        (blocks.others.empty() ? "" : " (the file has " + BlockList(blocks.others) + ")"));
    }
    throw ShotError(file + " has " + std::to_string(blocks.points.size()) + " point tracks; choose one with " +
                    setting::track_block + ": " + BlockList(blocks.points));
}

/// The index of the point control `target` names, checked: a point control
/// the file does not key itself, and a track to drive it.
int TargetIndex(const std::string& file, const std::string& target, const sim::ParamSet& params,
                const KeyTextOptions& options, const LayerBlocks& blocks, const KeyTextBlock* chosen, int layer) {
    const int index = params.IndexOfId(ControlIdOfName(target));
    if (index < 0 || params[index].param_type != PF_Param_POINT) {
        throw ShotError(setting::track + " " + Excerpt(target) +
                            ": a point track drives a point control, such as origin; " + setting::track +
                            " transform carries the whole matte",
                        frames::ErrorKind::setting);
    }
    if (const auto own = blocks.ours.find(index); own != blocks.ours.end()) {
        throw ShotError(Where(file, own->second->line) + ": holds keys for " + params[index].name + " itself, which " +
                        setting::track + " " + target + " would also drive");
    }
    if (options.track_block && !chosen) {
        throw ShotError(
            setting::track_block + " '" + Excerpt(*options.track_block) + "': " + file +
                (blocks.points.empty() ? " has no point track" : " has the point tracks " + BlockList(blocks.points)),
            frames::ErrorKind::setting);
    }
    if (!chosen) ThrowNoPointTrack(file, target, blocks, layer);
    return index;
}

/// A layer's transform blocks, by TransformPart; null for a part it lacks.
using TransformBlocks = std::array<const KeyTextBlock*, kTransformParts>;

/// The transform's blocks among `candidates`, refused when one part has
/// two blocks (two layers' transforms) or when there is none at all.
TransformBlocks FindTransformBlocks(const std::string& file, const std::vector<const KeyTextBlock*>& candidates) {
    TransformBlocks found{};
    for (const KeyTextBlock* block : candidates) {
        const int part = TransformPartOf(*block);
        if (part < 0 || block->expression) continue;
        if (found[part] != nullptr) {
            throw ShotError(Where(file, block->line) + ": a second " + kTransformNames[part] +
                            " block (the first is at line " + std::to_string(found[part]->line) + "); " +
                            setting::track + " transform follows one layer's transform");
        }
        found[part] = block;
    }
    if (std::all_of(found.begin(), found.end(), [](const KeyTextBlock* b) { return b == nullptr; })) {
        throw ShotError(file + ": " + setting::track +
                        " transform found no Anchor Point, Position, Scale or Rotation block" +
                        (candidates.empty() ? "" : " (the file has " + BlockList(candidates) + ")"));
    }
    return found;
}

/// Checks a transform block that is used, so it must be sound: its rows
/// read, and its columns what the property holds, in its unit or none.
void CheckTransformBlock(const std::string& file, const KeyTextBlock& block, int part) {
    if (!block.fault.empty()) throw ShotError(block.fault);
    const Column first = ParseColumn(block.columns.front());
    const bool fits = part == kRotation ? block.columns.size() == 1 && first.axis == 0 &&
                                              (first.unit.empty() || first.unit == "degrees")
                                        : HasAxes(block, part == kScale ? "percent" : "pixels");
    if (fits) return;
    const char* takes = part == kRotation ? "one value in degrees"
                        : part == kScale  ? "X and Y in percent"
                                          : "X and Y in pixels";
    throw ShotError(Where(file, block.line + 1) + ": " + kTransformNames[part] + " takes " + takes +
                    ", but the column line says '" + ColumnLineText(block) + "'");
}

/// The block's rows as keys of the property: the rotation one value, the
/// others X and Y (a Z column is not read).
std::vector<Keyframe> TransformKeys(const KeyTextBlock& block, int part) {
    std::vector<Keyframe> keys;
    keys.reserve(block.rows.size());
    for (std::size_t r = 0; r < block.rows.size(); ++r) {
        const std::span<const double> v = block.ValuesOf(r);
        Keyframe key;
        key.frame = block.rows[r].frame;
        key.value = part == kRotation ? KeyValue{v[0]} : KeyValue{v[0], v[1]};
        keys.push_back(key);
    }
    return keys;
}

/// The first and last frames the blocks' rows span; none when no block
/// has rows with frames.
std::optional<std::pair<double, double>> FramesSpanned(const std::vector<const KeyTextBlock*>& blocks) {
    std::optional<std::pair<double, double>> span;
    for (const KeyTextBlock* block : blocks) {
        // A block whose every row was skipped holds no frames to span.
        if (block->constant || block->rows.empty()) continue;
        if (!span) span = std::pair(block->rows.front().frame, block->rows.back().frame);
        span->first = std::min(span->first, block->rows.front().frame);
        span->second = std::max(span->second, block->rows.back().frame);
    }
    return span;
}

/// A matte drawn at a reference frame where the layer's scale is zero has
/// no size to follow the layer from.
void CheckReferenceScale(const std::string& file, const LayerTransform& at_reference, double reference) {
    if (at_reference.scale_x == 0 || at_reference.scale_y == 0) {
        throw ShotError(file + ": the layer's Scale is " + NumberText(at_reference.scale_x) + "," +
                        NumberText(at_reference.scale_y) + " percent at the reference frame " + NumberText(reference) +
                        ", where a matte has nothing to follow; choose another with " + setting::track_reference);
    }
}

/// The blocks nothing drives a control with, in the file's order.
std::vector<const KeyTextBlock*> SkippedBlocks(LayerBlocks&& blocks) {
    std::vector<const KeyTextBlock*> skipped = std::move(blocks.others);
    skipped.insert(skipped.end(), blocks.points.begin(), blocks.points.end());
    std::sort(skipped.begin(), skipped.end(),
              [](const KeyTextBlock* a, const KeyTextBlock* b) { return a->line < b->line; });
    return skipped;
}

}  // namespace

std::string EffectDisplayName(const modulefiles::Descriptor& descriptor) {
    if (auto name = descriptor.PascalString("name")) return *name;
    if (auto name = descriptor.PascalString("eMNA")) return *name;
    throw ShotError("the module's descriptor gives the effect no name");
}

void Animation::AddKeyText(const std::string& file, std::string_view content, const KeyTextOptions& options) {
    KeyText text = ParseKeyText(content, file);
    std::vector<frames::Message> notes;
    double scale = 1.0;
    if (const KeyTextHeaderLine* units = text.Find("Units Per Second")) {
        const double data_rate = ReadRate(file, *units);
        const double rate = options.rate.FramesPerSecond();
        if (!options.keep_data_clock && std::abs(data_rate / rate - 1.0) > kSameRate) {
            if (options.strict_timing) {
                throw ShotError(Where(file, units->line) + ": the data runs at " + Excerpt(units->value) +
                                " frames/s and the render at " + RateText(options.rate) + " (" + setting::rate + "); " +
                                setting::strict_timing + " refuses to convert it");
            }
            scale = rate / data_rate;
            notes.push_back(Where(file, units->line) + ": the data runs at " + Excerpt(units->value) +
                            " frames/s and the render at " + RateText(options.rate) + " (" + setting::rate +
                            "): its frames are converted by time");
        }
    }
    // Frames count from the earliest row of any block with frames, ours or not.
    const std::optional<double> first = EarliestFrame(text);
    for (KeyTextBlock& block : text.blocks) {
        if (!block.usable() || block.constant) continue;
        for (KeyTextRow& row : block.rows) {
            row.frame = options.start ? *options.start + (row.frame - *first) * scale : row.frame * scale;
        }
    }
    if (options.start && first) {
        notes.push_back(file + ": its first frame, " + NumberText(*first) + ", lands on frame " +
                        NumberText(*options.start) +
                        (options.start_why.empty() ? frames::Message() : ", " + options.start_why));
    }
    texts_.push_back({file, std::move(text), options, std::move(notes)});
}

std::optional<double> Animation::DataRate() const {
    for (const TextFile& text : texts_) {
        if (const KeyTextHeaderLine* units = text.text.Find("Units Per Second")) return ReadRate(text.file, *units);
    }
    return std::nullopt;
}

std::optional<SourceAspect> Animation::SourcePixelAspect() const {
    for (const TextFile& text : texts_) {
        const KeyTextHeaderLine* aspect = text.text.Find("Source Pixel Aspect Ratio");
        if (aspect == nullptr) continue;
        const std::optional<double> ratio = ReadDecimal(aspect->value);
        if (!ratio || !(*ratio >= kMinPixelAspect && *ratio <= kMaxPixelAspect)) {
            throw ShotError(Where(text.file, aspect->line) + ": Source Pixel Aspect Ratio " + Excerpt(aspect->value) +
                            " is not a pixel aspect ratio (" + NumberText(kMinPixelAspect) + " to " +
                            NumberText(kMaxPixelAspect) + "); give " + setting::pixel_aspect_ratio);
        }
        return SourceAspect{*ratio, Where(text.file, aspect->line)};
    }
    return std::nullopt;
}

std::vector<Animation::TextTrack> Animation::TracksOfText(const TextFile& text, const sim::ParamSet& params,
                                                          const std::string& effect_name) {
    const std::string& file = text.file;
    const KeyTextOptions& options = text.options;
    const bool transform = options.track == kTrackTransform;
    CheckTrackOptions(options, transform);
    const int layer = TrackedLayer(file, text.text, options, effect_name, transform);
    LayerBlocks blocks = SortBlocks(file, text.text, params, effect_name, layer);

    std::vector<TextTrack> keys;
    for (const auto& [index, block] : blocks.ours) {
        CheckKeyable(file, *block, params, index);
        keys.push_back({block, index, 0, 0});
    }

    const auto [chosen, why] = PickPointTrack(options, blocks.points);
    if (transform) {
        for (const KeyTextBlock* used : TransformOfText(text, blocks.in_layer)) {
            blocks.points.erase(std::remove(blocks.points.begin(), blocks.points.end(), used), blocks.points.end());
            blocks.others.erase(std::remove(blocks.others.begin(), blocks.others.end(), used), blocks.others.end());
        }
    }
    const std::optional<std::string> target = TrackTarget(options, transform, blocks.ours.empty(), chosen, params);
    if (target) {
        const int index = TargetIndex(file, *target, params, options, blocks, chosen, layer);
        CheckKeyable(file, *chosen, params, index);
        keys.push_back({chosen, index, options.track_offset ? options.track_offset->first : 0.0,
                        options.track_offset ? options.track_offset->second : 0.0});
        if (!chosen->constant && !chosen->rows.empty()) {
            spans_.push_back(
                {file + ": the track " + Excerpt(chosen->PathText()) + " (line " + std::to_string(chosen->line) + ")",
                 chosen->rows.front().frame, chosen->rows.back().frame});
        }
        // Named when the file offered a choice the tool made.
        if (!why.empty()) {
            notes_.push_back(file + ": " + params[index].name + " follows " + Excerpt(chosen->PathText()) + " (line " +
                             std::to_string(chosen->line) + "), " + why);
        }
        blocks.points.erase(std::find(blocks.points.begin(), blocks.points.end(), chosen));
    } else if (options.track_offset || options.track_block) {
        throw ShotError((options.track_offset ? setting::track_offset : setting::track_block) + ": no point track of " +
                            file + " drives a control (add " + setting::track + " origin)",
                        frames::ErrorKind::setting);
    }
    const std::vector<const KeyTextBlock*> skipped = SkippedBlocks(std::move(blocks));
    if (keys.empty() && !transform) {
        throw ShotError(file + ": no block is for a control of " + effect_name +
                        (skipped.empty() ? "" : " (the file has " + BlockList(skipped) + ")"));
    }
    if (!skipped.empty()) {
        notes_.push_back(file + ": skipped " + std::to_string(skipped.size()) + " block" +
                         (skipped.size() == 1 ? "" : "s") + " not for this effect: " + BlockList(skipped));
    }
    return keys;
}

std::vector<const KeyTextBlock*> Animation::TransformOfText(const TextFile& text,
                                                            const std::vector<const KeyTextBlock*>& candidates) {
    const std::string& file = text.file;
    if (transform_) {
        throw ShotError(file + ": a second tracked transform; " + setting::track + " transform follows one layer");
    }
    const TransformBlocks found = FindTransformBlocks(file, candidates);

    // A tracker's export describes the tracked surface: bare paths, no
    // Layer lines. Its Anchor Point rows move with the surface (older
    // trackers write Position's rows there), and a layer transform about
    // that anchor would hold the matte still against the track, so the
    // surface carries the matte about its Position. Keyframe text copied
    // from a layer names the Transform group (or follows a Layer line): a
    // matte parented to that layer follows its anchor too.
    const bool surface = text.text.layers == 0 && std::all_of(found.begin(), found.end(), [](const KeyTextBlock* b) {
                             return b == nullptr || b->path.size() == 1;
                         });
    TransformTrack track;
    std::vector<const KeyTextBlock*> used;
    std::string named;
    std::string unused_anchor;
    for (int part = 0; part < kTransformParts; ++part) {
        const KeyTextBlock* block = found[part];
        if (block == nullptr) continue;
        if (surface && part == kAnchorPoint) {
            used.push_back(block);  // read and listed, not skipped
            unused_anchor = "; its Anchor Point (line " + std::to_string(block->line) + ") does not move the matte";
            continue;
        }
        CheckTransformBlock(file, *block, part);
        std::vector<Keyframe>& keys = part == kAnchorPoint ? track.anchor
                                      : part == kPosition  ? track.position
                                      : part == kScale     ? track.scale
                                                           : track.rotation;
        keys = TransformKeys(*block, part);
        used.push_back(block);
        named += (named.empty() ? "" : ", ") + std::string(kTransformNames[part]) + " (line " +
                 std::to_string(block->line) + ")";
    }

    if (const auto span = FramesSpanned(used)) {
        spans_.push_back({file + ": the tracked transform", span->first, span->second});
    }

    // Where the data's first row landed, unless told.
    track.reference = text.options.track_reference.value_or(EarliestFrame(text.text).value_or(0));
    track.at_reference = track.At(track.reference);
    CheckReferenceScale(file, track.at_reference, track.reference);
    notes_.push_back(file +
                     (surface ? ": a tracker's export: the matte follows the tracked surface about its Position"
                              : ": copied from a layer: the matte follows the layer's transform, anchor included") +
                     ", as drawn at frame " + NumberText(track.reference) + ": " + named + unused_anchor);
    transform_ = std::move(track);
    return used;
}

std::vector<std::string> Animation::FitNotes(int layer_width, int layer_height, const std::vector<int>& frames) const {
    std::vector<std::string> notes;
    for (const TextFile& text : texts_) {
        const KeyTextHeaderLine* width = text.text.Find("Source Width");
        const KeyTextHeaderLine* height = text.text.Find("Source Height");
        if (width == nullptr || height == nullptr) continue;
        const std::optional<double> w = ReadDecimal(width->value);
        const std::optional<double> h = ReadDecimal(height->value);
        if (!w || !h || (*w == layer_width && *h == layer_height)) continue;
        notes.push_back(Where(text.file, width->line) + ": the data was made on a " + Excerpt(width->value) + "x" +
                        Excerpt(height->value) + " source and the layer is " + std::to_string(layer_width) + "x" +
                        std::to_string(layer_height) + ": its pixel values are used as they are");
    }
    for (const TrackSpan& span : spans_) {
        std::vector<int> before, after;
        for (int frame : frames) {
            if (frame < span.first) before.push_back(frame);
            if (frame > span.last) after.push_back(frame);
        }
        if (before.empty() && after.empty()) continue;
        std::string held;
        if (!before.empty()) held = "frames " + FrameRangesText(before) + " hold its first value";
        if (!after.empty())
            held += (held.empty() ? "" : "; ") + ("frames " + FrameRangesText(after)) + " hold its last value";
        notes.push_back(span.what + " covers frames " + NumberText(span.first) + " to " + NumberText(span.last) +
                        " of the shot's " + FrameRangesText(frames) + ": " + held);
    }
    return notes;
}

KeyText AnimationKeyText(const Animation& animation, const sim::ParamSet& params, const KeyTextSettings& settings) {
    KeyText text;
    const std::string aspect = NumberText(settings.pixel_aspect);
    text.header = {{"Units Per Second", RateText(settings.rate), 0},
                   {"Source Width", std::to_string(settings.source_width), 0},
                   {"Source Height", std::to_string(settings.source_height), 0},
                   {"Source Pixel Aspect Ratio", aspect, 0},
                   {"Comp Pixel Aspect Ratio", aspect, 0}};
    std::vector<std::pair<int, std::string>> keyed;
    for (const std::string& name : animation.KeyedNames())
        keyed.push_back({params.IndexOfId(ControlIdOfName(name)), name});
    std::sort(keyed.begin(), keyed.end());
    for (const auto& [index, name] : keyed) {
        const PF_ParamDef& def = params[index];
        const std::vector<Keyframe>& keys = animation.KeysOf(name);
        KeyTextBlock block;
        block.path = {"Effects", settings.effect_name + " #1", std::string(def.name) + " #" + std::to_string(index)};
        block.columns = ColumnsOf(def);
        for (std::size_t i = 0; i < keys.size(); ++i) {
            const Keyframe& a = keys[i];
            block.AddRow(a.frame, a.value);
            if (i + 1 == keys.size()) break;
            const Keyframe& b = keys[i + 1];
            if (a.interpolation == Interpolation::Linear && b.interpolation != Interpolation::Ease) continue;
            // The host's rows run straight from one to the next: a curve
            // becomes a row at every whole frame, a hold a row at the last
            // whole frame before the jump.
            const double first = std::floor(a.frame) + 1;
            const double last = std::ceil(b.frame) - 1;
            if (a.interpolation == Interpolation::Hold) {
                if (last >= first) block.AddRow(last, a.value);
                continue;
            }
            if (last - first > kMaxBakedRows) {
                throw ShotError(name + ": eased keys " + NumberText(a.frame) + " and " + NumberText(b.frame) +
                                " are too far apart to write as a row a frame");
            }
            // Counted in whole numbers: a double counter stops advancing
            // at 2^53 and would never reach the end.
            const auto count = std::int64_t(last - first) + 1;
            for (std::int64_t i = 0; i < count; ++i) {
                const double f = first + double(i);
                block.AddRow(f, Evaluate(keys, f));
            }
        }
        text.blocks.push_back(std::move(block));
    }
    return text;
}

}  // namespace quorvel::shots
