/// Progress of a sequence render on stderr: a bar redrawn in place when
/// stderr is a terminal, a plain line per frame when it is a file or a pipe
/// (a render farm's log), nothing when quiet.
#pragma once

#include <functional>
#include <mutex>
#include <ostream>
#include <string>

namespace quorvel::shots {

class Progress {
public:
    enum class Style { Bar, Lines, Quiet };
    /// Seconds since some fixed moment; injected so tests control time.
    using Clock = std::function<double()>;

    /// `total` is the number of frames of the run, skipped ones included.
    Progress(Style style, std::ostream& out, int total, Clock clock = SteadySeconds);

    /// The style for stderr: a bar on a terminal, lines otherwise.
    static Style ForStderr(bool quiet);
    static double SteadySeconds();

    /// Thread-safe: called by the workers as frames finish.
    void Rendered(int frame);
    void Skipped(int frame);
    /// Ends the bar's line so later messages start on a fresh one.
    void Finish();

    int rendered() const;
    int skipped() const;
    /// Seconds since construction.
    double Elapsed() const;
    /// Frames rendered per second so far (skipped frames take no time).
    double Rate() const;

    /// "1:05:09", "4:05", "0:07".
    static std::string DurationText(double seconds);

private:
    void Report(int frame, const char* what);
    std::string Figures() const;

    Style style_;
    std::ostream& out_;
    int total_;
    Clock clock_;
    double start_;
    double last_draw_ = -1.0;
    int rendered_ = 0;
    int skipped_ = 0;
    bool bar_shown_ = false;
    mutable std::mutex mutex_;
};

}  // namespace quorvel::shots
