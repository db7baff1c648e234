#include "device/button_worker.h"

#include "console/shell_console.h"

namespace quenlo::device {

void ConnectToTelevision(WindowAccess& window, console::ShellConsole& console,
                         const std::string& runDirectory) {
  window.AppendOutput("adb connect " + window.IpText() + ":5555\r\n");
  window.SetConnectButton(false, std::nullopt);

  // adb is run by name: make the run directory current so the interpreter
  // finds an adb placed there first.
  if (console.CurrentPrompt(std::string(), false) != runDirectory + ">")
    console.CurrentPrompt(runDirectory, true);

  // The address is read again: the user may have changed it meanwhile.
  const std::string reply = console.Exchange("adb connect " + window.IpText() + ":5555");
  if (reply.find("connected to") != std::string::npos) {
    window.SetConnectButton(std::nullopt, std::string("已连接"));
  } else {
    window.Inform(kConnectFailedMessage);
    window.SetConnectButton(true, std::string("连接"));
  }
  window.AppendOutput(reply);
}

void CloseLeftoverPrograms(WindowAccess& window, const ProcessControl& control) {
  window.SetConnectButton(true, std::string("连接"));
  window.Inform(CleanupMessage(EndLeftoverProcesses(control)));
}

void ButtonWorker(int actionCode, WindowAccess& window, console::ShellConsole& console,
                  const std::string& runDirectory, const ProcessControl& control) {
  switch (actionCode) {
    case kActionConnect: ConnectToTelevision(window, console, runDirectory); break;
    case kActionCloseLeftovers: CloseLeftoverPrograms(window, control); break;
    default: break;
  }
}

}  // namespace quenlo::device
