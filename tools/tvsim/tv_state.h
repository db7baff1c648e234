#pragma once
// What the simulated television holds: its installed packages, its running
// processes, and the list of commands that changed either. The state file is
// this as JSON:
//
//   {
//     "packages": [{"name": "com.mitv.tvhome", "system": true, "installed": true,
//                   "enabled": "enabled", "uid": 10019,
//                   "path": "/system/app/MitvTvhome/MitvTvhome.apk"}, ...],
//     "processes": [{"user": "u0_a19", "pid": 974, "ppid": 224, "vsize": 1236669,
//                    "rss": 44276, "wchan": "SyS_epoll_wait", "pc": "00000000",
//                    "state": "S", "name": "com.mitv.tvhome",
//                    "package": "com.mitv.tvhome"}, ...],
//     "changes": [{"command": "pm uninstall --user 0 com.miui.systemAdSolution",
//                  "output": "Success"}, ...]
//   }
//
// "installed" is the installed-for-user-0 flag; "enabled" is one of
// "enabled", "disabled", "disabled-user". A package removed for every user is
// gone from the list. "package" names the package a process belongs to
// (empty for kernel threads and native daemons).
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "json.h"

namespace tvsim {

enum class EnabledState { Enabled, Disabled, DisabledUser };

const char* EnabledStateName(EnabledState state);
std::optional<EnabledState> EnabledStateFromName(const std::string& name);

struct Package {
  std::string name;
  bool system = true;
  bool installed = true;  // for user 0
  EnabledState enabled = EnabledState::Enabled;
  int uid = 0;
  std::string path;  // the APK

  bool IsEnabled() const { return enabled == EnabledState::Enabled; }
};

struct Process {
  std::string user;
  int pid = 0;
  int ppid = 0;
  long vsize = 0;  // KiB, as ps shows it
  long rss = 0;    // KiB
  std::string wchan;
  std::string pc = "00000000";
  std::string state = "S";
  std::string name;
  std::string package;
};

struct Change {
  std::string command;
  std::string output;
};

struct TvState {
  std::vector<Package> packages;
  std::vector<Process> processes;
  std::vector<Change> changes;

  Package* FindPackage(const std::string& name);
  const Package* FindPackage(const std::string& name) const;
  // Removes every process of `package`; returns how many there were.
  int StopPackage(const std::string& package);
};

// The television as it leaves the factory: a Xiaomi TV on Android 6 with
// about 150 packages and 60 processes.
TvState DefaultTv();

// The user name ps shows for a uid: root, system, shell, u0_a19, ...
std::string UserName(int uid);

Json ToJson(const TvState& state);
std::optional<TvState> FromJson(const Json& json, std::string* error);

// Reads the state file. Nothing (and `error` set) when it cannot be read or
// is not a valid state.
std::optional<TvState> LoadState(const std::string& path, std::string* error);
// Replaces the state file in one step (a temporary file renamed over it).
bool SaveState(const TvState& state, const std::string& path, std::string* error);

// The device's system properties for the given Android version (6 or 7).
std::map<std::string, std::string> DeviceProperties(int android);

}  // namespace tvsim
