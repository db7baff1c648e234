#include "device/leftover_cleanup.h"

namespace quenlo::device {
namespace {

int EndAllNamed(const ProcessControl& control, const std::string& name) {
  int count = 0;
  for (const auto& p : control.list()) {
    if (p.name != name || p.pid == control.ownPid) continue;
    control.end(p.pid);
    ++count;
  }
  return count;
}

}  // namespace

CleanupCounts EndLeftoverProcesses(const ProcessControl& control) {
  CleanupCounts counts;
  counts.interpreters = EndAllNamed(control, platform::kInterpreterProgramName);
  counts.adbs = EndAllNamed(control, platform::kAdbProgramName);
  return counts;
}

std::string CleanupMessage(const CleanupCounts& counts) {
  return "一共关闭 " + std::to_string(counts.interpreters) + " 个" + platform::kInterpreterProgramName +
         "程序\r\n一共关闭 " + std::to_string(counts.adbs) + " " + platform::kAdbProgramName + "程序\r\n";
}

}  // namespace quenlo::device
