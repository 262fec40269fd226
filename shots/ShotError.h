/// Bad input to the shot engine: a value, a key, a file or a frame list it
/// cannot use. The message is one line that names what was wrong, and the
/// settings it mentions by their names (shots/SettingNames.h); what() is
/// its plain text. The tool spells the settings as its options and reports
/// it with exit status 2.
#pragma once

#include <stdexcept>
#include <utility>

#include "frames/Message.h"

namespace quorvel::shots {

class ShotError : public std::runtime_error {
public:
    explicit ShotError(frames::Message what, frames::ErrorKind kind = frames::ErrorKind::input)
        : std::runtime_error(what.Text()), message_(std::move(what)), kind_(kind) {}

    const frames::Message& message() const { return message_; }
    frames::ErrorKind kind() const { return kind_; }

private:
    frames::Message message_;
    frames::ErrorKind kind_;
};

}  // namespace quorvel::shots
