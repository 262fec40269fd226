/// The settings the image files' messages mention, each by the field of the
/// record that holds it (ImageRequest, ImageWriteOptions), and the frame
/// layout a caller chose to read into.
#pragma once

#include "frames/Message.h"

namespace quorvel::imagefiles::setting {

using Setting = ::quorvel::frames::Setting;

inline constexpr Setting layer{"layer"};                  ///< ImageRequest::layer
inline constexpr Setting part{"part"};                    ///< ImageRequest::part
inline constexpr Setting premultiplied{"premultiplied"};  ///< ImageRequest::premultiplied
inline constexpr Setting channel_type{"channel_type"};    ///< ImageWriteOptions::channel_type
inline constexpr Setting compression{"compression"};      ///< ImageWriteOptions::compression
/// Frames read into the 16-bit layout, which holds 0 to 1 only.
inline constexpr Setting layout_ae16{"layout_ae16"};

/// Every setting above, for a caller that spells them otherwise to check
/// that it spells them all.
inline constexpr Setting all[] = {layer, part, premultiplied, channel_type, compression, layout_ae16};

}  // namespace quorvel::imagefiles::setting
