#include "platform/process_list.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "platform/text.h"

namespace quenlo::platform {
namespace {

// The name of the program a process runs: the file name of its executable,
// or, where that cannot be read (kernel threads, other users' processes),
// the short name the kernel keeps for it.
std::string ProcessName(const std::string& pidDir) {
  char buf[4096];
  ssize_t n = readlink((pidDir + "/exe").c_str(), buf, sizeof buf - 1);
  if (n > 0) {
    std::string exe(buf, static_cast<std::size_t>(n));
    const std::string deleted = " (deleted)";
    if (exe.size() > deleted.size() && exe.compare(exe.size() - deleted.size(), deleted.size(), deleted) == 0)
      exe.resize(exe.size() - deleted.size());
    auto slash = exe.rfind('/');
    return Utf8ToGbk(slash == std::string::npos ? exe : exe.substr(slash + 1));
  }
  std::ifstream comm(pidDir + "/comm");
  std::string name;
  std::getline(comm, name);
  return Utf8ToGbk(name);
}

}  // namespace

std::vector<ProcessEntry> ListProcesses() {
  std::vector<ProcessEntry> list;
  DIR* dir = opendir("/proc");
  if (!dir) return list;
  while (dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name.empty() || !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    ProcessEntry entry;
    entry.pid = std::stoi(name);
    entry.name = ProcessName("/proc/" + name);
    list.push_back(std::move(entry));
  }
  closedir(dir);
  return list;
}

bool EndProcess(int pid) {
  if (pid <= 0) return false;
  return kill(pid, SIGKILL) == 0;
}

int OwnProcessId() { return static_cast<int>(getpid()); }

}  // namespace quenlo::platform
