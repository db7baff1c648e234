#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace quenlo::platform {

void IgnoreBrokenPipes() { signal(SIGPIPE, SIG_IGN); }

int SpawnWithPipes(const std::string& program, const std::vector<std::string>& args,
                   ChildProcess& child) {
  IgnoreBrokenPipes();
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0) return errno;
  if (pipe2(out, O_CLOEXEC) != 0) {
    int err = errno;
    close(in[0]);
    close(in[1]);
    return err;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, out[1], 2);

  // The child starts with default signal handling even though we ignore
  // SIGPIPE ourselves.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  int rc = posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  close(in[0]);
  close(out[1]);
  if (rc != 0) {
    close(in[1]);
    close(out[0]);
    return rc;
  }
  child.pid = pid;
  child.inputFd = in[1];
  child.outputFd = out[0];
  return 0;
}

bool ProcessAlive(int pid) {
  if (pid <= 0) return false;
  int status = 0;
  pid_t r = waitpid(pid, &status, WNOHANG);
  if (r == 0) return true;
  if (r == pid) return false;
  // Not our child (or already reaped): fall back to a signal probe.
  return errno != ECHILD ? false : kill(pid, 0) == 0;
}

bool TerminateAndReap(int pid, int graceMs) {
  if (pid <= 0) return false;
  int status = 0;
  pid_t r = waitpid(pid, &status, WNOHANG);
  if (r == pid || (r < 0 && errno == ECHILD)) return false;
  if (kill(pid, SIGTERM) != 0) return false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
  while (std::chrono::steady_clock::now() < deadline) {
    r = waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno == ECHILD)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return true;
}

int WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

std::size_t BytesAvailable(int fd) {
  int n = 0;
  if (fd < 0 || ioctl(fd, FIONREAD, &n) != 0 || n < 0) return 0;
  return static_cast<std::size_t>(n);
}

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

}  // namespace quenlo::platform
