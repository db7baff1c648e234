#include "tv_harness.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "free_port.h"

namespace fs = std::filesystem;

namespace quenlo::e2e {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kTvsim = std::string(QUENLO_BIN_DIR) + "/tvsim";

// Starts `argv` with standard input from /dev/null and standard output and
// error to `outFd`. The child gets SIGTERM should this thread end first, so
// nothing started here outlives a crashed test.
pid_t Launch(const std::vector<std::string>& argv, int outFd) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid != 0) return pid;
  // Child: only async-signal-safe calls until exec.
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) _exit(127);
  const int devnull = open("/dev/null", O_RDONLY);
  if (devnull >= 0) dup2(devnull, 0);
  dup2(outFd, 1);
  dup2(outFd, 2);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

// Waits up to `ms` for `pid`; its exit status, or -1 when it is still
// running.
int WaitFor(pid_t pid, int ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    int status = 0;
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (r < 0) return 255;  // not our child any more
    if (Clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Ends a child that did not end by itself: SIGTERM, then SIGKILL.
void EndChild(pid_t pid) {
  if (pid <= 0) return;
  if (WaitFor(pid, 0) != -1) return;
  kill(pid, SIGTERM);
  if (WaitFor(pid, 3000) != -1) return;
  kill(pid, SIGKILL);
  WaitFor(pid, 3000);
}

bool Accepts(const std::string& address, int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, address.c_str(), &addr.sin_addr);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

// True when process `pid` itself holds a socket listening on TCP `port`
// (IPv4 or IPv6): a server that lost the race for the port to somebody else
// does not count, even though the port answers.
bool ListensOn(pid_t pid, int port) {
  std::vector<std::string> inodes;
  for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    std::ifstream in(table);
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string slot, local, remote, state, queues, timer, retrans, uid, timeout, inode;
      fields >> slot >> local >> remote >> state >> queues >> timer >> retrans >> uid >> timeout >>
          inode;
      const auto colon = local.rfind(':');
      if (state != "0A" || colon == std::string::npos) continue;  // 0A: listening
      if (std::stoi(local.substr(colon + 1), nullptr, 16) == port)
        inodes.push_back("socket:[" + inode + "]");
    }
  }
  if (inodes.empty()) return false;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    std::error_code linkError;
    const std::string target = fs::read_symlink(entry.path(), linkError).string();
    for (const auto& inode : inodes)
      if (target == inode) return true;
  }
  return false;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

int OpenLog(const fs::path& path) {
  return open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

}  // namespace

CommandResult RunCommand(const std::vector<std::string>& argv, int timeoutMs) {
  CommandResult result;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return result;
  const pid_t pid = Launch(argv, fds[1]);
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    return result;
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  char buf[4096];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) break;
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    result.output.append(buf, static_cast<std::size_t>(n));
  }
  close(fds[0]);
  const int status = WaitFor(pid, Clock::now() < deadline ? 5000 : 0);
  if (status == -1) {
    EndChild(pid);
    return result;
  }
  result.status = status;
  return result;
}

TvHarness::TvHarness(int android, std::vector<std::string> extraTvsimArgs)
    : android_(android), extraTvsimArgs_(std::move(extraTvsimArgs)) {}

TvHarness::~TvHarness() { Stop(); }

bool TvHarness::Start(std::string* error) {
  char tmpl[] = "/tmp/quenlo-e2e-XXXXXX";
  if (!mkdtemp(tmpl)) {
    *error = std::string("mkdtemp: ") + std::strerror(errno);
    return false;
  }
  dir_ = tmpl;
  fs::create_directory(RunDirectory());
  started_ = true;
  if (const char* old = std::getenv("ANDROID_ADB_SERVER_PORT")) {
    hadPortVariable_ = true;
    oldPortVariable_ = old;
  }
  return StartAdbServer(error) && StartSimulator(error);
}

