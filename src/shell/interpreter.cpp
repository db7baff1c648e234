#include "shell/interpreter.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/text.h"
#include "shell/output_translator.h"

extern char** environ;

namespace quenlo::shell {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kBanner[] = "Quenlo 命令解释器 [版本 2.0.19.929]";
constexpr char kPathNotFound[] = "系统找不到指定的路径。";
constexpr char kShell[] = "/bin/sh";
constexpr char kDefaultPath[] = "/usr/local/bin:/usr/bin:/bin";

// Once the command's shell has ended, output still arriving from something it
// left running is taken until the pipe has been quiet this long.
constexpr auto kQuietAfterExit = std::chrono::milliseconds(150);
// ... and for this long at most, so a background job that keeps writing
// cannot hold the prompt back for ever.
constexpr auto kLongestAfterExit = std::chrono::seconds(2);
// Time the command's processes get to end after SIGTERM before SIGKILL.
constexpr auto kTerminateGrace = std::chrono::milliseconds(300);

constexpr std::size_t kReadSize = 64 * 1024;

// Signals reach the main loop through a pipe the loop always polls: the
// handler only notes the signal and writes one byte.
volatile sig_atomic_t g_stopSignal = 0;
int g_wakePipe[2] = {-1, -1};

void OnSignal(int sig) {
  const int saved = errno;
  if (sig != SIGCHLD) g_stopSignal = sig;
  const char byte = 0;
  [[maybe_unused]] ssize_t ignored = write(g_wakePipe[1], &byte, 1);
  errno = saved;
}

int InstallSignals() {
  if (pipe2(g_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) return errno;
  signal(SIGPIPE, SIG_IGN);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
  action.sa_flags = SA_NOCLDSTOP;
  sigaction(SIGCHLD, &action, nullptr);
  return 0;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool StartsWithWord(std::string_view s, std::string_view word) {
  if (s.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    char c = s[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != word[i]) return false;
  }
  return s.size() == word.size() || IsBlank(s[word.size()]);
}

std::string CurrentDirectory() {
  std::vector<char> buf(4096);
  for (;;) {
    if (getcwd(buf.data(), buf.size()) != nullptr) return buf.data();
    if (errno != ERANGE) return {};
    buf.resize(buf.size() * 2);
  }
}

// dash gives '%' in a PATH entry a meaning of its own and ':' separates
// entries, so a directory holding either cannot go on PATH.
bool FitsOnPath(const std::string& dir) {
  return !dir.empty() && dir.find_first_of(":%") == std::string::npos;
}

// When the command's first word names an executable file in the current
// directory, makes it "./word" so it runs in preference to one on PATH.
// Used only when the directory cannot be put on PATH. Words the shell would
// expand or that already contain a path are left alone.
std::string PreferLocalProgram(const std::string& command) {
  const std::size_t begin = command.find_first_not_of(" \t");
  if (begin == std::string::npos) return command;
  std::size_t end = command.find_first_of(" \t\n;&|<>()", begin);
  if (end == std::string::npos) end = command.size();
  const std::string word = command.substr(begin, end - begin);
  if (word.find_first_of("/=\"'\\$`*?[]{}~#") != std::string::npos) return command;
  struct stat st {};
  if (stat(word.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || access(word.c_str(), X_OK) != 0)
    return command;
  std::string result = command;
  result.insert(begin, "./");
  return result;
}

class Interpreter {
 public:
  Interpreter(int inFd, int outFd) : inFd_(inFd), outFd_(outFd) {}

  int Run() {
    if (InstallSignals() != 0) return 1;
    cwd_ = CurrentDirectory();
    if (cwd_.empty()) {
      const char* pwd = std::getenv("PWD");
      cwd_ = pwd != nullptr ? pwd : "/";
    }
    Write(std::string(kBanner) + "\r\n\r\n" + Prompt());
    std::string line;
    while (ReadLine(line)) Execute(line);
    return 0;
  }

 private:
  std::string Prompt() const { return platform::Utf8ToGbk(cwd_) + ">"; }

  void Execute(const std::string& line) {
    if (TrimBlanks(line).empty()) {
      Write("\r\n" + Prompt());
      return;
    }
    Write(line + "\r\n");
    std::string dir;
    if (ParseChangeDir(line, dir))
      ChangeDir(dir);
    else
      RunCommand(line);
    Write("\r\n" + Prompt());
  }

  // Next input line without its line end; false at the end of the input. A
  // last line without a line end still counts.
  bool ReadLine(std::string& line) {
    for (;;) {
      const std::size_t nl = inBuf_.find('\n');
      if (nl != std::string::npos || (inEof_ && !inBuf_.empty())) {
        const std::size_t take = nl != std::string::npos ? nl : inBuf_.size();
        line.assign(inBuf_, 0, take);
        inBuf_.erase(0, nl != std::string::npos ? nl + 1 : take);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
      }
      if (inEof_) return false;
      if (!Wait(inFd_, POLLIN, -1)) continue;
      char buf[4096];
      const ssize_t n = read(inFd_, buf, sizeof buf);
      if (n > 0)
        inBuf_.append(buf, static_cast<std::size_t>(n));
      else if (n == 0 || (errno != EINTR && errno != EAGAIN))
        inEof_ = true;
    }
  }

  void ChangeDir(const std::string& dirGbk) {
    if (dirGbk.empty()) {
      Write(platform::Utf8ToGbk(cwd_) + "\r\n");
      return;
    }
    const std::string dir = platform::GbkToUtf8(dirGbk);
    if (chdir(dir.c_str()) != 0) {
      Write(std::string(kPathNotFound) + "\r\n");
      return;
    }
    std::string now = CurrentDirectory();
    if (!now.empty()) cwd_ = std::move(now);
  }

  // The environment of a command: the current directory first on PATH, so
  // a program there is found before one of the same name elsewhere.
  std::vector<std::string> ChildEnvironment() const {
    std::vector<std::string> env;
    std::string path = kDefaultPath;
    for (char** e = environ; *e != nullptr; ++e) {
      std::string_view entry(*e);
      if (entry.starts_with("PATH="))
        path = entry.substr(5);
      else if (!entry.starts_with("PWD="))
        env.emplace_back(entry);
    }
    if (FitsOnPath(cwd_)) path = path.empty() ? cwd_ : cwd_ + ":" + path;
    env.push_back("PATH=" + path);
    env.push_back("PWD=" + cwd_);
    return env;
  }

  void RunCommand(const std::string& lineGbk) {
    std::string command = platform::GbkToUtf8(lineGbk);
    if (!FitsOnPath(cwd_)) command = PreferLocalProgram(command);

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
      ReportStartFailure(errno);
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);

    // Own process group, so the whole command can be ended at once; default
    // handling of the signals this program ignores or catches.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults, none;
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGCHLD}) sigaddset(&defaults, sig);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                        POSIX_SPAWN_SETSIGMASK);

    std::vector<std::string> env = ChildEnvironment();
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string arg0 = "sh", arg1 = "-c";
    char* argv[] = {arg0.data(), arg1.data(), command.data(), nullptr};

    pid_t pid = -1;
    const int rc = posix_spawn(&pid, kShell, &actions, &attr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(out[1]);
    if (rc != 0) {
      close(out[0]);
      ReportStartFailure(rc);
      return;
    }
    child_ = pid;
    ForwardOutput(out[0]);
    close(out[0]);
    WaitForChild();
  }

  void ReportStartFailure(int err) {
    Write(std::string(kShell) + ": " + platform::Utf8ToGbk(std::strerror(err)) + "\r\n");
  }

  // Copies the command's output to the console until the pipe ends, or until
  // the shell has ended and the pipe stayed quiet for a moment (something
  // left running in the background still holds it open).
  void ForwardOutput(int fd) {
    OutputTranslator translator;
    std::vector<char> buf(kReadSize);
    Clock::time_point quietSince{}, exitedAt{};
    for (;;) {
      int timeoutMs = -1;
      if (childExited_) {
        const auto now = Clock::now();
        const auto left = std::min(kQuietAfterExit - (now - quietSince),
                                   kLongestAfterExit - (now - exitedAt));
        if (left <= Clock::duration::zero()) break;
        timeoutMs = static_cast<int>(
            std::chrono::ceil<std::chrono::milliseconds>(left).count());
      }
      const bool readable = Wait(fd, POLLIN, timeoutMs);
      if (!childExited_ && ReapChild(false)) quietSince = exitedAt = Clock::now();
      if (!readable) continue;
      const ssize_t n = read(fd, buf.data(), buf.size());
      if (n > 0) {
        Write(translator.Feed(std::string_view(buf.data(), static_cast<std::size_t>(n))));
        quietSince = Clock::now();
      } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
        break;
      }
    }
    Write(translator.Finish());
  }

