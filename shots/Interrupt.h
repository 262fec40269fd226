/// Ctrl-C during a sequence render: the first SIGINT (or SIGTERM, which
/// render-farm managers send to cancel a task) asks the render to stop after
/// the frames in progress, so no frame is left half-written; a second one
/// ends the process at once, as usual.
#pragma once

#include <csignal>

namespace quorvel::shots {

class InterruptScope {
public:
    /// Installs the handlers; the previous ones come back on destruction.
    InterruptScope();
    ~InterruptScope();
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

    /// Whether a stop was asked for since the scope began.
    static bool Requested();

private:
#ifdef _WIN32
    void (*previous_int_)(int) = nullptr;
    void (*previous_term_)(int) = nullptr;
#else
    struct sigaction previous_int_ {};
    struct sigaction previous_term_ {};
#endif
};

}  // namespace quorvel::shots
