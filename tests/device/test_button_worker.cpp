// The connect worker and the leftover cleanup, against a window stand-in, a
// stand-in interpreter that logs every line it receives, and process lists
// the test controls.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "console/shell_console.h"
#include "device/button_worker.h"
#include "platform/text.h"

namespace fs = std::filesystem;
using namespace quenlo;

namespace {

class FakeWindow : public device::WindowAccess {
 public:
  std::vector<std::string> ips{"10.0.0.1"};
  std::string IpText() override {
    std::lock_guard l(mu);
    events.push_back("ip");
    std::string ip = ips.front();
    if (ips.size() > 1) ips.erase(ips.begin());
    return ip;
  }
  void AppendOutput(const std::string& text) override { Add("append:" + text); }
  void SetConnectButton(std::optional<bool> enabled, std::optional<std::string> caption) override {
    Add(std::string("button:") + (enabled ? (*enabled ? "on" : "off") : "") + "/" + caption.value_or(""));
  }
  void Inform(const std::string& text) override { Add("inform:" + text); }
  void Add(const std::string& e) {
    std::lock_guard l(mu);
    events.push_back(e);
  }
  std::mutex mu;
  std::vector<std::string> events;
};

// Answers "adb connect" for 10.0.0.1 with success, kills itself for
// 10.0.0.3, and refuses every other address.
constexpr const char* kFakeInterpreter = R"(#!/bin/sh
printf 'Fake\r\n\r\n%s>' "$PWD"
while IFS= read -r line; do
  line=$(printf '%s' "$line" | tr -d '\r')
  printf '%s\n' "$line" >> "$QUENLO_TEST_LOG"
  printf '%s\r\n' "$line"
  case "$line" in
    "cd /d "*) cd "${line#cd /d }" ;;
    "adb connect 10.0.0.1:5555") printf 'connected to 10.0.0.1:5555\r\n' ;;
    "adb connect 10.0.0.3:5555") kill -9 $$ ;;
    "adb connect "*) printf 'cannot connect to %s: Connection refused (111)\r\n' "${line#adb connect }" ;;
  esac
  printf '\r\n%s>' "$PWD"
done
)";

class ConnectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/quenlo-connect-XXXXXX";
    dir_ = mkdtemp(tmpl);
    old_ = fs::current_path();
    fs::current_path(dir_);
    fs::create_directory(dir_ / "run");
    runDir_ = platform::Utf8ToGbk((dir_ / "run").string());
    const fs::path script = dir_ / "fake-interpreter";
    std::ofstream(script) << kFakeInterpreter;
    chmod(script.c_str(), 0755);
    setenv("QUENLO_TEST_LOG", (dir_ / "lines.log").c_str(), 1);
    console_.SetInterpreter(script.string());
  }
  void TearDown() override {
    console_.Close();
    fs::current_path(old_);
    fs::remove_all(dir_);
  }
  std::vector<std::string> LinesSent() {
    std::ifstream in(dir_ / "lines.log");
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }
  fs::path dir_, old_;
  std::string runDir_;
  console::ShellConsole console_;
};

}  // namespace

TEST_F(ConnectTest, SuccessFromAnotherDirectoryChangesToTheRunDirectoryFirst) {
  FakeWindow w;
  device::ConnectToTelevision(w, console_, runDir_);
  const std::string reply = "connected to 10.0.0.1:5555\r\n\r\n" + runDir_ + ">";
  EXPECT_EQ(w.events, (std::vector<std::string>{"ip", "append:adb connect 10.0.0.1:5555\r\n",
                                                "button:off/", "ip", "button:/已连接",
                                                "append:" + reply}));
  EXPECT_EQ(LinesSent(),
            (std::vector<std::string>{"cd /d " + (dir_ / "run").string(), "adb connect 10.0.0.1:5555"}));
}

TEST_F(ConnectTest, NoCdWhenTheRunDirectoryIsAlreadyCurrent) {
  FakeWindow w;
  device::ConnectToTelevision(w, console_, platform::Utf8ToGbk(dir_.string()));
  EXPECT_EQ(LinesSent(), (std::vector<std::string>{"adb connect 10.0.0.1:5555"}));
  // A run directory that differs only in letter case is not the same.
  fs::create_directory(dir_ / "Run2");
  fs::current_path(dir_ / "Run2");
  console_.Close();
  FakeWindow w2;
  device::ConnectToTelevision(w2, console_, platform::Utf8ToGbk((dir_ / "run2").string()));
  EXPECT_EQ(LinesSent().at(1), "cd /d " + (dir_ / "run2").string());
}

