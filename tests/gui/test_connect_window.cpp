// The two long-running buttons with the real worker: the window's controls
// change on the window's thread while the worker waits for adb.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "device/button_worker.h"
#include "window_fixture.h"

namespace {

class ConnectWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    StandInAdbScript(R"(case "$1" in
  devices) printf 'List of devices attached\n\n' ;;
  connect) if [ "$2" = "192.168.1.7:5555" ]; then echo "connected to $2"; sleep 0.2;
           else echo "failed to connect to '$2': Connection refused"; fi ;;
esac
)");
  }
  std::string Output(MainWindow& w) { return quenlo::FromQLines(w.OutputEdit()->toPlainText()); }
};

}  // namespace

TEST_F(ConnectWindowTest, ConnectShowsConnectedAndTheReply) {
  MainWindow& w = OpenWindow(true);
  WaitForStartup();
  QTest::mouseClick(w.ConnectButton(), Qt::LeftButton);
  // The window stays usable while the worker waits: the button is disabled
  // at once and the command line is already in the output box.
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.ConnectButton()->isEnabled(); }, 5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return FromQ(w.ConnectButton()->text()) == "已连接"; }, 10000));
  EXPECT_FALSE(w.ConnectButton()->isEnabled());
  const std::string prompt = quenlo::platform::Utf8ToGbk(dir_.string()) + ">";
  ASSERT_TRUE(QTest::qWaitFor([&] { return Output(w).size() > 40; }, 5000));
  EXPECT_EQ(Output(w), "adb connect 192.168.1.7:5555\r\nconnected to 192.168.1.7:5555\r\n\r\n" + prompt);
  EXPECT_TRUE(dialogs_->Asks().empty());
}

TEST_F(ConnectWindowTest, FailedConnectInformsAndPutsTheButtonBack) {
  MainWindow& w = OpenWindow(true);
  WaitForStartup();
  w.IpEdit()->setText(QStringLiteral("127.0.0.77"));
  QTest::mouseClick(w.ConnectButton(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs_->Asks().empty(); }, 10000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.ConnectButton()->isEnabled(); }, 5000));
  EXPECT_EQ(FromQ(w.ConnectButton()->text()), "连接");
  auto asks = dialogs_->Asks();
  EXPECT_EQ(asks[0].text, quenlo::device::kConnectFailedMessage);
  EXPECT_EQ(asks[0].title, "");
  EXPECT_EQ(asks[0].icon, quenlo::ui::Icon::Information);
  EXPECT_EQ(asks[0].buttons, quenlo::ui::Buttons::Ok);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Output(w).find("failed to connect") != std::string::npos; }, 5000));
  EXPECT_EQ(Output(w).rfind("adb connect 127.0.0.77:5555\r\nfailed to connect to '127.0.0.77:5555'", 0), 0u);
}

TEST_F(ConnectWindowTest, CloseLeftoversPutsAConnectedButtonBackAndReports) {
  MainWindow& w = OpenWindow(true);
  WaitForStartup();
  QTest::mouseClick(w.ConnectButton(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return FromQ(w.ConnectButton()->text()) == "已连接"; }, 10000));
  processes_ = {{"quenlo-cmd", 999991}, {"adb", 999992}, {"adb", 999993}, {"sh", 999994}};
  QTest::mouseClick(w.CloseLeftoversButton(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs_->Asks().empty(); }, 10000));
  EXPECT_TRUE(w.ConnectButton()->isEnabled());
  EXPECT_EQ(FromQ(w.ConnectButton()->text()), "连接");
  EXPECT_EQ(dialogs_->Asks()[0].text, "一共关闭 1 个quenlo-cmd程序\r\n一共关闭 2 adb程序\r\n");
  EXPECT_EQ(ended_, (std::vector<int>{999991, 999992, 999993}));
}
