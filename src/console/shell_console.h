#pragma once
// The one long-lived command interpreter that runs every command line of the
// program, and the waits that keep the window usable meanwhile.
//
// A reader thread takes the interpreter's output as it arrives and hands it
// to the request whose reply it is. Requests are served strictly in the order
// they were made: a line is written only after the reply before it has its
// prompt back, so every reply belongs to its own command. Whoever waits
// (a window thread running its event loop, or a worker thread) only watches
// its own request; the console itself moves the queue along, so a command
// asked from inside another command's wait takes its turn without deadlock.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/process.h"

namespace quenlo::console {

// One blocking wait of one thread. `Wait` returns when `Wake` was called
// (also before `Wait` began), when the deadline passed, or early for any
// other reason: callers re-check their condition. A waiter for a window
// thread keeps processing that thread's events while it waits.
class Waiter {
 public:
  virtual ~Waiter() = default;
  virtual void Wait(std::chrono::steady_clock::time_point deadline) = 0;
  virtual void Wake() = 0;
};

using WaiterFactory = std::function<std::unique_ptr<Waiter>()>;

// Makes the waiter for the calling thread. The default one blocks on a
// condition variable; the window installs one that runs the event loop on
// its own thread.
void SetWaiterFactory(WaiterFactory factory);
std::unique_ptr<Waiter> MakeWaiter();
// The plain waiter that only blocks, whatever factory is installed.
std::unique_ptr<Waiter> MakeBlockingWaiter();

// Waits `ms` milliseconds while processing the calling thread's events (when
// its waiter does). Always returns true.
bool PumpingWait(int ms);

enum class ReadMode {
  UntilPrompt,  // wait for the prompt, without time limit; echo removed
  Briefly,      // wait for the prompt at most a little over one second
};

class ShellConsole {
 public:
  struct PipePair {
    int readEnd = -1;
    int writeEnd = -1;
  };

  ShellConsole();
  ~ShellConsole();
  ShellConsole(const ShellConsole&) = delete;
  ShellConsole& operator=(const ShellConsole&) = delete;

  // The interpreter program to start (UTF-8 path). Must be set before Start.
  void SetInterpreter(const std::string& utf8Path);

  // Starts a fresh interpreter (ending a previous one). 0 or an errno value.
  int Start();
  static int MakePipe(PipePair& pair);
  // Ends the interpreter; every wait on it ends. True when a running
  // interpreter was terminated.
  bool Close();
  // Sends one command line (CRLF is appended). 0, or an errno value when the
  // line could not be written.
  int SendCommand(const std::string& command);
  void ForwardOutput(const std::function<void(const std::string&)>& callback);
  // Reads the reply of this thread's last command: until its prompt, or for
  // a little over one second at most. Output arriving after a brief read
  // gave up is consumed with that command and never reaches a later one.
  std::string ReadBriefly();
  std::string ReadUntilPrompt();
  bool IsRunning();
  int StdOutputHandle() const;
  int StdInputHandle() const;
  int StdErrorHandle() const;
  // Pipes cannot seek: these answer as a pipe does (false / -1).
  bool SeekOutput(int origin, long distance);
  long OutputPosition();
  // Output bytes received that no command has claimed yet.
  std::size_t PendingBytes();
  // The current prompt, after an optional change of directory; restarts the
  // interpreter first when it has ended.
  std::string CurrentPrompt(const std::string& directory, bool change);

  // Sends `command` and reads its reply as one unit, in turn with every
  // other user of the console. Every user goes through this (or through
  // SendCommand followed by a read on the same thread).
  std::string Exchange(const std::string& command, ReadMode mode = ReadMode::UntilPrompt);

  const std::string& LastCommandLine() const { return lastCommandLine_; }
  std::string Prompt();

 private:
  struct Session;
  struct Request {
    std::string line;       // with CRLF; empty for the banner after a start
    std::string collected;  // output attributed to this request
    bool written = false;
    bool done = false;      // prompt seen, interpreter ended, or failed
    int starts = 0;         // interpreters started on its behalf
    int writeError = 0;
    std::string failure;    // set when no interpreter could run it
  };
  using RequestPtr = std::shared_ptr<Request>;

  RequestPtr Submit(const std::string& command);
  std::string Await(const RequestPtr& req, ReadMode mode);
  RequestPtr TakeThreadRequest();
  std::string ReadUnclaimed();
  int StartLocked(std::unique_lock<std::mutex>& lock);
  void Advance(std::unique_lock<std::mutex>& lock);
  void EndSession(std::unique_lock<std::mutex>& lock, const std::shared_ptr<Session>& s);
  void ReaderLoop(std::shared_ptr<Session> s);
  void OnOutput(std::unique_lock<std::mutex>& lock, const std::shared_ptr<Session>& s,
                const char* data, std::size_t size);
  void WakeAll();
  template <class Pred>
  bool WaitUntil(std::unique_lock<std::mutex>& lock, Pred done,
                 std::chrono::steady_clock::time_point deadline);

  std::mutex mu_;
  std::string interpreter_;
  std::shared_ptr<Session> session_;
  std::vector<std::thread> readers_;  // joined when the console closes
  bool closed_ = false;
  RequestPtr active_;                 // written (or banner), awaiting its prompt
  std::deque<RequestPtr> queue_;      // not yet written, in order of asking
  std::map<std::thread::id, RequestPtr> threadRequest_;
  std::string unclaimed_;             // output no request was waiting for
  std::string prompt_;
  std::string lastCommandLine_;
  int lastStartError_ = 0;
  std::set<Waiter*> waiters_;
  std::function<void(const std::string&)> forward_;
};

}  // namespace quenlo::console
