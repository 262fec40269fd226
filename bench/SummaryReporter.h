/// Reporters of the benchmark program: each passes every run on to the
/// reporter the command line asked for, under the benchmark's plain name; the
/// one on the display also prints, at the end, each render beside its floors.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace quorvel::bench {

/// Seconds per frame of one benchmark, by its name.
using FrameTimes = std::map<std::string, double>;

/// One line of the summary: a render and the floors of its path and thread count.
struct SummaryRow {
    std::string path;
    std::string scene;
    std::string threads;
    double render_seconds = 0.0;
    /// 0 when that floor did not run (filtered out, or failed).
    double copy_seconds = 0.0;
    double iterate_copy_seconds = 0.0;
};

/// Pairs every `BM_Render/<path>/<scene>/<threads>` named in `order`, in that
/// order, with `BM_Copy/<path>/<threads>` and `BM_IterateCopy/<path>/<threads>`.
std::vector<SummaryRow> PairRenders(const FrameTimes& times, const std::vector<std::string>& order);

/// The summary as a Markdown table: time per frame, Mpixel/s and the two ratios.
void PrintSummary(std::ostream& out, const std::vector<SummaryRow>& rows, double pixels_per_frame);

class PlainNameReporter : public benchmark::BenchmarkReporter {
public:
    /// `inner` is the reporter that writes (console, JSON or CSV); it must
    /// outlive this one. With `pixels_per_frame` > 0 the summary follows the
    /// last run: per benchmark the fastest frame time of its repetitions, in
    /// the order the benchmarks were registered, whatever order they ran in.
    PlainNameReporter(benchmark::BenchmarkReporter& inner, double pixels_per_frame);

    bool ReportContext(const Context& context) override;
    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

private:
    /// The frame times of one benchmark's repetitions, and where it was
    /// registered: the library numbers families, and the instances (thread
    /// counts) within each, in registration order.
    struct Samples {
        std::int64_t family = 0;
        std::int64_t instance = 0;
        std::vector<double> seconds;
    };

    benchmark::BenchmarkReporter* inner_;
    double pixels_per_frame_;
    std::map<std::string, Samples> samples_;
};

}  // namespace quorvel::bench
