#pragma once
// The work behind the two long-running buttons, run on a worker thread:
// action 1 connects to the television, action 8 ends leftover interpreter
// and adb processes.
#include <string>

#include "device/leftover_cleanup.h"
#include "device/window_access.h"

namespace quenlo::console {
class ShellConsole;
}

namespace quenlo::device {

inline constexpr int kActionConnect = 1;
inline constexpr int kActionCloseLeftovers = 8;

inline constexpr const char* kConnectFailedMessage = "连接失败,请检查是否在同一个局域网内";

// Connects with "adb connect <ip>:5555" from the run directory (GBK), so that
// an adb placed beside the program is the one that runs.
void ConnectToTelevision(WindowAccess& window, console::ShellConsole& console,
                         const std::string& runDirectory);

// Puts the connect button back, ends the leftover processes and reports how
// many were ended.
void CloseLeftoverPrograms(WindowAccess& window, const ProcessControl& control = {});

void ButtonWorker(int actionCode, WindowAccess& window, console::ShellConsole& console,
                  const std::string& runDirectory, const ProcessControl& control = {});

}  // namespace quenlo::device
