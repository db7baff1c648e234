// Time from creating the main window to its first paint, with an adb that
// answers at once and with one that needs two seconds.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/main_window.h"
#include "app/shared_state.h"
#include "platform/text.h"
#include "ratio_reporter.h"

namespace fs = std::filesystem;

namespace {

class FirstPaint : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint && ms < 0) ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    return false;
  }
  QElapsedTimer timer;
  double ms = -1;
};

void RunStartup(benchmark::State& state, const char* delay) {
  char tmpl[] = "/tmp/quenlo-bench-XXXXXX";
  fs::path dir = mkdtemp(tmpl);
  fs::path old = fs::current_path();
  fs::current_path(dir);
  {
    std::ofstream(dir / "adb") << "#!/bin/sh\nsleep " << delay
                               << "\nprintf 'List of devices attached\\n192.168.1.23:5555\\tdevice\\n\\n'\n";
  }
  chmod((dir / "adb").c_str(), 0755);
  quenlo::app::InitializeProcess(std::string(QUENLO_BIN_DIR) + "/quenlo-cmd",
                                 quenlo::platform::Utf8ToGbk(dir.string()));
  for (auto _ : state) {
    FirstPaint probe;
    probe.timer.start();
    auto* window = new quenlo::app::MainWindow;
    window->installEventFilter(&probe);
    window->Open();
    if (!QTest::qWaitFor([&] { return probe.ms >= 0; }, 10000) ||
        !QTest::qWaitFor([&] { return window->StartupFinished(); }, 10000)) {
      state.SkipWithError("the window did not paint or start up");
      delete window;
      break;
    }
    state.SetIterationTime(probe.ms / 1000.0);
    window->close();
    delete window;
  }
  quenlo::app::Shared().console.Close();
  fs::current_path(old);
  fs::remove_all(dir);
}

void BM_FirstPaintQuickAdb(benchmark::State& state) { RunStartup(state, "0"); }
void BM_FirstPaintSlowAdb(benchmark::State& state) { RunStartup(state, "2"); }

}  // namespace

BENCHMARK(BM_FirstPaintQuickAdb)->Iterations(1)->Repetitions(7)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstPaintSlowAdb)->Iterations(1)->Repetitions(7)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double quick = reporter.Median("BM_FirstPaintQuickAdb"), slow = reporter.Median("BM_FirstPaintSlowAdb");
  std::printf("first paint, median: quick adb %.1f ms, slow adb %.1f ms (ratio %.2f)\n", quick, slow,
              quick > 0 ? slow / quick : 0.0);
  return 0;
}
