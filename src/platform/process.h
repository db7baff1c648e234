#pragma once
// Child processes with pipes, and process listing/ending, behind a small
// interface so another operating system's implementation can sit beside the
// POSIX one.
#include <cstdint>
#include <string>
#include <vector>

namespace quenlo::platform {

// Process-wide setup the program needs before it uses pipes: writing to a
// pipe whose reader has gone must give an error, not kill the program.
void IgnoreBrokenPipes();

// A started child process whose standard input is fed by `inputFd` and whose
// standard output and standard error both go into `outputFd`.
struct ChildProcess {
  int pid = -1;
  int inputFd = -1;   // our write end of the child's standard input
  int outputFd = -1;  // our read end of the child's merged output
};

// Starts `program` (an absolute path, UTF-8) with `args` (without argv[0]) in
// the current directory. Returns 0 and fills `child`, or an errno value.
// The child's ends of both pipes are closed in this process, so `outputFd`
// reports end of data once the child and everything holding its output
// have ended.
int SpawnWithPipes(const std::string& program, const std::vector<std::string>& args,
                   ChildProcess& child);

// True while the process has not ended. Reaps it when it has.
bool ProcessAlive(int pid);

// Asks the process to end (SIGTERM), waits up to `graceMs` for it, then
// kills it (SIGKILL) and reaps it. Returns true when a live process was
// ended, false when it had already ended or could not be signalled.
bool TerminateAndReap(int pid, int graceMs);

// Writes all of `data` to `fd`; returns 0 or an errno value.
int WriteAll(int fd, const char* data, std::size_t size);

// Bytes waiting to be read from a pipe (FIONREAD); 0 on error.
std::size_t BytesAvailable(int fd);

void CloseFd(int& fd);

}  // namespace quenlo::platform
