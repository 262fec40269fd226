#include "bench/SummaryReporter.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

namespace quorvel::bench {

namespace {

std::vector<std::string> SplitName(const std::string& name) {
    std::vector<std::string> parts;
    std::string::size_type begin = 0;
    while (true) {
        const auto slash = name.find('/', begin);
        parts.push_back(name.substr(begin, slash - begin));
        if (slash == std::string::npos) return parts;
        begin = slash + 1;
    }
}

double Find(const FrameTimes& times, const std::string& name) {
    const auto it = times.find(name);
    return it == times.end() ? 0.0 : it->second;
}

std::string Ratio(double render, double floor) {
    if (floor <= 0.0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", render / floor);
    return text;
}

}  // namespace

std::vector<SummaryRow> PairRenders(const FrameTimes& times, const std::vector<std::string>& order) {
    std::vector<SummaryRow> rows;
    for (const std::string& name : order) {
        const std::vector<std::string> parts = SplitName(name);
        if (parts.size() != 4 || parts[0] != "BM_Render") continue;
        SummaryRow row;
        row.path = parts[1];
        row.scene = parts[2];
        row.threads = parts[3];
        row.render_seconds = Find(times, name);
        row.copy_seconds = Find(times, "BM_Copy/" + row.path + "/" + row.threads);
        row.iterate_copy_seconds = Find(times, "BM_IterateCopy/" + row.path + "/" + row.threads);
        rows.push_back(row);
    }
    return rows;
}

void PrintSummary(std::ostream& out, const std::vector<SummaryRow>& rows, double pixels_per_frame) {
    if (rows.empty()) return;
    out << "\n| path | scene | threads | ms/frame | Mpixel/s | render/copy | render/iterate-copy |\n"
        << "|---|---|---|---|---|---|---|\n";
    for (const SummaryRow& row : rows) {
        char figures[64];
        std::snprintf(figures, sizeof figures, "%.2f | %.0f", row.render_seconds * 1e3,
                      pixels_per_frame / row.render_seconds / 1e6);
        out << "| " << row.path << " | " << row.scene << " | " << row.threads << " | " << figures << " | "
            << Ratio(row.render_seconds, row.copy_seconds) << " | "
            << Ratio(row.render_seconds, row.iterate_copy_seconds) << " |\n";
    }
    out.flush();
}

PlainNameReporter::PlainNameReporter(benchmark::BenchmarkReporter& inner, double pixels_per_frame)
    : inner_(&inner), pixels_per_frame_(pixels_per_frame) {}

bool PlainNameReporter::ReportContext(const Context& context) {
    // The library points this reporter (not the inner one) at the output
    // file of --benchmark_out; the inner one writes wherever this one does.
    inner_->SetOutputStream(&GetOutputStream());
    inner_->SetErrorStream(&GetErrorStream());
    return inner_->ReportContext(context);
}

void PlainNameReporter::ReportRuns(const std::vector<Run>& runs) {
    std::vector<Run> renamed = runs;
    for (Run& run : renamed) {
        // Every benchmark here is timed by the wall clock, so the library's
        // "/real_time" suffix says nothing, and the names other tools look up
        // are the plain ones.
        run.run_name.time_type.clear();
        // Only the repetitions themselves count, not the library's aggregates
        // of them; a failed run has no time worth pairing.
        if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) continue;
        Samples& samples = samples_[run.run_name.str()];
        samples.family = run.family_index;
        samples.instance = run.per_family_instance_index;
        samples.seconds.push_back(run.real_accumulated_time / static_cast<double>(run.iterations));
    }
    inner_->ReportRuns(renamed);
}

void PlainNameReporter::Finalize() {
    inner_->Finalize();
    if (pixels_per_frame_ <= 0.0) return;
    FrameTimes times;
    std::vector<std::tuple<std::int64_t, std::int64_t, std::string>> registered;
    for (const auto& [name, samples] : samples_) {
        // The fastest repetition: on a machine shared with other programs, the
        // one they disturbed least.
        times[name] = *std::min_element(samples.seconds.begin(), samples.seconds.end());
        registered.emplace_back(samples.family, samples.instance, name);
    }
    std::sort(registered.begin(), registered.end());
    std::vector<std::string> order;
    for (const auto& entry : registered) order.push_back(std::get<2>(entry));
    // A console run gets the summary below its table; a JSON or CSV run keeps
    // its standard output machine-readable and gets it on the error stream.
    const bool console = dynamic_cast<benchmark::ConsoleReporter*>(inner_) != nullptr;
    std::ostream& out = console ? GetOutputStream() : GetErrorStream();
    PrintSummary(out, PairRenders(times, order), pixels_per_frame_);
}

}  // namespace quorvel::bench
