#pragma once
// Ends every command interpreter and every adb process left on the machine
// (ours included) and tells how many of each were ended.
#include <functional>
#include <string>
#include <vector>

#include "platform/process_list.h"

namespace quenlo::device {

struct CleanupCounts {
  int interpreters = 0;
  int adbs = 0;
};

struct ProcessControl {
  std::function<std::vector<platform::ProcessEntry>()> list = platform::ListProcesses;
  std::function<bool(int)> end = platform::EndProcess;
  int ownPid = platform::OwnProcessId();
};

// First every process named exactly as the interpreter, then, from a fresh
// list, every one named exactly as adb. Each match counts, whether or not it
// could be ended; the program's own process is never ended.
CleanupCounts EndLeftoverProcesses(const ProcessControl& control = {});

// "一共关闭 N 个quenlo-cmd程序\r\n一共关闭 M adb程序\r\n"
std::string CleanupMessage(const CleanupCounts& counts);

}  // namespace quenlo::device