TEST_F(ConnectTest, FailureInformsAndPutsTheButtonBack) {
  FakeWindow w;
  w.ips = {""};  // an empty address is sent as it is
  device::ConnectToTelevision(w, console_, runDir_);
  const std::string reply = "cannot connect to :5555: Connection refused (111)\r\n\r\n" + runDir_ + ">";
  EXPECT_EQ(w.events,
            (std::vector<std::string>{"ip", "append:adb connect :5555\r\n", "button:off/", "ip",
                                      "inform:连接失败,请检查是否在同一个局域网内", "button:on/连接",
                                      "append:" + reply}));
}

TEST_F(ConnectTest, TheNewerAddressIsSentWhenEditedMeanwhile) {
  FakeWindow w;
  w.ips = {"10.0.0.2", "10.0.0.1"};
  device::ConnectToTelevision(w, console_, runDir_);
  EXPECT_EQ(w.events.at(1), "append:adb connect 10.0.0.2:5555\r\n");
  EXPECT_EQ(LinesSent().back(), "adb connect 10.0.0.1:5555");
  EXPECT_EQ(w.events.at(4), "button:/已连接");
}

TEST_F(ConnectTest, InterpreterEndingDuringTheWaitIsAFailureNotAHang) {
  FakeWindow w;
  w.ips = {"10.0.0.3"};
  device::ConnectToTelevision(w, console_, runDir_);
  ASSERT_GE(w.events.size(), 6u);
  EXPECT_EQ(w.events[4], "inform:连接失败,请检查是否在同一个局域网内");
  EXPECT_EQ(w.events[5], "button:on/连接");
  // The next connect starts a new interpreter and works.
  FakeWindow again;
  device::ConnectToTelevision(again, console_, runDir_);
  EXPECT_EQ(again.events.at(4), "button:/已连接");
}

TEST(LeftoverCleanup, EndsInterpretersThenAdbFromAFreshList) {
  const int own = 4242;
  std::vector<std::vector<platform::ProcessEntry>> lists = {
      {{"quenlo-cmd", 10}, {"bash", 11}, {"quenlo-cmd", own}, {"adb", 12}, {"Quenlo-cmd", 16},
       {"quenlo-cmd", 14}},
      {{"adb", 12}, {"ADB", 13}, {"adb.exe", 17}, {"adb", 15}},
  };
  int listed = 0;
  std::vector<int> ended;
  device::ProcessControl control;
  control.list = [&] { return lists.at(static_cast<std::size_t>(listed++)); };
  control.end = [&](int pid) {
    ended.push_back(pid);
    return pid != 14;  // one that cannot be ended still counts
  };
  control.ownPid = own;
  auto counts = device::EndLeftoverProcesses(control);
  EXPECT_EQ(listed, 2);
  EXPECT_EQ(ended, (std::vector<int>{10, 14, 12, 15}));
  EXPECT_EQ(counts.interpreters, 2);
  EXPECT_EQ(counts.adbs, 2);
  EXPECT_EQ(device::CleanupMessage(counts), "一共关闭 2 个quenlo-cmd程序\r\n一共关闭 2 adb程序\r\n");
  EXPECT_EQ(device::CleanupMessage({}), "一共关闭 0 个quenlo-cmd程序\r\n一共关闭 0 adb程序\r\n");
}

TEST(LeftoverCleanup, WorkerPutsTheButtonBackBeforeCleaningUp) {
  FakeWindow w;
  device::ProcessControl control;
  control.list = [&] {
    w.Add("list");
    return std::vector<platform::ProcessEntry>{};
  };
  device::CloseLeftoverPrograms(w, control);
  EXPECT_EQ(w.events, (std::vector<std::string>{"button:on/连接", "list", "list",
                                                "inform:一共关闭 0 个quenlo-cmd程序\r\n一共关闭 0 adb程序\r\n"}));
}

TEST(LeftoverCleanup, EndsRealProcessesInsideItsOwnPidNamespace) {
  if (std::system("unshare --pid --fork --mount-proc true >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "PID namespaces are not available here (needs root and unshare); "
                    "the cleanup is tested against controlled process lists only";
  const std::string cmd = std::string("unshare --pid --fork --mount-proc ") + QUENLO_TESTS_DIR +
                          "/cleanup_ns_helper " + QUENLO_BIN_DIR;
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
}
