#pragma once
// A main window in a temporary run directory that is also the current
// directory, so the interpreter finds a stand-in adb there first.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTest>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/main_window.h"
#include "app/shared_state.h"
#include "platform/qt_text.h"
#include "platform/text.h"
#include "ui/dialogs.h"

namespace fs = std::filesystem;

using quenlo::FromQ;
using quenlo::ToQ;
using quenlo::app::MainWindow;
using quenlo::app::Shared;


class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/quenlo-gui-XXXXXX";
    dir_ = mkdtemp(tmpl);
    old_ = fs::current_path();
    // The interpreter starts in the program's current directory and finds a
    // program there before the one on PATH.
    fs::current_path(dir_);
    quenlo::app::InitializeProcess(std::string(QUENLO_BIN_DIR) + "/quenlo-cmd",
                                   quenlo::platform::Utf8ToGbk(dir_.string()));
  }
  void TearDown() override {
    if (window_) {
      window_->close();
      window_.reset();
    }
    Shared().console.Close();
    fs::current_path(old_);
    fs::remove_all(dir_);
  }
  // A stand-in adb made of a shell script body.
  void StandInAdbScript(const std::string& body) {
    fs::path p = dir_ / "adb";
    std::ofstream(p) << "#!/bin/sh\n" << body;
    chmod(p.c_str(), 0755);
  }
  // A stand-in adb that prints `devices` after `delay` seconds.
  void StandInAdb(const std::string& devices, const std::string& delay = "0") {
    fs::path p = dir_ / "adb";
    std::ofstream(p) << "#!/bin/sh\nsleep " << delay << "\nprintf '" << devices << "'\n";
    chmod(p.c_str(), 0755);
  }
  // With `realWorker` the buttons run the real connect and cleanup work; the
  // cleanup then sees only the process list the test gives it.
  MainWindow& OpenWindow(bool realWorker = false) {
    window_ = std::make_unique<MainWindow>();
    dialogs_ = std::make_shared<quenlo::ui::ScriptedDialogs>();
    window_->SetDialogs(dialogs_);
    quenlo::device::ProcessControl control;
    control.list = [this] { return processes_; };
    control.end = [this](int pid) {
      ended_.push_back(pid);
      return true;
    };
    window_->SetProcessControl(control);
    if (!realWorker) window_->SetButtonWorker([this](int code) { lastCode_ = code; ++clicks_; });
    window_->Open();
    return *window_;
  }
  void WaitForStartup() {
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_->StartupFinished(); }, 20000));
  }
  template <class T>
  T* Find(const char* name) {
    return window_->findChild<T*>(ToQ(name));
  }

  fs::path dir_, old_;
  std::unique_ptr<MainWindow> window_;
  std::shared_ptr<quenlo::ui::ScriptedDialogs> dialogs_;
  std::atomic<int> lastCode_{0};
  std::atomic<int> clicks_{0};
  std::vector<quenlo::platform::ProcessEntry> processes_;
  std::vector<int> ended_;
};

