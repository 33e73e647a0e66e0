#pragma once
// A console reporter that also keeps every run's time in a RatioTable, so a
// benchmark's main can print at the end how Tessera compares with its peers.
// A run is named by its benchmark and arguments alone
// ("BM_Tessera/method:3/divisor:2"): the iteration count, repetitions, time
// type and thread count Google Benchmark adds to the printed name are left
// out, so the names a main looks up do not change with the command line.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/RatioTable.h"

class RatioReporter : public benchmark::ConsoleReporter {
public:
  RatioTable table;

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      std::string name = run.run_name.function_name;
      if (!run.run_name.args.empty()) name += "/" + run.run_name.args;
      table.Add(name, run.run_type == Run::RT_Aggregate ? run.aggregate_name : std::string(),
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit));
    }
    ConsoleReporter::ReportRuns(runs);
  }
};
