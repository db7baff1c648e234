#pragma once
// The work behind the two long-running buttons, run on a worker thread:
// action 1 connects to the television, action 8 ends leftover interpreter
// and adb processes.
namespace quenlo::device {

inline constexpr int kActionConnect = 1;
inline constexpr int kActionCloseLeftovers = 8;

void ButtonWorker(int actionCode);

}  // namespace quenlo::device
