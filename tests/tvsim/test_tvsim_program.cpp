// The tvsim program itself: its options, the line it prints when listening,
// the state file it writes, and stopping on SIGTERM and SIGINT.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <thread>

#include "raw_client.h"
#include "tv_state.h"

namespace fs = std::filesystem;
using namespace tvsim;
using tvsim::testing::RawClient;

extern char** environ;

namespace {

const std::string kTvsim = std::string(QUENLO_BIN_DIR) + "/tvsim";

struct Child {
  pid_t pid = -1;
  int out = -1;  // standard output and error together
};

Child Spawn(const std::vector<std::string>& args) {
  Child c;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return c;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  std::vector<std::string> all = {kTvsim};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  if (posix_spawn(&c.pid, kTvsim.c_str(), &actions, nullptr, argv.data(), environ) != 0) c.pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  c.out = fds[0];
  return c;
}

// Reads until `done` says so, the output ends, or `ms` pass.
std::string ReadOutput(int fd, int ms, const std::function<bool(const std::string&)>& done) {
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done(text)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) break;
    char buf[1024];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, static_cast<std::size_t>(n));
  }
  return text;
}

// Waits up to `ms` for the child to end; its exit status, or -1 (then it is
// killed).
int WaitExit(pid_t pid, int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid, &status, WNOHANG) == pid)
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return -1;
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tvsim-prog-XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override {
    if (child_.pid > 0) WaitExit(child_.pid, 0);  // never leaves it running
    if (child_.out >= 0) close(child_.out);
    fs::remove_all(dir_);
  }
  // Runs tvsim expecting it to refuse: its exit status and output.
  std::pair<int, std::string> RunToEnd(const std::vector<std::string>& args) {
    Child c = Spawn(args);
    EXPECT_GT(c.pid, 0);
    std::string out = ReadOutput(c.out, 5000, [](const std::string&) { return false; });
    close(c.out);
    return {WaitExit(c.pid, 5000), out};
  }
  // Starts tvsim on 127.0.0.1 and a free port; the port, or 0.
  int StartListening(std::vector<std::string> extra) {
    std::vector<std::string> args = {"--listen", "127.0.0.1", "--port", "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    child_ = Spawn(args);
    const std::string line = ReadOutput(
        child_.out, 5000, [](const std::string& t) { return t.find('\n') != std::string::npos; });
    std::smatch m;
    if (!std::regex_search(line, m, std::regex("^tvsim listening on 127\\.0\\.0\\.1:(\\d+) "))) {
      ADD_FAILURE() << line;
      return 0;
    }
    return std::stoi(m[1]);
  }

  fs::path dir_;
  Child child_;
};

}  // namespace

TEST_F(ProgramTest, RefusesAddressesOffTheLoopbackAndBadOptions) {
  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"--listen", "192.168.1.7"}, "only loopback"},
      {{"--listen", "10.0.0.8", "--port", "0"}, "only loopback"},
      {{"--listen", "0.0.0.0"}, "only loopback"},
      {{"--listen", "8.8.8.8"}, "only loopback"},
      {{"--listen", "tv.example"}, "only loopback"},
      {{"--port", "70000"}, "bad port"},
      {{"--port", "x"}, "bad port"},
      {{"--android", "8"}, "6 or 7"},
      {{"--auth", "maybe"}, "none, any or deny"},
      {{"--latency-ms", "-5"}, "bad latency"},
      {{"--state"}, "needs a value"},
      {{"--frobnicate", "1"}, "unknown option"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
    auto [status, out] = RunToEnd(c.args);
    EXPECT_EQ(status, 2);
    EXPECT_NE(out.find(c.says), std::string::npos) << out;
  }
}

TEST_F(ProgramTest, ListensWritesTheDefaultStateAndStopsOnSignals) {
  for (int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig);
    const std::string state = (dir_ / ("tv" + std::to_string(sig) + ".json")).string();
    const int port = StartListening({"--state", state, "--android", "6"});
    ASSERT_GT(port, 0);
    // The state file is there before the line is printed.
    std::string error;
    auto loaded = LoadState(state, &error);
    ASSERT_TRUE(loaded) << error;
    EXPECT_EQ(ToJson(*loaded).Dump(0), ToJson(DefaultTv()).Dump(0));

    // It serves: two peers at once, one of them mid-stream when the signal
    // comes.
    RawClient a, b;
    ASSERT_TRUE(a.Connect("127.0.0.1", port));
    ASSERT_TRUE(b.Connect("127.0.0.1", port));
    ASSERT_TRUE(a.SendConnect());
    ASSERT_TRUE(b.SendConnect(4096));
    Message m;
    ASSERT_TRUE(a.Read(m));
    EXPECT_EQ(m.payload,
              "device::ro.product.name=dangal;ro.product.model=MiTV4A;ro.product.device=dangal;");
    ASSERT_TRUE(b.Read(m));
    ASSERT_TRUE(b.Send(kOpen, 1, 0, "shell:ps -x"));
    ASSERT_TRUE(b.Read(m));

    const auto t0 = std::chrono::steady_clock::now();
    kill(child_.pid, sig);
    EXPECT_EQ(WaitExit(child_.pid, 5000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    child_.pid = -1;
    close(child_.out);
    child_.out = -1;
    EXPECT_TRUE(a.ClosedByPeer());
    EXPECT_TRUE(b.ClosedByPeer());
  }
}

TEST_F(ProgramTest, KeepsChangesInTheStateFileAcrossRuns) {
  const std::string state = (dir_ / "tv.json").string();
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    const int port = StartListening({"--state", state});
    ASSERT_GT(port, 0);
    RawClient c;
    ASSERT_TRUE(c.Connect("127.0.0.1", port));
    ASSERT_TRUE(c.SendConnect());
    Message m;
    ASSERT_TRUE(c.Read(m));
    ASSERT_TRUE(c.Send(kOpen, 1, 0, "shell:pm uninstall --user 0 com.xiaomi.mitv.advertise"));
    std::string data;
    while (c.Read(m) && m.header.command != kClse)
      if (m.header.command == kWrte) {
        data += m.payload;
        c.Send(kOkay, 1, m.header.arg0);
      }
    EXPECT_EQ(data, run == 0 ? "Success\n" : "Failure [not installed for 0]\n");
    kill(child_.pid, SIGTERM);
    EXPECT_EQ(WaitExit(child_.pid, 5000), 0);
    child_.pid = -1;
    close(child_.out);
    child_.out = -1;
  }
  std::string error;
  auto loaded = LoadState(state, &error);
  ASSERT_TRUE(loaded) << error;
  EXPECT_FALSE(loaded->FindPackage("com.xiaomi.mitv.advertise")->installed);
  ASSERT_EQ(loaded->changes.size(), 1u);
}

TEST_F(ProgramTest, AMalformedStateFileStopsItUntouched) {
  const std::string state = (dir_ / "tv.json").string();
  std::ofstream(state) << "{\"packages\": [";
  auto [status, out] = RunToEnd({"--listen", "127.0.0.1", "--port", "0", "--state", state});
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find("tv.json"), std::string::npos) << out;
  std::ifstream in(state);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "{\"packages\": [");
}
