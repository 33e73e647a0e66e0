#pragma once
// A console reporter that keeps the mean real time of each run, so a
// benchmark's main can print the ratios against its peers at the end.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
  std::map<std::string, double> times;  // by run name, in the benchmark's unit
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (!run.error_occurred) times[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  // The time of the first run whose name starts with prefix, or -1.
  double Find(const std::string& prefix) const {
    for (const auto& [name, time] : times) {
      if (name.rfind(prefix, 0) == 0) return time;
    }
    return -1.0;
  }
};
