// Parsing a listing reply and showing it (row count set and the first
// screen painted), at full size and at one tenth; scrolling through 100,000
// rows.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <QApplication>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/main_window.h"
#include "app/shared_state.h"
#include "platform/text.h"

namespace fs = std::filesystem;
using quenlo::app::MainWindow;

namespace {

MainWindow* g_window = nullptr;

std::string PackageReply(int lines) {
  std::string reply;
  for (int i = 0; i < lines; ++i) reply += "package:com.example.vendor.app" + std::to_string(i) + "\r\n";
  return reply + "\r\n/home/user/quenlo>";
}

std::string ProcessReply(int lines) {
  std::string reply = "USER     PID   PPID  VSIZE  RSS     WCHAN    PC        NAME\r\n";
  for (int i = 0; i < lines; ++i)
    reply += "u0_a" + std::to_string(i % 90) + "    " + std::to_string(1000 + i) +
             "   224   1236669 44276 SyS_epoll_ 00000000 S com.example.process" + std::to_string(i) + "\r\n";
  return reply + "\r\n/home/user/quenlo>";
}

void Show(benchmark::State& state, const std::string& command, const std::string& reply) {
  QTableView* view = g_window->ReportList().Handle();
  for (auto _ : state) {
    g_window->ShowListing(command, reply);
    view->viewport()->repaint();
  }
}

void BM_PackageListing(benchmark::State& state) {
  Show(state, "adb shell pm list packages", PackageReply(static_cast<int>(state.range(0))));
}

void BM_ProcessListing(benchmark::State& state) {
  Show(state, "adb shell ps", ProcessReply(static_cast<int>(state.range(0))));
}

void BM_Scroll100000Rows(benchmark::State& state) {
  g_window->ShowListing("adb shell pm list packages", PackageReply(100000));
  QTableView* view = g_window->ReportList().Handle();
  QScrollBar* bar = view->verticalScrollBar();
  for (auto _ : state) {
    for (int v = bar->minimum(); v <= bar->maximum(); v += std::max(1, bar->pageStep())) {
      bar->setValue(v);
      view->viewport()->repaint();
    }
    bar->setValue(0);
  }
}

}  // namespace

BENCHMARK(BM_PackageListing)->Arg(1000)->Arg(10000)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessListing)->Arg(500)->Arg(5000)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Scroll100000Rows)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  char tmpl[] = "/tmp/quenlo-bench-listing-XXXXXX";
  const fs::path dir = mkdtemp(tmpl);
  const fs::path old = fs::current_path();
  fs::current_path(dir);
  std::ofstream(dir / "adb") << "#!/bin/sh\nprintf 'List of devices attached\\n\\n'\n";
  chmod((dir / "adb").c_str(), 0755);
  quenlo::app::InitializeProcess(std::string(QUENLO_BIN_DIR) + "/quenlo-cmd",
                                 quenlo::platform::Utf8ToGbk(dir.string()));
  {
    auto window = std::make_unique<MainWindow>();
    g_window = window.get();
    window->Open();
    if (QTest::qWaitFor([&] { return window->StartupFinished(); }, 10000)) {
      benchmark::Initialize(&argc, argv);
      benchmark::RunSpecifiedBenchmarks();
    } else {
      std::fprintf(stderr, "the window did not start up\n");
    }
    window->close();
  }
  quenlo::app::Shared().console.Close();
  fs::current_path(old);
  fs::remove_all(dir);
  return 0;
}
