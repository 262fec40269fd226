/// Keyframed parameters: values set at frames and interpolated between them
/// as the hosts do, evaluated by the host for each frame it renders and
/// passed to the module in the parameter array.
#pragma once

#include <algorithm>
#include <array>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frames/Message.h"
#include "modulefiles/ModuleDescriptor.h"
#include "shots/FrameRate.h"
#include "shots/KeyframeText.h"
#include "shots/LayerTransform.h"
#include "simhost/ParamSet.h"

namespace quorvel::shots {

/// How a key leads into the next one.
enum class Interpolation {
    /// A straight line in time to the next key (the hosts' default).
    Linear,
    /// The key's value until the next key, then a jump.
    Hold,
    /// Speed falls to zero at this key, on both sides: the curve hosts draw
    /// for an eased key with their default influence (a third of the interval).
    Ease,
};

/// A key's value: one number, or X and Y for a point. Held in the key
/// itself, since a baked track has millions of keys.
class KeyValue {
public:
    KeyValue() = default;
    /// One or two numbers; more are refused (std::length_error).
    KeyValue(std::initializer_list<double> values);

    std::size_t size() const { return size_; }
    const double* data() const { return values_.data(); }
    const double* begin() const { return values_.data(); }
    const double* end() const { return values_.data() + size_; }
    double operator[](std::size_t i) const { return values_[i]; }
    bool operator==(const KeyValue& other) const { return std::equal(begin(), end(), other.begin(), other.end()); }

private:
    std::array<double, 2> values_{};
    std::size_t size_ = 0;
};

struct Keyframe {
    double frame = 0;
    KeyValue value;
    Interpolation interpolation = Interpolation::Linear;
};

/// How far (0 to 1) the value has moved from key `from` to the next key
/// `to` at `s`, the fraction of the time between them (0 <= s < 1). Linear
/// gives s; an eased end gives it zero speed there (a cubic Hermite step,
/// smoothstep when both ends ease); hold gives 0.
double SegmentWeight(Interpolation from, Interpolation to, double s);

/// The value of keys (ascending by frame, at least one) at `frame`: the
/// first key's value before it, the last key's after it.
std::vector<double> Evaluate(const std::vector<Keyframe>& keys, double frame);

/// Where keyframe text's first frame lands, and why: --keys-start, or a
/// fact of the shot, so that every range of it renders the same animation.
struct KeyLanding {
    double frame = 0;
    /// The caller's reason, or the shot's: "the first frame of
    /// plate.%04d.exr on disk".
    frames::Message why;
};

/// How keyframe text (the hosts' clipboard data, trackers' exports) meets
/// the render's clock and the module's controls.
struct KeyTextOptions {
    /// The render's rate (--fps). Data at another rate is converted by time.
    FrameRate rate;
    /// The frame the data's first frame lands on (the first frame of the
    /// data's blocks, ours or not). Without it the data's times are kept:
    /// frame F of the data is at F / its rate seconds.
    std::optional<double> start;
    /// Why it lands there, for the note that says where it landed.
    frames::Message start_why;
    /// Refuse data whose rate differs from `rate` instead of converting it.
    bool strict_timing = false;
    /// Keep the data's own rate and frame numbers, whatever `rate` says:
    /// `keys` without --fps writes the data on its own clock.
    bool keep_data_clock = false;
    /// The point control a point track of the file drives (--track), and
    /// which of the file's point blocks that is, by its path as messages
    /// show it ("Transform / Position"), when there are several. Or
    /// "transform": the layer's Anchor Point, Position, Scale and Rotation
    /// carry the matte.
    std::optional<std::string> track;
    std::optional<std::string> track_block;
    /// The layer (by its `Layer` line, counted from 1) whose blocks are
    /// used, when several hold blocks this effect can use (--track-layer).
    std::optional<int> track_layer;
    /// Added to every tracked point (--track-offset).
    std::optional<std::pair<double, double>> track_offset;
    /// With --track transform, the frame of the render at which the matte is
    /// as the options and keys give it (--track-reference); without it, the
    /// frame the data's first row lands on.
    std::optional<double> track_reference;
};

/// What --track takes besides a point control.
inline constexpr std::string_view kTrackTransform = "transform";

/// The narrowest and widest pixels a picture has: a stated ratio beyond
/// them is not a pixel aspect ratio.
inline constexpr double kMinPixelAspect = 0.01;
inline constexpr double kMaxPixelAspect = 100;

/// Keyframe text's Source Pixel Aspect Ratio, and where it stands
/// ("keys.txt:6").
struct SourceAspect {
    double ratio = 1;
    std::string where;
};

/// What keyframe text written for the host says besides the keys.
struct KeyTextSettings {
    std::string effect_name;  ///< the effect's display name, such as "VT Quorvel"
    FrameRate rate;           ///< Units Per Second
    int source_width = 1920;
    int source_height = 1080;
    double pixel_aspect = 1;
};

/// The name the host shows the effect by: the descriptor's name.
std::string EffectDisplayName(const modulefiles::Descriptor& descriptor);

/// The keys of a render, by control. Keys are first collected as text
/// (--key options, key files) and then resolved against the controls the
/// module registered, which say which ones may vary in time and how their
/// values are encoded.
class Animation {
public:
    /// One --key option: "NAME@FRAME=VALUE[:linear|hold|ease]", with VALUE
    /// "X,Y" for the origin. Throws ShotError for bad syntax or an unknown name.
    void AddKeyOption(const std::string& text);
    /// A key file, told by its first line. A JSON key file: {"width":
    /// [{"frame": 1001, "value": 300, "interpolation": "ease"}, ...],
    /// "origin": [{"frame": 1001, "value": [960, 540]}, ...]};
    /// "interpolation" is optional (linear). Or keyframe text, whose rows
    /// become linear keys, read with `text_options`; its syntax is checked
    /// here, its blocks are matched to the controls by Resolve.
    void AddKeyFile(const std::filesystem::path& path, const KeyTextOptions& text_options = {});

