#include "shots/Interrupt.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <atomic>

namespace quorvel::shots {

namespace {

// Lock-free, so the handler may set it.
std::atomic<bool> g_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int) {
    g_requested.store(true);
    // Only async-signal-safe calls here: write(2) of a fixed text.
    static const char kMessage[] =
        "\nquorvel-host: interrupted: finishing the frames in progress (interrupt again to stop at once)\n";
#ifdef _WIN32
    const int ignored = ::_write(2, kMessage, unsigned(sizeof kMessage - 1));
#else
    const ssize_t ignored = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
#endif
    (void)ignored;
}

}  // namespace

#ifdef _WIN32
// The system's C runtime puts a signal's handler back to the default once it
// has run, so a second Ctrl-C ends the process as it does elsewhere.
InterruptScope::InterruptScope() {
    g_requested.store(false);
    previous_int_ = std::signal(SIGINT, OnInterrupt);
    previous_term_ = std::signal(SIGTERM, OnInterrupt);
}

InterruptScope::~InterruptScope() {
    std::signal(SIGINT, previous_int_);
    std::signal(SIGTERM, previous_term_);
}
#else
InterruptScope::InterruptScope() {
    g_requested.store(false);
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // Restart interrupted reads and writes rather than fail them; reset to
    // the default after the first signal so a second one ends the process.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, &previous_int_);
    sigaction(SIGTERM, &action, &previous_term_);
}

InterruptScope::~InterruptScope() {
    sigaction(SIGINT, &previous_int_, nullptr);
    sigaction(SIGTERM, &previous_term_, nullptr);
}

#endif

bool InterruptScope::Requested() { return g_requested.load(); }

}  // namespace quorvel::shots
