#pragma once
// Runs the registered Google Benchmark cases and ends the output with one line
// "ratio NAME VALUE" per pair of cases: the median real time of the measured
// case over that of its baseline, both from the same run (lower is better).
//
// Unless the command line chooses otherwise, every case runs five times for
// 0.2 s each, the repetitions of all cases interleaved in random order so that
// a load that comes and goes on the machine weighs on both sides of a ratio.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

struct TRatio {
    std::string name;
    std::string measured; // benchmark names as printed, without an aggregate suffix
    std::string baseline;
};

// Records the median real time of every case, in seconds, as the console
// reporter prints it.
class TMedianReporter : public benchmark::ConsoleReporter {
public:
    // Plain text: a script reads the output.
    TMedianReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& reports) override {
        ConsoleReporter::ReportRuns(reports);
        for (const Run& run : reports) {
            if (run.error_occurred)
                continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            // A single repetition reports no aggregates; its one run stands in.
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (median || single)
                seconds_[run.run_name.str()] =
                    run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
    }

    // The median of the named case; negative when it did not run.
    double Seconds(const std::string& name) const {
        const auto found = seconds_.find(name);
        return found == seconds_.end() ? -1.0 : found->second;
    }

private:
    std::map<std::string, double> seconds_;
};

inline bool HasFlag(int argc, char** argv, std::string_view flag) {
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]).starts_with(flag))
            return true;
    return false;
}

// Runs the cases and prints the ratios last; returns the process's exit code:
// 1 when a ratio could not be computed because a case failed or was filtered
// out.
inline int RunWithRatios(int argc, char** argv, const std::vector<TRatio>& ratios) {
    std::vector<std::string> defaults;
    if (!HasFlag(argc, argv, "--benchmark_repetitions"))
        defaults.push_back("--benchmark_repetitions=5");
    if (!HasFlag(argc, argv, "--benchmark_min_time"))
        defaults.push_back("--benchmark_min_time=0.2");
    if (!HasFlag(argc, argv, "--benchmark_enable_random_interleaving"))
        defaults.push_back("--benchmark_enable_random_interleaving=true");
    if (!HasFlag(argc, argv, "--benchmark_report_aggregates_only") &&
        !HasFlag(argc, argv, "--benchmark_display_aggregates_only"))
        defaults.push_back("--benchmark_display_aggregates_only=true");
    std::vector<char*> arguments(argv, argv + argc);
    for (std::string& flag : defaults)
        arguments.push_back(flag.data());
    int count = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data()))
        return 1;
    TMedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    int status = 0;
    for (const TRatio& ratio : ratios) {
        const double measured = reporter.Seconds(ratio.measured);
        const double baseline = reporter.Seconds(ratio.baseline);
        if (measured <= 0 || baseline <= 0) {
            std::fprintf(stderr, "no ratio %s: %s or %s has no time\n", ratio.name.c_str(),
                         ratio.measured.c_str(), ratio.baseline.c_str());
            status = 1;
            continue;
        }
        std::printf("ratio %s %.2f\n", ratio.name.c_str(), measured / baseline);
    }
    std::fflush(stdout);
    return status;
}

} // namespace bench
