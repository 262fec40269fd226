#include "shots/Progress.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace quorvel::shots {

namespace {

constexpr int kBarWidth = 30;
/// A bar redrawn at most this often: fast frames would otherwise flood the terminal.
constexpr double kRedrawSeconds = 0.1;

}  // namespace

Progress::Progress(Style style, std::ostream& out, int total, Clock clock)
    : style_(style), out_(out), total_(total), clock_(std::move(clock)), start_(clock_()) {}

Progress::Style Progress::ForStderr(bool quiet) {
    if (quiet) return Style::Quiet;
    return ::isatty(STDERR_FILENO) ? Style::Bar : Style::Lines;
}

double Progress::SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string Progress::DurationText(double seconds) {
    const long long s = std::llround(std::max(0.0, seconds));
    char text[32];
    if (s >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    }
    return text;
}

int Progress::rendered() const {
    std::lock_guard lock(mutex_);
    return rendered_;
}

int Progress::skipped() const {
    std::lock_guard lock(mutex_);
    return skipped_;
}

double Progress::Elapsed() const { return clock_() - start_; }

double Progress::Rate() const {
    std::lock_guard lock(mutex_);
    const double elapsed = clock_() - start_;
    return elapsed > 0 ? rendered_ / elapsed : 0.0;
}

std::string Progress::Figures() const {
    const double elapsed = clock_() - start_;
    const double rate = elapsed > 0 ? rendered_ / elapsed : 0.0;
    const int left = total_ - rendered_ - skipped_;
    char text[96];
    std::snprintf(text, sizeof text, "%d/%d frames  %.1f frames/s  ", rendered_ + skipped_, total_, rate);
    std::string figures = text;
    if (left == 0) return figures + Progress::DurationText(elapsed) + " taken";
    return figures + (rendered_ > 0 && rate > 0 ? Progress::DurationText(left / rate) : std::string("-:--")) + " left";
}

void Progress::Report(int frame, const char* what) {
    const int done = rendered_ + skipped_;
    switch (style_) {
        case Style::Quiet:
            return;
        case Style::Lines:
            out_ << "frame " << frame << " " << what << "  " << Figures() << "\n" << std::flush;
            return;
        case Style::Bar: {
            const double now = clock_();
            if (done < total_ && last_draw_ >= 0 && now - last_draw_ < kRedrawSeconds) return;
            last_draw_ = now;
            const int filled = total_ > 0 ? int(std::int64_t(kBarWidth) * done / total_) : kBarWidth;
            // Carriage return and erase-line: the bar is redrawn in place.
            out_ << "\r\x1b[K[" << std::string(std::size_t(filled), '#')
                 << std::string(std::size_t(kBarWidth - filled), '-') << "] " << Figures() << std::flush;
            bar_shown_ = true;
            return;
        }
    }
}

void Progress::Rendered(int frame) {
    std::lock_guard lock(mutex_);
    ++rendered_;
    Report(frame, "rendered");
}

void Progress::Skipped(int frame) {
    std::lock_guard lock(mutex_);
    ++skipped_;
    Report(frame, "skipped (already complete)");
}

void Progress::Finish() {
    std::lock_guard lock(mutex_);
    if (bar_shown_) out_ << "\n" << std::flush;
    bar_shown_ = false;
}

}  // namespace quorvel::shots
