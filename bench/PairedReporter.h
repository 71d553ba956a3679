#pragma once
// A console reporter that also prints, after the run, each of our benchmarks beside its
// reference: benchmarks named "ours/<case>" and "ref/<case>" are paired by <case>.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

class PairedReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            // A repeated case counts by its median.
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if ((run.run_type != Run::RT_Iteration && !median) || run.error_occurred)
                continue;
            // The name and arguments only: repetitions and times set in code stay out.
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty())
                name += "/" + run.run_name.args;
            auto slash = name.find('/');
            if (slash == std::string::npos)
                continue;
            std::string side = name.substr(0, slash);
            std::string kase = name.substr(slash + 1);
            double ms = run.GetAdjustedRealTime();   // every benchmark here reports in ms
            auto pixels = run.counters.find("pixels");
            double mpx = pixels != run.counters.end() ? pixels->second.value : 0;
            (side == "ours" ? ours_ : refs_)[kase] = {ms, mpx};
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\n%-34s %12s %12s %12s %12s %8s\n", "case", "ours ms", "ref ms", "ours Mpx/s",
                    "ref Mpx/s", "ratio");
        for (const auto& [kase, ours] : ours_) {
            auto ref = refs_.find(kase);
            if (ref == refs_.end()) {
                std::printf("%-34s %12.3f %12s %12.0f %12s %8s\n", kase.c_str(), ours.ms, "-",
                            ours.mpx / 1e6, "-", "-");
                continue;
            }
            std::printf("%-34s %12.3f %12.3f %12.0f %12.0f %8.2f\n", kase.c_str(), ours.ms,
                        ref->second.ms, ours.mpx / 1e6, ref->second.mpx / 1e6,
                        ours.ms / ref->second.ms);
        }
        std::printf("ratio = our time / reference time (below 1: we are faster)\n");
    }

private:
    struct Figure
    {
        double ms = 0;
        double mpx = 0;
    };
    std::map<std::string, Figure> ours_;
    std::map<std::string, Figure> refs_;
};
