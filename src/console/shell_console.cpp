#include "console/shell_console.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "console/text_rules.h"
#include "platform/text.h"

namespace quenlo::console {
namespace {

using Clock = std::chrono::steady_clock;

class BlockingWaiter : public Waiter {
 public:
  void Wait(Clock::time_point deadline) override {
    std::unique_lock lock(mu_);
    cv_.wait_until(lock, deadline, [&] { return woken_; });
    woken_ = false;
  }
  void Wake() override {
    std::lock_guard lock(mu_);
    woken_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  bool woken_ = false;
};

std::mutex g_factoryMu;
WaiterFactory g_factory;

// How long an interpreter that was asked to end may take before it is killed.
constexpr int kTerminateGraceMs = 500;

std::string StartFailureText(const std::string& program, int err) {
  std::string why;
  switch (err) {
    case ENOENT: why = "找不到该程序"; break;
    case EACCES: why = "没有执行权限"; break;
    case ENOEXEC: why = "不是可以执行的程序"; break;
    case EMFILE:
    case ENFILE: why = "打开的文件过多"; break;
    case ENOMEM:
    case EAGAIN: why = "系统资源不足"; break;
    default: why = platform::Utf8ToGbk(std::strerror(err)); break;
  }
  return "无法启动命令解释器 " + platform::Utf8ToGbk(program) + " :" + why;
}

}  // namespace

void SetWaiterFactory(WaiterFactory factory) {
  std::lock_guard lock(g_factoryMu);
  g_factory = std::move(factory);
}

std::unique_ptr<Waiter> MakeWaiter() {
  {
    std::lock_guard lock(g_factoryMu);
    if (g_factory) {
      if (auto w = g_factory()) return w;
    }
  }
  return MakeBlockingWaiter();
}

std::unique_ptr<Waiter> MakeBlockingWaiter() { return std::make_unique<BlockingWaiter>(); }

bool PumpingWait(int ms) {
  auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  auto waiter = MakeWaiter();
  while (Clock::now() < deadline) waiter->Wait(deadline);
  return true;
}

// One interpreter process. Its descriptors are closed when the last user
// (the console or the session's reader thread) lets go of it.
struct ShellConsole::Session {
  platform::ChildProcess child;
  int wakeRead = -1;   // written to stop the reader thread early
  int wakeWrite = -1;
  bool ended = false;   // output reached its end or the session was closed
  bool reaped = false;  // the process is known to have ended

  Session() = default;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session() {
    platform::CloseFd(child.inputFd);
    platform::CloseFd(child.outputFd);
    platform::CloseFd(wakeRead);
    platform::CloseFd(wakeWrite);
  }
};

ShellConsole::ShellConsole() = default;

ShellConsole::~ShellConsole() {
  Close();
}

void ShellConsole::SetInterpreter(const std::string& utf8Path) {
  std::lock_guard lock(mu_);
  interpreter_ = utf8Path;
}

int ShellConsole::MakePipe(PipePair& pair) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return errno;
  pair.readEnd = fds[0];
  pair.writeEnd = fds[1];
  return 0;
}

int ShellConsole::Start() {
  std::unique_lock lock(mu_);
  closed_ = false;
  int rc = StartLocked(lock);
  // The banner is what this thread reads next.
  threadRequest_[std::this_thread::get_id()] = active_;
  return rc;
}

int ShellConsole::StartLocked(std::unique_lock<std::mutex>& lock) {
  if (session_ && !session_->ended) {
    auto old = session_;
    platform::TerminateAndReap(old->child.pid, kTerminateGraceMs);
    old->reaped = true;
    EndSession(lock, old);
  }
  auto banner = std::make_shared<Request>();
  banner->written = true;
  active_ = banner;

  auto s = std::make_shared<Session>();
  int rc = platform::SpawnWithPipes(interpreter_, {}, s->child);
  if (rc == 0) {
    PipePair wake;
    rc = MakePipe(wake);
    if (rc == 0) {
      s->wakeRead = wake.readEnd;
      s->wakeWrite = wake.writeEnd;
    } else {
      platform::TerminateAndReap(s->child.pid, kTerminateGraceMs);
    }
  }
  lastStartError_ = rc;
  if (rc != 0) {
    session_.reset();
    banner->failure = StartFailureText(interpreter_, rc);
    banner->done = true;
    WakeAll();
    return rc;
  }
  session_ = s;
  readers_.emplace_back([this, s] { ReaderLoop(s); });
  return 0;
}

void ShellConsole::ReaderLoop(std::shared_ptr<Session> s) {
  std::string buf(64 * 1024, '\0');
  for (;;) {
    pollfd fds[2] = {{s->child.outputFd, POLLIN, 0}, {s->wakeRead, POLLIN, 0}};
    int n = poll(fds, 2, -1);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[1].revents != 0) return;  // the console ended this session itself
    if (fds[0].revents == 0) continue;
    ssize_t got = read(s->child.outputFd, buf.data(), buf.size());
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) break;
    std::unique_lock lock(mu_);
    OnOutput(lock, s, buf.data(), static_cast<std::size_t>(got));
  }
  std::unique_lock lock(mu_);
  if (!s->reaped) {
    // The output ended: the interpreter has ended or is about to.
    platform::TerminateAndReap(s->child.pid, kTerminateGraceMs);
    s->reaped = true;
  }
  EndSession(lock, s);
  Advance(lock);
}