bool TvHarness::StartAdbServer(std::string* error) {
  // The server runs in the foreground as this process's child; a port taken
  // meanwhile by somebody else just means trying another.
  for (int attempt = 0; attempt < 5; ++attempt) {
    adbPort_ = quenlo::test::FreePort();
    if (adbPort_ == 0) continue;
    setenv("ANDROID_ADB_SERVER_PORT", std::to_string(adbPort_).c_str(), 1);
    const int log = OpenLog(dir_ / "adb-server.log");
    adbServer_ = Launch({"adb", "nodaemon", "server"}, log);
    close(log);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
      if (ListensOn(adbServer_, adbPort_)) return true;
      if (WaitFor(adbServer_, 0) != -1) break;  // it gave up
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EndChild(adbServer_);
    adbServer_ = -1;
  }
  *error = "the adb server did not start:\n" + ReadText(dir_ / "adb-server.log");
  return false;
}

bool TvHarness::StartSimulator(std::string* error) {
  // The first address of 127.0.0.2 ... 127.0.0.254 where port 5555 is free.
  for (int n = 2; n < 255; ++n) {
    const std::string address = "127.0.0." + std::to_string(n);
    if (Accepts(address, 5555)) continue;
    const fs::path logPath = dir_ / "tvsim.log";
    fs::remove(logPath);
    const int log = OpenLog(logPath);
    std::vector<std::string> argv = {kTvsim,      "--listen",  address,
                                     "--port",    "5555",      "--state",
                                     StatePath(), "--android", std::to_string(android_),
                                     "--verbose"};
    argv.insert(argv.end(), extraTvsimArgs_.begin(), extraTvsimArgs_.end());
    tvsim_ = Launch(argv, log);
    close(log);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    bool exited = false;
    while (Clock::now() < deadline) {
      if (ReadText(logPath).find("tvsim listening on " + address + ":5555") != std::string::npos) {
        address_ = address;
        return true;
      }
      if (WaitFor(tvsim_, 0) != -1) {
        exited = true;  // somebody took the address meanwhile
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const std::string log_text = ReadText(logPath);
    if (!exited) EndChild(tvsim_);
    tvsim_ = -1;
    if (log_text.find("cannot listen") == std::string::npos) {
      *error = "tvsim did not start:\n" + log_text;
      return false;
    }
  }
  *error = "no loopback address with a free port 5555";
  return false;
}

bool TvHarness::Connect(std::string* error) {
  CommandResult r = Adb({"connect", Serial()});
  if (r.output.find("connected to " + Serial()) == std::string::npos) {
    *error = "adb connect: " + r.output;
    return false;
  }
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < deadline) {
    r = Adb({"devices"});
    if (r.output.find(Serial() + "\tdevice") != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  *error = "adb devices: " + r.output;
  return false;
}

CommandResult TvHarness::Adb(const std::vector<std::string>& args, int timeoutMs) const {
  // The port goes on the command line too, so a second harness in the same
  // process (whose port the environment then names) does not mislead it.
  std::vector<std::string> argv = {"adb", "-P", std::to_string(adbPort_)};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunCommand(argv, timeoutMs);
}

tvsim::TvState TvHarness::State() const {
  std::string error;
  auto state = tvsim::LoadState(StatePath(), &error);
  return state ? *state : tvsim::TvState();
}

std::string TvHarness::Logs() const {
  return "--- adb server ---\n" + ReadText(dir_ / "adb-server.log") + "--- tvsim ---\n" +
         ReadText(dir_ / "tvsim.log");
}

void TvHarness::Stop() {
  if (!started_) return;
  started_ = false;
  if (adbServer_ > 0) {
    // The server is asked to end the ordinary way first.
    Adb({"kill-server"}, 10000);
    if (WaitFor(adbServer_, 5000) == -1) EndChild(adbServer_);
    adbServer_ = -1;
  }
  if (tvsim_ > 0) {
    kill(tvsim_, SIGTERM);
    if (WaitFor(tvsim_, 5000) == -1) EndChild(tvsim_);
    tvsim_ = -1;
  }
  if (hadPortVariable_)
    setenv("ANDROID_ADB_SERVER_PORT", oldPortVariable_.c_str(), 1);
  else
    unsetenv("ANDROID_ADB_SERVER_PORT");
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

}  // namespace quenlo::e2e
