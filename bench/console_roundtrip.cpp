// Round trip of a short command through the console, against the same line
// written and read on a raw pipe to the same interpreter.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "console/shell_console.h"
#include "console/text_rules.h"
#include "platform/process.h"
#include "ratio_reporter.h"

namespace {

const std::string kInterpreter = std::string(QUENLO_BIN_DIR) + "/quenlo-cmd";
constexpr int kCommands = 500;

void BM_ConsoleEcho(benchmark::State& state) {
  quenlo::console::ShellConsole console;
  console.SetInterpreter(kInterpreter);
  console.Start();
  console.ReadUntilPrompt();
  for (auto _ : state) {
    for (int i = 0; i < kCommands; ++i) benchmark::DoNotOptimize(console.Exchange("echo x"));
  }
  console.Close();
}

// Reads from the pipe until the text ends with a prompt.
std::string ReadToPrompt(int fd) {
  std::string out;
  char buf[65536];
  while (!quenlo::console::EndsWithPrompt(out)) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

void BM_RawPipeEcho(benchmark::State& state) {
  quenlo::platform::ChildProcess child;
  if (quenlo::platform::SpawnWithPipes(kInterpreter, {}, child) != 0) {
    state.SkipWithError("interpreter did not start");
    return;
  }
  ReadToPrompt(child.outputFd);
  const std::string line = "echo x\r\n";
  for (auto _ : state) {
    for (int i = 0; i < kCommands; ++i) {
      quenlo::platform::WriteAll(child.inputFd, line.data(), line.size());
      benchmark::DoNotOptimize(ReadToPrompt(child.outputFd));
    }
  }
  quenlo::platform::TerminateAndReap(child.pid, 500);
  quenlo::platform::CloseFd(child.inputFd);
  quenlo::platform::CloseFd(child.outputFd);
}

}  // namespace

BENCHMARK(BM_RawPipeEcho)->Iterations(1)->Repetitions(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConsoleEcho)->Iterations(1)->Repetitions(5)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double raw = reporter.Median("BM_RawPipeEcho"), console = reporter.Median("BM_ConsoleEcho");
  if (raw > 0)
    std::printf("console round trip / raw pipe (%d x \"echo x\", medians): %.3f\n", kCommands,
                console / raw);
  return 0;
}
