#pragma once
// A console reporter that also remembers each benchmark's time per iteration, so that a
// program can compare two of them at the end.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class TFrameRecorder : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& Runs) override {
        // The median of repetitions when there are some, else the one run.
        for (const Run& r : Runs) {
            if ((r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") ||
                (r.run_type == Run::RT_Iteration && r.repetitions <= 1 && r.iterations > 0))
                Times[r.run_name.function_name] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(Runs);
    }

    // The time of the benchmark called Name, or 0 when it did not run.
    double Time(const std::string& Name) const {
        const auto t = Times.find(Name);
        return t == Times.end() ? 0 : t->second;
    }

private:
    std::map<std::string, double> Times;
};
