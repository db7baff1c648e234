#pragma once
// The one television every connection talks to: its state behind a lock,
// written back to the state file after every change.
#include <mutex>
#include <string>

#include "tv_shell.h"
#include "tv_state.h"

namespace tvsim {

class Television {
 public:
  // `statePath` may be empty (nothing is written).
  Television(TvState state, int android, std::string statePath);

  // Loads the state file when it exists, else starts from the default TV and
  // writes it there. False (with `error`) when an existing file is not a
  // valid state or the file cannot be written.
  bool Open(std::string* error);

  int Android() const { return android_; }
  // "device::ro.product.name=...;ro.product.model=...;ro.product.device=...;"
  // and, on Android 7, "features=shell_v2,cmd".
  std::string Banner() const;

  // Runs one command line; a change is saved before this returns.
  ShellResult Execute(const std::string& line);

  TvState Snapshot();

 private:
  std::mutex mu_;
  TvState state_;
  int android_;
  std::string statePath_;
  TvShell shell_;
};

}  // namespace tvsim
