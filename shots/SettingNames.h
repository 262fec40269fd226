/// The settings the shot engine's messages mention, each by the field of
/// the settings record that holds it (ShotSettings, RenderSettings,
/// FrameOptions, ContactSheetSettings, KeyTextOptions; the key file and the
/// typed keys are what Animation reads). The image files' own are in
/// imagefiles/SettingNames.h.
#pragma once

#include "frames/Message.h"

namespace quorvel::shots::setting {

using Setting = ::quorvel::frames::Setting;

inline constexpr Setting frames{"frames"};                                ///< ShotSettings::frames
inline constexpr Setting input{"input"};                                  ///< ShotSettings::input
inline constexpr Setting output{"output"};                                ///< ShotSettings::output
inline constexpr Setting jobs{"jobs"};                                    ///< ShotSettings::jobs
inline constexpr Setting rate{"rate"};                                    ///< ShotSettings::rate, KeyTextSettings::rate
inline constexpr Setting contact_sheet{"contact_sheet"};                  ///< ShotSettings::contact_sheet
inline constexpr Setting contact_every{"contact_sheet.every"};            ///< ContactSheetSettings::every
inline constexpr Setting contact_width{"contact_sheet.thumbnail_width"};  ///< ContactSheetSettings::thumbnail_width
inline constexpr Setting app{"app"};                                      ///< RenderSettings::app
inline constexpr Setting layout{"layout"};                                ///< RenderSettings::layout
inline constexpr Setting pixel_aspect_ratio{"pixel_aspect_ratio"};        ///< RenderSettings::pixel_aspect_ratio
inline constexpr Setting row_padding{"row_padding"};                      ///< FrameOptions::row_padding
inline constexpr Setting keys{"keys"};                                    ///< the key file Animation reads
inline constexpr Setting key{"key"};                                      ///< a typed key Animation reads
inline constexpr Setting keys_start{"start"};                             ///< KeyTextOptions::start
inline constexpr Setting strict_timing{"strict_timing"};                  ///< KeyTextOptions::strict_timing
inline constexpr Setting track{"track"};                                  ///< KeyTextOptions::track
inline constexpr Setting track_block{"track_block"};                      ///< KeyTextOptions::track_block
inline constexpr Setting track_layer{"track_layer"};                      ///< KeyTextOptions::track_layer
inline constexpr Setting track_offset{"track_offset"};                    ///< KeyTextOptions::track_offset
inline constexpr Setting track_reference{"track_reference"};              ///< KeyTextOptions::track_reference

/// Every setting above, for a caller that spells them otherwise to check
/// that it spells them all.
inline constexpr Setting all[] = {frames,
                                  input,
                                  output,
                                  jobs,
                                  rate,
                                  contact_sheet,
                                  contact_every,
                                  contact_width,
                                  app,
                                  layout,
                                  pixel_aspect_ratio,
                                  row_padding,
                                  keys,
                                  key,
                                  keys_start,
                                  strict_timing,
                                  track,
                                  track_block,
                                  track_layer,
                                  track_offset,
                                  track_reference};

}  // namespace quorvel::shots::setting
