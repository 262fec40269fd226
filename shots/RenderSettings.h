/// The render options shared by every command that renders a frame: which
/// host and depth, the effect's parameters as users think of them, and the
/// host's scale factors.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "frames/World.h"
#include "imagefiles/ImageFormat.h"
#include "simhost/Host.h"
#include "simhost/ParamSet.h"

namespace quorvel::shots {

struct RenderSettings {
    sim::HostApp app = sim::HostApp::AfterEffects;
    frames::PixelLayout layout = frames::PixelLayout::ARGB8;
    /// Whether --host and --depth were given; otherwise an image file's data
    /// may choose them.
    bool app_given = false;
    bool depth_given = false;
    /// Which part and layer of an image file to render, and how its alpha is
    /// to be taken.
    imagefiles::ImageRequest image;

    std::optional<A_long> mask_type;
    std::optional<A_long> composite;
    std::optional<A_long> falloff;
    std::optional<std::pair<double, double>> origin;  ///< layer pixels
    std::optional<double> width, height, feather;     ///< pixels
    std::optional<double> angle;                      ///< degrees
    std::optional<double> opacity;                    ///< percent
    bool invert = false;

    PF_RationalScale downsample_x{1, 1};
    PF_RationalScale downsample_y{1, 1};
    PF_RationalScale pixel_aspect_ratio{1, 1};
    /// Whether --par gave the ratio; otherwise the input may.
    bool par_given = false;
    int threads = 0;

    /// Whether the settings give a value to the control that keys call
    /// `name` ("width", "origin"...).
    bool Sets(std::string_view name) const;
};

/// The simulated host's options for these settings and a layer size.
sim::Host::Options HostOptionsFor(const RenderSettings& settings, int layer_width, int layer_height);

/// Writes the settings' parameter values into `params` in the host's
/// encodings (doubles for sliders, 16.16 for the point, angle and opacity).
void ApplyParams(const RenderSettings& settings, sim::ParamSet& params);

}  // namespace quorvel::shots