    /// A key file's content held in memory, told by its first line as
    /// AddKeyFile does; `file` names it in messages.
    void AddKeyContent(const std::string& file, std::string_view content, const KeyTextOptions& text_options = {});

    /// Keyframe text held in memory; `file` names it in messages.
    void AddKeyText(const std::string& file, std::string_view content, const KeyTextOptions& options = {});

    bool empty() const { return pending_.empty() && texts_.empty(); }
    /// Whether a key file was keyframe text.
    bool HasKeyText() const { return !texts_.empty(); }
    /// The rate keyframe text says its data runs at (Units Per Second), or
    /// none.
    std::optional<double> DataRate() const;
    /// The pixel aspect ratio keyframe text gives its source, or none.
    /// Checked when asked: throws ShotError when it is not a ratio.
    std::optional<SourceAspect> SourcePixelAspect() const;
    /// The names of the keyed controls (as --key and the render options
    /// spell them), once resolved.
    std::vector<std::string> KeyedNames() const;

    /// Checks every key against the module's controls and prepares the
    /// tracks. Blocks of keyframe text are this effect's when their path is
    /// Effects, an instance of `effect_name` ("VT Quorvel #1") and a control
    /// the module registered, by the name it registered. Throws ShotError
    /// for a key on a control registered as unable to vary in time, a value
    /// of the wrong shape, unit or out of the host's range, or two keys at
    /// one frame; but a --key on the frame of a row of keyframe text takes
    /// the row's place, and says so in a note.
    void Resolve(const sim::ParamSet& params, const std::string& effect_name = "");
    /// What Resolve has to tell about the key files besides errors: the
    /// blocks it skipped, one line a file, and the rows --key replaced.
    const std::vector<frames::Message>& Notes() const { return notes_; }
    /// What of the keyframe text does not fit the shot, a line each: a
    /// source of another size than the layer, a track that ends before the
    /// shot's last frame (or begins after its first), whose value the
    /// frames beyond it hold. Resolve must have been called.
    std::vector<std::string> FitNotes(int layer_width, int layer_height, const std::vector<int>& frames) const;
    /// Writes each keyed control's value at `frame` into `params`, in the
    /// host's encodings, and with a tracked transform, the matte carried
    /// from the reference frame to `frame`. Resolve must have been called.
    void Apply(double frame, sim::ParamSet& params) const;