void ShellConsole::OnOutput(std::unique_lock<std::mutex>& lock, const std::shared_ptr<Session>& s,
                            const char* data, std::size_t size) {
  if (s != session_ || s->ended) return;
  if (active_ && !active_->done) {
    active_->collected.append(data, size);
    if (EndsWithPrompt(active_->collected)) {
      auto last = LastLine(active_->collected);
      if (last != prompt_) prompt_.assign(last);
      active_->done = true;
      WakeAll();
      Advance(lock);
    }
    return;
  }
  unclaimed_.append(data, size);
}

void ShellConsole::EndSession(std::unique_lock<std::mutex>&, const std::shared_ptr<Session>& s) {
  if (s->ended) return;
  s->ended = true;
  if (s == session_ && active_ && !active_->done) {
    if (!closed_ && !active_->line.empty() && active_->collected.empty() && active_->starts == 0) {
      // The interpreter ended before it even echoed the line, so the command
      // never ran (it was ended just before the line was written): the line
      // goes first in the queue again and runs in a new interpreter.
      active_->written = false;
      queue_.push_front(active_);
      active_.reset();
    } else {
      active_->done = true;
    }
  }
  if (s->wakeWrite >= 0) {
    char c = 1;
    [[maybe_unused]] auto n = write(s->wakeWrite, &c, 1);
  }
  // Closing its input lets an interpreter that is still alive see the end.
  platform::CloseFd(s->child.inputFd);
  WakeAll();
}

void ShellConsole::Advance(std::unique_lock<std::mutex>& lock) {
  while (!closed_) {
    if (active_ && !active_->done) return;
    if (queue_.empty()) return;
    auto next = queue_.front();
    if (!session_ || session_->ended) {
      // The interpreter has ended (or never started): the next use starts it.
      if (++next->starts > 1) {
        queue_.pop_front();
        next->failure = lastStartError_ != 0 ? StartFailureText(interpreter_, lastStartError_)
                                             : std::string("命令解释器启动后立即退出了");
        next->done = true;
        WakeAll();
        continue;
      }
      if (StartLocked(lock) != 0) {
        queue_.pop_front();
        next->failure = StartFailureText(interpreter_, lastStartError_);
        next->done = true;
        WakeAll();
      }
      continue;  // the banner is read first
    }
    queue_.pop_front();
    if (!unclaimed_.empty()) {
      // Output nobody waited for; when no prompt is known yet its last line
      // is taken to be the prompt.
      if (prompt_.empty()) {
        auto last = LastLine(unclaimed_);
        if (!last.empty()) prompt_.assign(last);
      }
      unclaimed_.clear();
    }
    lastCommandLine_ = next->line;
    next->written = true;
    active_ = next;
    int rc = platform::WriteAll(session_->child.inputFd, next->line.data(), next->line.size());
    if (rc != 0) {
      next->writeError = rc;
      auto s = session_;
      platform::TerminateAndReap(s->child.pid, kTerminateGraceMs);
      s->reaped = true;
      EndSession(lock, s);
    }
  }
}

void ShellConsole::WakeAll() {
  for (Waiter* w : waiters_) w->Wake();
}

template <class Pred>
bool ShellConsole::WaitUntil(std::unique_lock<std::mutex>& lock, Pred done,
                             Clock::time_point deadline) {
  if (done()) return true;
  auto waiter = MakeWaiter();
  while (!done()) {
    if (Clock::now() >= deadline) return false;
    waiters_.insert(waiter.get());
    lock.unlock();
    waiter->Wait(deadline);
    lock.lock();
    waiters_.erase(waiter.get());
  }
  return true;
}

bool ShellConsole::Close() {
  std::vector<std::thread> joinThese;
  bool terminated = false;
  {
    std::unique_lock lock(mu_);
    closed_ = true;
    for (auto& r : queue_) r->done = true;
    queue_.clear();
    if (auto s = session_) {
      if (!s->ended && !s->reaped) {
        terminated = platform::TerminateAndReap(s->child.pid, kTerminateGraceMs);
        s->reaped = true;
      }
      EndSession(lock, s);
      session_.reset();
    }
    if (active_) active_->done = true;
    threadRequest_.clear();
    unclaimed_.clear();
    WakeAll();
    joinThese.swap(readers_);
  }
  for (auto& t : joinThese) t.join();
  return terminated;
}

