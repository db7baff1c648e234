#pragma once
// A console reporter that also remembers the median real time of each
// benchmark, so a benchmark program can print ratios of two side by side.
#include <benchmark/benchmark.h>

#include <map>
#include <string>

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& r : runs)
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
        medians[r.run_name.function_name] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  double Median(const std::string& name) const {
    auto it = medians.find(name);
    return it == medians.end() ? 0 : it->second;
  }
  std::map<std::string, double> medians;
};
