/// The pixel aspect ratio a render hands the host when its settings do not
/// give it: the one the input image's header states, else the one the keys'
/// keyframe text gives as its Source Pixel Aspect Ratio, else square.
#pragma once

#include <optional>
#include <string>

#include "frames/Message.h"
#include "host/PF_Host.h"
#include "imagefiles/ImageFormat.h"
#include "shots/Keyframes.h"
#include "shots/RenderSettings.h"

namespace quorvel::shots {

/// The ratio of whole numbers nearest `value` with a denominator of at most
/// 10,000: 10/11 for the 0.90909094 a file's single-precision header holds.
PF_RationalScale AspectRatioOf(double value);

/// Settles `settings.pixel_aspect_ratio` before the host starts, and returns
/// a note, one line, saying where a ratio other than 1 came from, that the
/// settings' ratio overrides the input's header, or that the header's ratio
/// is not used. `image` is the input image's format (null
/// for the test card or a .npy frame), named `image_name` in messages;
/// `animation` the keys read, if any. Throws ShotError when the ratio is
/// keyframe text's and is not a ratio.
[[nodiscard]] std::optional<frames::Message> SettlePixelAspect(RenderSettings& settings,
                                                               const imagefiles::ImageFormat* image,
                                                               const std::string& image_name,
                                                               const Animation* animation = nullptr);

}  // namespace quorvel::shots
