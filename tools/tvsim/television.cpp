#include "television.h"

#include <sys/stat.h>

#include <cstdio>

namespace tvsim {

Television::Television(TvState state, int android, std::string statePath)
    : state_(std::move(state)),
      android_(android),
      statePath_(std::move(statePath)),
      shell_(state_, android) {}

bool Television::Open(std::string* error) {
  std::lock_guard<std::mutex> lock(mu_);
  if (statePath_.empty()) return true;
  struct stat st {};
  if (stat(statePath_.c_str(), &st) == 0) {
    std::optional<TvState> loaded = LoadState(statePath_, error);
    if (!loaded) return false;
    state_ = std::move(*loaded);
    return true;
  }
  return SaveState(state_, statePath_, error);
}

std::string Television::Banner() const {
  const auto props = DeviceProperties(android_);
  std::string banner = "device::";
  for (const char* key : {"ro.product.name", "ro.product.model", "ro.product.device"})
    banner += std::string(key) + "=" + props.at(key) + ";";
  if (android_ >= 7) banner += "features=shell_v2,cmd";
  return banner;
}

ShellResult Television::Execute(const std::string& line) {
  std::lock_guard<std::mutex> lock(mu_);
  ShellResult result = shell_.Run(line);
  if (result.changed && !statePath_.empty()) {
    std::string error;
    if (!SaveState(state_, statePath_, &error)) std::fprintf(stderr, "tvsim: %s\n", error.c_str());
  }
  return result;
}

TvState Television::Snapshot() {
  std::lock_guard<std::mutex> lock(mu_);
  return state_;
}

}  // namespace tvsim
