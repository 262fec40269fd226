/// The exception that carries a host drawing failure: thrown where the
/// overlay makes or releases pens and paths, caught only by the entry point,
/// which turns it into the host's error code.
#pragma once

#include <exception>

#include "host/PF_Host.h"

namespace quorvel {

/// A host failure in making or releasing a drawing object.
class DRAWBOT_Exception : public std::exception {
public:
    explicit DRAWBOT_Exception(PF_Err err) : err_(err) {}
    PF_Err err() const { return err_; }

private:
    PF_Err err_;
};

/// Throws DRAWBOT_Exception when `err` is not 0.
inline void ThrowIfDrawbotError(PF_Err err) {
    if (err != PF_Err_NONE) throw DRAWBOT_Exception(err);
}

}  // namespace quorvel
