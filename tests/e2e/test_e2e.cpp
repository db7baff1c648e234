// The whole chain: the main window, the command interpreter, the real adb
// client and server, and the simulated television, for both kinds of
// television shell (Android 6: plain shell on a terminal; Android 7: the
// shell protocol).
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <sstream>

#include "app/main_window.h"
#include "app/shared_state.h"
#include "platform/qt_text.h"
#include "platform/text.h"
#include "tv_harness.h"
#include "tv_window_fixture.h"
#include "tv_shell.h"
#include "ui/command_edit.h"

namespace fs = std::filesystem;
using quenlo::FromQ;
using quenlo::ToQ;
using quenlo::app::MainWindow;
using quenlo::app::Shared;
using quenlo::e2e::TvHarness;

namespace {

// The lines of a console reply: its output, without the blank line and the
// prompt that end it. Every line must end with CRLF.
std::vector<std::string> ReplyLines(const std::string& reply) {
  const std::size_t end = reply.rfind("\r\n\r\n");
  EXPECT_NE(end, std::string::npos) << reply;
  if (end == std::string::npos) return {};
  const std::string body = reply.substr(0, end + 2);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < body.size()) {
    const std::size_t crlf = body.find("\r\n", start);
    const std::string line = body.substr(start, crlf - start);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "a bare line end in: " << line;
    lines.push_back(line);
    start = crlf + 2;
  }
  return lines;
}

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

class EndToEnd : public quenlo::e2e::TvWindowFixture<::testing::TestWithParam<int>> {
 protected:
  void SetUp() override {
    harness_ = std::make_unique<TvHarness>(GetParam());
    std::string error;
    ASSERT_TRUE(harness_->Start(&error)) << error;
    ASSERT_TRUE(harness_->Connect(&error)) << error << harness_->Logs();
    // The interpreter starts in the current directory: an empty one, so the
    // adb found is Debian's.
    old_ = fs::current_path();
    fs::current_path(harness_->RunDirectory());
    quenlo::app::InitializeProcess(std::string(QUENLO_BIN_DIR) + "/quenlo-cmd",
                                   quenlo::platform::Utf8ToGbk(harness_->RunDirectory().string()));
    window_ = std::make_unique<MainWindow>();
    window_->SetButtonWorker([](int) {});
    window_->Open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_->StartupFinished(); }, 30000));
  }
};

}  // namespace

TEST_P(EndToEnd, StartupProbeFindsTheConnectedTelevision) {
  EXPECT_FALSE(window_->ConnectButton()->isEnabled());
  EXPECT_EQ(FromQ(window_->ConnectButton()->text()), "已连接");
  EXPECT_EQ(FromQ(window_->IpEdit()->text()), harness_->Address());
  EXPECT_EQ(window_->findChild<QPushButton*>(ToQ("按钮_连接")), window_->ConnectButton());
  EXPECT_EQ(window_->findChild<QLineEdit*>(ToQ("编辑框_IP")), window_->IpEdit());
}

TEST_P(EndToEnd, ConsoleRepliesListWhatTheTelevisionHolds) {
  const tvsim::TvState tv = harness_->State();
  ASSERT_FALSE(tv.packages.empty());

  std::vector<std::string> expected;
  for (const auto& p : tv.packages)
    if (p.installed) expected.push_back("package:" + p.name);
  EXPECT_EQ(ReplyLines(Shared().console.Exchange("adb shell pm list packages")), expected);

  const std::vector<std::string> ps = ReplyLines(Shared().console.Exchange("adb shell ps"));
  ASSERT_EQ(ps.size(), tv.processes.size() + 1);
  EXPECT_EQ(ps[0], tvsim::TvShell::PsHeader());
  for (std::size_t i = 0; i < tv.processes.size(); ++i) {
    const tvsim::Process& p = tv.processes[i];
    SCOPED_TRACE(ps[i + 1]);
    const std::vector<std::string> w = Words(ps[i + 1]);
    ASSERT_EQ(w.size(), 9u);
    EXPECT_EQ(w[0], p.user);
    EXPECT_EQ(w[1], std::to_string(p.pid));
    EXPECT_EQ(w[2], std::to_string(p.ppid));
    EXPECT_EQ(w[3], std::to_string(p.vsize));
    EXPECT_EQ(w[4], std::to_string(p.rss));
    EXPECT_EQ(w[5], p.wchan.substr(0, 10));
    EXPECT_EQ(w[6], p.pc);
    EXPECT_EQ(w[7], p.state);
    EXPECT_EQ(w[8], p.name);
  }
  // Reading changed nothing.
  EXPECT_TRUE(harness_->State().changes.empty());
}

TEST_P(EndToEnd, UninstallTypedIntoTheCommandBox) {
  const std::string pkg = "com.miui.systemAdSolution";
  ASSERT_TRUE(harness_->State().FindPackage(pkg)->installed);

  auto* box = window_->CommandEdit();
  ASSERT_EQ(window_->findChild<quenlo::ui::CommandEdit*>(ToQ("编辑框_命令")), box);
  box->setFocus();
  box->setPlainText(ToQ("adb shell pm uninstall --user 0 " + pkg));
  QTest::keyClick(box, Qt::Key_Return);
  QPlainTextEdit* output = window_->OutputEdit();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !output->toPlainText().isEmpty(); }, 30000));
  const std::string shown = FromQ(output->toPlainText());
  EXPECT_EQ(shown.substr(0, shown.find('\n')), "Success") << shown;

  const tvsim::TvState tv = harness_->State();
  ASSERT_NE(tv.FindPackage(pkg), nullptr);
  EXPECT_FALSE(tv.FindPackage(pkg)->installed);
  ASSERT_EQ(tv.changes.size(), 1u);
  EXPECT_EQ(tv.changes[0].command, "pm uninstall --user 0 " + pkg);
  EXPECT_EQ(tv.changes[0].output, "Success");
  for (const auto& p : tv.processes) EXPECT_NE(p.package, pkg) << p.name;

  // Gone from the list, still known to the package manager.
  const auto listed = ReplyLines(Shared().console.Exchange("adb shell pm list packages"));
  EXPECT_EQ(std::count(listed.begin(), listed.end(), "package:" + pkg), 0);
  const auto all = ReplyLines(Shared().console.Exchange("adb shell pm list packages -u"));
  EXPECT_EQ(std::count(all.begin(), all.end(), "package:" + pkg), 1);
  // A second time there is nothing to uninstall.
  EXPECT_EQ(ReplyLines(Shared().console.Exchange("adb shell pm uninstall --user 0 " + pkg)),
            std::vector<std::string>{"Failure [not installed for 0]"});
}

INSTANTIATE_TEST_SUITE_P(Android, EndToEnd, ::testing::Values(6, 7),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return "Android" + std::to_string(info.param);
                         });
