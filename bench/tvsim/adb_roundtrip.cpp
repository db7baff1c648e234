// Time of one adb command through Debian's adb client and server against the
// simulated television: "adb shell echo x" and "adb shell pm list packages",
// for both kinds of television shell. Each is run 50 times; the medians are
// printed at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "tv_harness.h"

namespace {

using quenlo::e2e::TvHarness;

constexpr int kRuns = 50;

// One simulator and adb server per Android version, kept for all runs.
std::map<int, std::unique_ptr<TvHarness>> g_running;

TvHarness* Television(int android, std::string* error) {
  auto& h = g_running[android];
  if (!h) {
    h = std::make_unique<TvHarness>(android);
    if (!h->Start(error) || !h->Connect(error)) {
      h.reset();
      return nullptr;
    }
  }
  return h.get();
}

// Ends every adb server and simulator started here.
void StopAll() { g_running.clear(); }

// The console table, and the median of every benchmark with its argument.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& r : runs)
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
        medians.emplace_back(r.run_name.function_name + " (Android " + r.run_name.args + ")",
                             r.GetAdjustedRealTime());
    ConsoleReporter::ReportRuns(runs);
  }
  std::vector<std::pair<std::string, double>> medians;
};

void RunAdb(benchmark::State& state, const std::vector<std::string>& shellArgs,
            const char* expect) {
  const int android = static_cast<int>(state.range(0));
  std::string error;
  TvHarness* tv = Television(android, &error);
  if (!tv) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::vector<std::string> args = {"-s", tv->Serial(), "shell"};
  args.insert(args.end(), shellArgs.begin(), shellArgs.end());
  for (auto _ : state) {
    auto r = tv->Adb(args);
    if (r.status != 0 || r.output.find(expect) == std::string::npos) {
      state.SkipWithError(("adb failed: " + r.output).c_str());
      return;
    }
  }
}

void BM_AdbShellEcho(benchmark::State& state) { RunAdb(state, {"echo", "x"}, "x"); }
void BM_AdbShellPmListPackages(benchmark::State& state) {
  RunAdb(state, {"pm", "list", "packages"}, "package:com.mitv.tvhome");
}

}  // namespace

BENCHMARK(BM_AdbShellEcho)
    ->Arg(7)
    ->Arg(6)
    ->Iterations(1)
    ->Repetitions(kRuns)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AdbShellPmListPackages)
    ->Arg(7)
    ->Arg(6)
    ->Iterations(1)
    ->Repetitions(kRuns)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  StopAll();
  std::printf("\nMedian of %d runs through adb %s:\n", kRuns, "29 (Debian)");
  for (const auto& [name, ms] : reporter.medians)
    std::printf("  %-40s %8.2f ms\n", name.c_str(), ms);
  return 0;
}
