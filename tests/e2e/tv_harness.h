#pragma once
// The end-to-end bench: a simulated television (tvsim) on a loopback address
// of its own, port 5555, and an adb server of its own on a free port. Every
// adb this process runs afterwards (directly or through the interpreter)
// reaches that server through ANDROID_ADB_SERVER_PORT, which is set in this
// process's environment while the harness runs.
//
// Stop() (also run by the destructor) asks the adb server to end with
// "adb kill-server" and stops the simulator by its process id; both are
// children of this process that also end should this process die.
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tv_state.h"

namespace quenlo::e2e {

struct CommandResult {
  int status = -1;     // exit status; -1 when it could not run or timed out
  std::string output;  // standard output and error together
};

// Runs a program found on PATH with this process's environment, standard
// input from /dev/null, and waits at most `timeoutMs` (then kills it).
CommandResult RunCommand(const std::vector<std::string>& argv, int timeoutMs = 30000);

class TvHarness {
 public:
  // `android` 6 or 7, passed on to tvsim; `extraTvsimArgs` as well.
  explicit TvHarness(int android, std::vector<std::string> extraTvsimArgs = {});
  ~TvHarness();
  TvHarness(const TvHarness&) = delete;
  TvHarness& operator=(const TvHarness&) = delete;

  // Makes the temporary directory, starts the adb server and the simulator.
  // False with `error` set when something could not start.
  bool Start(std::string* error);
  // "adb connect" to the simulator, then waits until adb lists it as a
  // device. False with the adb output in `error` otherwise.
  bool Connect(std::string* error);
  void Stop();

  const std::string& Address() const { return address_; }  // 127.0.0.N
  std::string Serial() const { return address_ + ":5555"; }
  int AdbPort() const { return adbPort_; }
  const std::filesystem::path& Directory() const { return dir_; }
  // An empty directory for the program under test to run in.
  std::filesystem::path RunDirectory() const { return dir_ / "run"; }
  std::string StatePath() const { return (dir_ / "tv.json").string(); }
  // The simulator's state as its file holds it now.
  tvsim::TvState State() const;
  // The logs of the adb server and the simulator, for a failing test.
  std::string Logs() const;

  // Runs adb with the harness's server (named by -P as well).
  CommandResult Adb(const std::vector<std::string>& args, int timeoutMs = 30000) const;

 private:
  bool StartAdbServer(std::string* error);
  bool StartSimulator(std::string* error);

  int android_;
  std::vector<std::string> extraTvsimArgs_;
  std::filesystem::path dir_;
  std::string address_;
  int adbPort_ = 0;
  pid_t adbServer_ = -1;
  pid_t tvsim_ = -1;
  bool hadPortVariable_ = false;
  std::string oldPortVariable_;
  bool started_ = false;
};

}  // namespace quenlo::e2e
