#pragma once
// What a worker thread may do with the window. Every call is carried out on
// the window's own thread and completes before it returns, so a worker's
// changes reach the window in the order it made them.
#include <optional>
#include <string>

namespace quenlo::device {

class WindowAccess {
 public:
  virtual ~WindowAccess() = default;
  virtual std::string IpText() = 0;
  // Appends at the end of the output box (texts are GBK, CRLF line ends).
  virtual void AppendOutput(const std::string& text) = 0;
  // Changes the connect button; a missing part stays as it is.
  virtual void SetConnectButton(std::optional<bool> enabled, std::optional<std::string> caption) = 0;
  // An information box with an OK button, owned by the main window; returns
  // when the user has dismissed it. The rest of the window stays usable.
  virtual void Inform(const std::string& text) = 0;
};

}  // namespace quenlo::device
