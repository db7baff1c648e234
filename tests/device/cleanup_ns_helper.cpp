// Runs as the first process of its own PID namespace (started by the test
// with unshare), so that ending processes by name touches only what it
// started: the program's interpreter, a second interpreter, an adb server,
// and a process named ADB that must survive.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "console/shell_console.h"
#include "device/leftover_cleanup.h"
#include "free_port.h"
#include "platform/process.h"

namespace fs = std::filesystem;
using namespace quenlo;

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
  }
}

void ReapOrphans() {
  while (waitpid(-1, nullptr, WNOHANG) > 0) {
  }
}

bool Gone(int pid) {
  for (int i = 0; i < 200; ++i) {
    ReapOrphans();
    if (kill(pid, 0) != 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

int CountNamed(const char* name) {
  int n = 0;
  for (const auto& p : platform::ListProcesses()) n += p.name == name;
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || getpid() != 1) {
    std::fprintf(stderr, "run me as: unshare --pid --fork --mount-proc %s BIN_DIR\n", argv[0]);
    return 2;
  }
  const std::string bin = argv[1];
  char tmpl[] = "/tmp/quenlo-ns-XXXXXX";
  const fs::path dir = mkdtemp(tmpl);

  // The program's own interpreter, through its console.
  console::ShellConsole console;
  console.SetInterpreter(bin + "/quenlo-cmd");
  Check(console.Start() == 0, "console starts");
  console.ReadUntilPrompt();

  // A second interpreter, started outside the console.
  platform::ChildProcess second;
  Check(platform::SpawnWithPipes(bin + "/quenlo-cmd", {}, second) == 0, "second interpreter starts");

  // An adb server on a port of its own.
  const std::string port = std::to_string(quenlo::test::FreePort());
  const std::string startServer = "ANDROID_ADB_SERVER_PORT=" + port + " adb start-server >/dev/null 2>&1";
  Check(std::system(startServer.c_str()) == 0, "adb server starts");
  ReapOrphans();

  // A program named ADB: another name, left alone.
  fs::copy_file("/bin/sleep", dir / "ADB");
  platform::ChildProcess upper;
  Check(platform::SpawnWithPipes((dir / "ADB").string(), {"60"}, upper) == 0, "ADB starts");

  Check(CountNamed("quenlo-cmd") == 2, "two interpreters listed");
  Check(CountNamed("adb") == 1, "one adb listed");

  auto counts = device::EndLeftoverProcesses();
  Check(counts.interpreters == 2, "two interpreters ended");
  Check(counts.adbs == 1, "one adb ended");
  Check(Gone(second.pid), "second interpreter gone");
  // Ending a process takes effect a moment later.
  for (int i = 0; i < 200 && console.IsRunning(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  Check(!console.IsRunning(), "console's interpreter gone");
  for (int i = 0; i < 200 && CountNamed("adb") > 0; ++i) {
    ReapOrphans();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Check(CountNamed("adb") == 0, "adb server gone");
  Check(kill(upper.pid, 0) == 0, "ADB still running");

  // The console notices and the next use starts a new interpreter.
  Check(console.Exchange("echo again").rfind("again\r\n", 0) == 0, "console restarts");
  console.Close();
  ReapOrphans();

  auto none = device::EndLeftoverProcesses();
  Check(none.interpreters == 0 && none.adbs == 0, "nothing left to end");

  platform::TerminateAndReap(upper.pid, 100);
  fs::remove_all(dir);
  return failures == 0 ? 0 : 1;
}
