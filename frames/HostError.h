/// Errors of the simulated host itself (bad module files, bad input), as
/// opposed to the error codes the module returns.
#pragma once

#include <stdexcept>
#include <utility>

#include "frames/Message.h"

namespace quorvel::frames {

/// The message may mention settings (frames/Message.h); what() is its plain
/// text, each setting by its own name.
class HostError : public std::runtime_error {
public:
    explicit HostError(Message what, ErrorKind kind = ErrorKind::input)
        : std::runtime_error(what.Text()), message_(std::move(what)), kind_(kind) {}

    const Message& message() const { return message_; }
    ErrorKind kind() const { return kind_; }

private:
    Message message_;
    ErrorKind kind_;
};

}  // namespace quorvel::frames
