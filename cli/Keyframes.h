/// Keyframed parameters: values set at frames and interpolated between them
/// as the hosts do, evaluated by the host for each frame it renders and
/// passed to the module in the parameter array.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "ParamSet.h"

namespace quorvel::cli {

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

struct Keyframe {
    double frame = 0;
    std::vector<double> value;  ///< one number, or X and Y for a point
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

/// The keys of a render, by control. Keys are first collected as text
/// (--key options, key files) and then resolved against the controls the
/// module registered, which say which ones may vary in time and how their
/// values are encoded.
class Animation {
public:
    /// One --key option: "NAME@FRAME=VALUE[:linear|hold|ease]", with VALUE
    /// "X,Y" for the origin. Throws UsageError for bad syntax or an unknown name.
    void AddKeyOption(const std::string& text);
    /// A JSON key file: {"width": [{"frame": 1001, "value": 300,
    /// "interpolation": "ease"}, ...], "origin": [{"frame": 1001, "value":
    /// [960, 540]}, ...]}; "interpolation" is optional (linear).
    void AddKeyFile(const std::filesystem::path& path);

    bool empty() const { return pending_.empty(); }
    /// The names of the keyed controls (as --key and the render options spell them).
    std::vector<std::string> KeyedNames() const;

    /// Checks every key against the module's controls and prepares the
    /// tracks. Throws UsageError for a key on a control registered as unable
    /// to vary in time, a value of the wrong shape or out of the host's
    /// range, or two keys at one frame.
    void Resolve(const sim::ParamSet& params);
    /// Writes each keyed control's value at `frame` into `params`, in the
    /// host's encodings. Resolve must have been called.
    void Apply(double frame, sim::ParamSet& params) const;

    /// The resolved keys of a control by name; empty when it has none.
    const std::vector<Keyframe>& KeysOf(const std::string& name) const;

private:
    struct PendingKey {
        std::string name;
        double frame = 0;
        std::string value;
        Interpolation interpolation = Interpolation::Linear;
        std::string source;  ///< where the key came from, for messages
    };
    struct Track {
        A_long id = 0;
        std::vector<Keyframe> keys;
    };

    std::vector<PendingKey> pending_;
    std::map<std::string, Track> tracks_;
};

/// "origin=960,540 width=300 height=200 angle=0 feather=0 opacity=100": the
/// values of every control the module lets vary in time, as `params` holds
/// them (16.16 values shown exactly).
std::string DescribeAnimatable(const sim::ParamSet& params);

/// The shortest decimal text that reads back as `value`, never in exponent form.
std::string NumberText(double value);

}  // namespace quorvel::cli
