#pragma once
// What every end-to-end test holds: the simulated television with its adb
// server, the main window, and the directory to return to. Tearing down
// closes the window and the console, returns to that directory, shows the
// logs of a failed test, and stops adb and the simulator.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <memory>

#include "app/main_window.h"
#include "app/shared_state.h"
#include "tv_harness.h"

namespace quenlo::e2e {

template <class TestBase>
class TvWindowFixture : public TestBase {
 protected:
  void TearDown() override {
    if (window_) {
      window_->close();
      window_.reset();
    }
    app::Shared().console.Close();
    if (!old_.empty()) std::filesystem::current_path(old_);
    if (this->HasFailure() && harness_) std::cerr << harness_->Logs();
    // Ends the adb server ("adb kill-server") and the simulator.
    if (harness_) harness_->Stop();
  }

  std::unique_ptr<TvHarness> harness_;
  std::unique_ptr<app::MainWindow> window_;
  std::filesystem::path old_;
};

}  // namespace quenlo::e2e