  // Reaps the command's shell; with `block`, waits until it has ended.
  // Returns true once it has been reaped.
  bool ReapChild(bool block) {
    while (!childExited_) {
      int status = 0;
      const pid_t r = waitpid(child_, &status, WNOHANG);
      if (r == child_ || (r < 0 && errno == ECHILD)) {
        childExited_ = true;
        break;
      }
      if (!block) break;
      Wait(-1, 0, -1);  // SIGCHLD wakes us
    }
    return childExited_;
  }

  void WaitForChild() {
    ReapChild(true);
    child_ = -1;
    childExited_ = false;
  }

  // Ends every process of the running command: SIGTERM to its group, and
  // SIGKILL to whatever is left after a short grace.
  void EndCommand() {
    if (child_ <= 0) return;
    kill(-child_, SIGTERM);
    const auto deadline = Clock::now() + kTerminateGrace;
    while (Clock::now() < deadline) {
      if (!childExited_) {
        int status = 0;
        const pid_t r = waitpid(child_, &status, WNOHANG);
        if (r == child_ || (r < 0 && errno == ECHILD)) childExited_ = true;
      }
      if (childExited_ && kill(-child_, 0) != 0) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    kill(-child_, SIGKILL);
    if (!childExited_) {
      int status = 0;
      while (waitpid(child_, &status, 0) < 0 && errno == EINTR) {
      }
    }
    child_ = -1;
    childExited_ = false;
  }

  [[noreturn]] void Stop(int sig) {
    EndCommand();
    signal(sig, SIG_DFL);
    raise(sig);
    _exit(128 + sig);
  }

  // Nobody reads the console any more.
  [[noreturn]] void ConsoleGone() {
    EndCommand();
    _exit(1);
  }

  // Waits for `events` on `fd` (none when fd < 0), a signal, or the timeout
  // (ms, -1 for none). Handles a stop request itself. True when fd is ready.
  bool Wait(int fd, short events, int timeoutMs) {
    pollfd fds[2] = {{g_wakePipe[0], POLLIN, 0}, {fd, events, 0}};
    const int rc = poll(fds, fd >= 0 ? 2 : 1, timeoutMs);
    if (fds[0].revents != 0) {
      char drain[64];
      while (read(g_wakePipe[0], drain, sizeof drain) > 0) {
      }
    }
    if (g_stopSignal != 0) Stop(g_stopSignal);
    return rc > 0 && fd >= 0 && fds[1].revents != 0;
  }

  // Writes to the console. A console that stops reading must not keep a
  // stop request from being served, so the write never blocks: it waits for
  // room together with the signals, then writes no more than a pipe takes
  // at once when it reports room.
  void Write(std::string_view text) {
    while (!text.empty()) {
      if (!Wait(outFd_, POLLOUT, -1)) continue;
      const ssize_t n = write(outFd_, text.data(), std::min<std::size_t>(text.size(), PIPE_BUF));
      if (n > 0)
        text.remove_prefix(static_cast<std::size_t>(n));
      else if (n < 0 && errno != EINTR && errno != EAGAIN)
        ConsoleGone();
    }
  }

  const int inFd_;
  const int outFd_;
  std::string inBuf_;
  bool inEof_ = false;
  std::string cwd_;  // UTF-8
  pid_t child_ = -1;
  bool childExited_ = false;
};

}  // namespace

bool ParseChangeDir(std::string_view line, std::string& dir) {
  std::string_view rest = TrimBlanks(line);
  if (StartsWithWord(rest, "chdir"))
    rest.remove_prefix(5);
  else if (StartsWithWord(rest, "cd"))
    rest.remove_prefix(2);
  else
    return false;
  rest = TrimBlanks(rest);
  // "/d" also changes the drive on Windows; here there is only one.
  if (StartsWithWord(rest, "/d")) rest = TrimBlanks(rest.substr(2));
  if (!rest.empty() && rest.front() == '"') {
    rest.remove_prefix(1);
    if (!rest.empty() && rest.back() == '"') rest.remove_suffix(1);
  }
  dir.assign(rest);
  return true;
}

int RunInterpreter(int inFd, int outFd) { return Interpreter(inFd, outFd).Run(); }

}  // namespace quenlo::shell
