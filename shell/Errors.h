/// How the module's errors reach the host: a failure ends the command by
/// being thrown as a plain PF_Err value, which only the entry point catches
/// and returns as the command's result. A failed drawing object travels the
/// same way as a DRAWBOT_Exception (shell/DrawbotException.h).
#pragma once

#include "host/PF_Host.h"

namespace quorvel {

/// Ends the command with `err`.
[[noreturn]] inline void RaiseError(PF_Err err) { throw PF_Err(err); }

/// Ends the command with `err` unless it is PF_Err_NONE: a host call's
/// failure becomes the command's result unchanged.
inline void RaiseIfError(PF_Err err) {
    if (err != PF_Err_NONE) RaiseError(err);
}

}  // namespace quorvel