ShellConsole::RequestPtr ShellConsole::Submit(const std::string& command) {
  std::unique_lock lock(mu_);
  auto req = std::make_shared<Request>();
  req->line = command + "\r\n";
  if (closed_) {
    req->done = true;
    return req;
  }
  queue_.push_back(req);
  Advance(lock);
  return req;
}

std::string ShellConsole::Await(const RequestPtr& req, ReadMode mode) {
  std::unique_lock lock(mu_);
  auto deadline = mode == ReadMode::Briefly ? Clock::now() + std::chrono::milliseconds(1001)
                                            : Clock::time_point::max();
  WaitUntil(lock, [&] { return req->done; }, deadline);
  if (!req->failure.empty()) return req->failure;
  if (mode == ReadMode::UntilPrompt && !req->line.empty())
    return TrimBlankLines(RemoveAll(req->collected, req->line));
  return TrimBlankLines(req->collected);
}

int ShellConsole::SendCommand(const std::string& command) {
  auto req = Submit(command);
  std::lock_guard lock(mu_);
  threadRequest_[std::this_thread::get_id()] = req;
  if (req->writeError != 0) return req->writeError;
  if (!req->failure.empty()) return lastStartError_ != 0 ? lastStartError_ : ECHILD;
  return 0;
}

void ShellConsole::ForwardOutput(const std::function<void(const std::string&)>&) {}

ShellConsole::RequestPtr ShellConsole::TakeThreadRequest() {
  std::lock_guard lock(mu_);
  auto it = threadRequest_.find(std::this_thread::get_id());
  if (it == threadRequest_.end()) return nullptr;
  auto req = it->second;
  threadRequest_.erase(it);
  return req;
}

std::string ShellConsole::ReadUnclaimed() {
  std::lock_guard lock(mu_);
  std::string out;
  out.swap(unclaimed_);
  if (EndsWithPrompt(out)) prompt_.assign(LastLine(out));
  return TrimBlankLines(out);
}

std::string ShellConsole::ReadBriefly() {
  auto req = TakeThreadRequest();
  return req ? Await(req, ReadMode::Briefly) : ReadUnclaimed();
}

std::string ShellConsole::ReadUntilPrompt() {
  auto req = TakeThreadRequest();
  return req ? Await(req, ReadMode::UntilPrompt) : ReadUnclaimed();
}

bool ShellConsole::IsRunning() {
  std::lock_guard lock(mu_);
  if (!session_ || session_->ended || session_->reaped) return false;
  if (!platform::ProcessAlive(session_->child.pid)) {
    session_->reaped = true;
    return false;
  }
  return true;
}

int ShellConsole::StdOutputHandle() const { return STDOUT_FILENO; }
int ShellConsole::StdInputHandle() const { return STDIN_FILENO; }
int ShellConsole::StdErrorHandle() const { return STDERR_FILENO; }

bool ShellConsole::SeekOutput(int origin, long distance) {
  std::lock_guard lock(mu_);
  if (!session_) return false;
  int whence = origin == 3 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
  return lseek(session_->child.outputFd, distance, whence) != -1;
}

long ShellConsole::OutputPosition() {
  std::lock_guard lock(mu_);
  if (!session_) return -1;
  return static_cast<long>(lseek(session_->child.outputFd, 0, SEEK_CUR));
}

std::size_t ShellConsole::PendingBytes() {
  std::lock_guard lock(mu_);
  return unclaimed_.size();
}

std::string ShellConsole::Prompt() {
  std::lock_guard lock(mu_);
  return prompt_;
}

std::string ShellConsole::CurrentPrompt(const std::string& directory, bool change) {
  if (!IsRunning()) {
    Start();
    ReadUntilPrompt();
  }
  if (change) {
    std::string remembered = Prompt();
    std::string reply = Exchange("cd /d " + directory, ReadMode::Briefly);
    std::string now = Prompt();
    return now != remembered ? now : reply;
  }
  std::lock_guard lock(mu_);
  if (prompt_.empty() && !unclaimed_.empty()) {
    auto last = LastLine(unclaimed_);
    if (!last.empty()) prompt_.assign(last);
    unclaimed_.clear();
  }
  return prompt_;
}

std::string ShellConsole::Exchange(const std::string& command, ReadMode mode) {
  return Await(Submit(command), mode);
}

}  // namespace quenlo::console
