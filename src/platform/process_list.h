#pragma once
// The processes of the machine and ending one of them.
#include <string>
#include <vector>

namespace quenlo::platform {

struct ProcessEntry {
  std::string name;  // executable file name without its directory (GBK)
  int pid = 0;
};

// Every process, in the order the system lists them. Empty when no list
// could be taken.
std::vector<ProcessEntry> ListProcesses();

// Ends the process at once. False when it could not be ended.
bool EndProcess(int pid);

// This program's own process id.
int OwnProcessId();

// The executable names of the command interpreter and of the adb client.
inline constexpr const char* kInterpreterProgramName = "quenlo-cmd";
inline constexpr const char* kAdbProgramName = "adb";

}  // namespace quenlo::platform