    /// The resolved keys of a control by name; empty when it has none.
    const std::vector<Keyframe>& KeysOf(const std::string& name) const;

private:
    struct PendingKey {
        std::string name;
        double frame = 0;
        std::string value;
        Interpolation interpolation = Interpolation::Linear;
        frames::Message source;  ///< where the key came from, for messages
        bool typed = false;      ///< a --key option, not a file's entry
    };
    struct Track {
        A_long id = 0;
        bool fixed = false;  ///< its values are 16.16, checked against that range
        std::vector<Keyframe> keys;
    };

    struct TextFile {
        std::string file;
        KeyText text;  ///< frames already on the render's clock
        KeyTextOptions options;
        /// What reading it on the render's clock has to tell: where it
        /// landed, the rate it was converted from.
        std::vector<frames::Message> notes;
    };
    /// A tracked layer's transform that carries the matte (--track
    /// transform): the keys of its Anchor Point, Position, Scale and
    /// Rotation (none: the property's identity value), and the frame at
    /// which the matte is as the options and keys give it.
    struct TransformTrack {
        std::vector<Keyframe> anchor, position, scale, rotation;
        double reference = 0;
        LayerTransform at_reference;  ///< At(reference), the same for every frame

        LayerTransform At(double frame) const;
    };

    /// A block of keyframe text that drives a control, with what is added
    /// to its points.
    struct TextTrack {
        const KeyTextBlock* block = nullptr;
        int index = 0;  ///< of the control in the parameter array
        double dx = 0;
        double dy = 0;
    };

    void AddJson(const std::string& file, std::string_view content);
    /// The blocks of the file that drive this effect's controls.
    std::vector<TextTrack> TracksOfText(const TextFile& text, const sim::ParamSet& params,
                                        const std::string& effect_name);
    /// Reads the layer's transform from its blocks among `candidates` (the
    /// layer's blocks not of this effect) into transform_; returns the
    /// blocks it used.
    std::vector<const KeyTextBlock*> TransformOfText(const TextFile& text,
                                                     const std::vector<const KeyTextBlock*>& candidates);

    /// The frames a track's rows span, on the render's clock.
    struct TrackSpan {
        std::string what;  ///< "track.txt: the track Transform / Position (line 12)"
        double first = 0;
        double last = 0;
    };

    std::vector<PendingKey> pending_;
    std::vector<TrackSpan> spans_;
    std::vector<TextFile> texts_;
    std::vector<frames::Message> notes_;
    std::map<std::string, Track> tracks_;
    std::optional<TransformTrack> transform_;
};

/// The animation as keyframe text for the host: a block for each keyed
/// control, in the module's parameter order, named as the module registered
/// it, with the index the host shows ("Width #4") and the control's unit.
/// Linear keys become rows; eased keys add a row at every whole frame of
/// their segments, held keys one at the last whole frame before the next
/// key, so that the host's linear rows give the same value at every whole
/// frame. Resolve must have been called.
KeyText AnimationKeyText(const Animation& animation, const sim::ParamSet& params, const KeyTextSettings& settings);

/// "origin=960,540 width=300 height=200 angle=0 feather=0 opacity=100": the
/// values of every control the module lets vary in time, as `params` holds
/// them (16.16 values shown exactly).
std::string DescribeAnimatable(const sim::ParamSet& params);

/// The name keys and render options give the control at `index` of the
/// array ("width"); empty when there is none.
std::string ControlNameAt(const sim::ParamSet& params, int index);
/// The persistent id of the control keys call `name`, or 0.
A_long ControlIdOfName(const std::string& name);

}  // namespace quorvel::shots
