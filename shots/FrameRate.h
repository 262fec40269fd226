/// Frame rates as the host keeps time: a frame number becomes the in-data's
/// current_time in units of 1/time_scale seconds, each frame lasting time_step.
#pragma once

#include <string>

#include "host/PF_Host.h"

namespace quorvel::shots {

struct FrameRate {
    A_u_long time_scale = 24;
    A_long time_step = 1;

    /// current_time of `frame`; throws ShotError when it does not fit the host's 32 bits.
    A_long TimeOf(int frame) const;
    double FramesPerSecond() const { return double(time_scale) / double(time_step); }
};

/// "24", "25", "12.5", "24000/1001", or one of the NTSC rates by their
/// usual names (23.976, 29.97, 47.952, 59.94, 119.88), which mean N*1000/1001.
FrameRate ParseFrameRate(const std::string& option, const std::string& text);

/// The rate a host would keep for data that says `fps` frames a second:
/// an NTSC rate for 23.976 or 23.9759998321533, a whole rate when it is
/// one, else thousandths of a frame a second.
FrameRate NearestFrameRate(double fps);

}  // namespace quorvel::shots
