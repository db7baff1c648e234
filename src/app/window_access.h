#pragma once
// The window as a worker thread sees it: every access runs on the window's
// thread. Once the window is gone, reads give empty texts, changes are
// dropped and messages return at once.
#include <QPointer>

#include "app/main_window.h"
#include "device/window_access.h"

namespace quenlo::app {

class QtWindowAccess : public device::WindowAccess {
 public:
  explicit QtWindowAccess(MainWindow* window) : window_(window) {}
  std::string IpText() override;
  void AppendOutput(const std::string& text) override;
  void SetConnectButton(std::optional<bool> enabled, std::optional<std::string> caption) override;
  void Inform(const std::string& text) override;

 private:
  QPointer<MainWindow> window_;
};

}  // namespace quenlo::app
