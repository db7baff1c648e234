// The user's journeys through the window against the simulated television:
// connecting, ending leftovers, listing, and acting on a package through the
// right-click menus.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "app/main_window.h"
#include "app/shared_state.h"
#include "config/configuration.h"
#include "device/button_worker.h"
#include "device/listing.h"
#include "platform/process_list.h"
#include "platform/qt_text.h"
#include "platform/text.h"
#include "tv_harness.h"
#include "tv_window_fixture.h"
#include "ui/command_edit.h"
#include "ui/dialogs.h"
#include "ui/report_list.h"
#include "xml/xml_document.h"

namespace fs = std::filesystem;
using quenlo::FromQ;
using quenlo::ToQ;
using quenlo::app::MainWindow;
using quenlo::app::Shared;
using quenlo::e2e::TvHarness;

namespace {

// The parent process id of a process, from /proc.
int ParentOf(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string all((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const auto close = all.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream rest(all.substr(close + 2));
  std::string state;
  int ppid = -1;
  rest >> state >> ppid;
  return ppid;
}

class WindowJourney : public quenlo::e2e::TvWindowFixture<::testing::Test> {
 protected:
  // `connected`: adb is connected to the simulator before the window opens.
  void Open(bool connected, bool runDirCurrent = true) {
    harness_ = std::make_unique<TvHarness>(7);
    std::string error;
    ASSERT_TRUE(harness_->Start(&error)) << error;
    if (connected) {
      ASSERT_TRUE(harness_->Connect(&error)) << error << harness_->Logs();
    }
    old_ = fs::current_path();
    const fs::path runDir = harness_->RunDirectory();
    fs::create_directories(runDir);
    // The interpreter starts in the current directory: the run directory,
    // or another empty one so the connection has to change to it first.
    const fs::path elsewhere = harness_->Directory() / "elsewhere";
    fs::create_directories(elsewhere);
    fs::current_path(runDirCurrent ? runDir : elsewhere);
    runDir_ = quenlo::platform::Utf8ToGbk(runDir.string());
    quenlo::app::InitializeProcess(std::string(QUENLO_BIN_DIR) + "/quenlo-cmd", runDir_);
    window_ = std::make_unique<MainWindow>();
    dialogs_ = std::make_shared<quenlo::ui::ScriptedDialogs>();
    window_->SetDialogs(dialogs_);
    // The leftover cleanup sees only this test's own children.
    quenlo::device::ProcessControl control;
    control.list = [] {
      std::vector<quenlo::platform::ProcessEntry> mine;
      for (const auto& p : quenlo::platform::ListProcesses())
        if (ParentOf(p.pid) == getpid()) mine.push_back(p);
      return mine;
    };
    window_->SetProcessControl(control);
    window_->Open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_->StartupFinished(); }, 30000));
  }

  std::string Output() { return quenlo::FromQLines(window_->OutputEdit()->toPlainText()); }
  std::string Prompt() { return quenlo::platform::Utf8ToGbk(fs::current_path().string()) + ">"; }
  bool WaitFor(const std::function<bool()>& done, int ms = 30000) { return QTest::qWaitFor(done, ms); }
  std::string ButtonText() { return FromQ(window_->ConnectButton()->text()); }

  // The report-list row (from 0) of a package, or -1.
  int RowOf(const std::string& package) {
    const auto& listing = Shared().listing;
    for (int r = 1; r <= listing.RowCount(); ++r)
      if (quenlo::device::RowPackage(listing, r) == package) return r - 1;
    return -1;
  }

  // Right-clicks a row and chooses the menu item with `text`.
  void ChooseFromMenu(int row, const std::string& text) {
    auto* view = static_cast<quenlo::ui::ReportView*>(window_->ReportList().Handle());
    // The scroll range follows the new row count once events have run.
    QCoreApplication::processEvents();
    view->scrollTo(view->model()->index(row, 0), QAbstractItemView::PositionAtTop);
    QCoreApplication::processEvents();
    ASSERT_GE(view->rowViewportPosition(row), 0);
    ASSERT_LT(view->rowViewportPosition(row), view->viewport()->height());
    bool chosen = false;
    QTimer::singleShot(300, window_.get(), [&] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!menu) return;
      for (QAction* a : menu->actions())
        if (FromQ(a->text()) == text) {
          menu->setActiveAction(a);
          QTest::keyClick(menu, Qt::Key_Return);
          chosen = true;
          return;
        }
      menu->close();
    });
    const QPoint at = view->viewport()->mapTo(window_.get(), QPoint(20, view->rowViewportPosition(row) + 3));
    QTest::mouseClick(window_->windowHandle(), Qt::RightButton, Qt::NoModifier, at);
    ASSERT_TRUE(WaitFor([&] { return chosen; }, 5000)) << "no menu item " << text;
    EXPECT_EQ(Shared().currentCell.row, row + 1);
  }

  std::shared_ptr<quenlo::ui::ScriptedDialogs> dialogs_;
  std::string runDir_;
};

}  // namespace

TEST_F(WindowJourney, ConnectToTheTelevision) {
  Open(false);
  EXPECT_EQ(ButtonText(), "连接");
  window_->IpEdit()->setText(ToQ(harness_->Address()));
  QTest::mouseClick(window_->ConnectButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return ButtonText() == "已连接"; }));
  EXPECT_FALSE(window_->ConnectButton()->isEnabled());
  ASSERT_TRUE(WaitFor([&] { return Output().find(Prompt()) != std::string::npos; }));
  const std::string serial = harness_->Serial();
  EXPECT_EQ(Output(), "adb connect " + serial + "\r\nconnected to " + serial + "\r\n\r\n" + Prompt());
  EXPECT_TRUE(dialogs_->Asks().empty());
}

TEST_F(WindowJourney, ConnectWhereNothingListensFails) {
  Open(false);
  // Another loopback address with nothing on port 5555.
  const std::string nobody = "127.0.0.254";
  window_->IpEdit()->setText(ToQ(nobody));
  QTest::mouseClick(window_->ConnectButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return !dialogs_->Asks().empty(); }));
  ASSERT_TRUE(WaitFor([&] { return window_->ConnectButton()->isEnabled(); }));
  EXPECT_EQ(ButtonText(), "连接");
  const auto ask = dialogs_->Asks()[0];
  EXPECT_EQ(ask.text, quenlo::device::kConnectFailedMessage);
  EXPECT_EQ(ask.icon, quenlo::ui::Icon::Information);
  EXPECT_EQ(ask.buttons, quenlo::ui::Buttons::Ok);
  ASSERT_TRUE(WaitFor([&] { return Output().find(Prompt()) != std::string::npos; }));
  EXPECT_EQ(Output().rfind("adb connect " + nobody + ":5555\r\n", 0), 0u) << Output();
  EXPECT_EQ(Output().find("connected to"), std::string::npos);
}

TEST_F(WindowJourney, TheAddressEditedWhileConnectingIsTheOneSent) {
  // The interpreter starts elsewhere, so the connection changes to the run
  // directory first; a command already running holds that change back long
  // enough to edit the address.
  Open(false, false);
  const std::string old = "127.0.0.253";
  window_->IpEdit()->setText(ToQ(old));
  auto busy = std::async(std::launch::async, [] { return Shared().console.Exchange("sleep 1"); });
  QTest::qWait(100);
  QTest::mouseClick(window_->ConnectButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return Output().find("adb connect") != std::string::npos; }, 5000));
  window_->IpEdit()->setText(ToQ(harness_->Address()));
  ASSERT_TRUE(WaitFor([&] { return ButtonText() == "已连接"; }));
  busy.get();
  ASSERT_TRUE(WaitFor([&] { return Output().find("connected to") != std::string::npos; }));
  // The box shows the address read first; the one sent is the newer one.
  EXPECT_EQ(Output().rfind("adb connect " + old + ":5555\r\nconnected to " + harness_->Serial(), 0), 0u)
      << Output();
  EXPECT_EQ(Shared().console.Prompt(), runDir_ + ">");
}

TEST_F(WindowJourney, CloseLeftoversWhileConnectedThenConnectAgain) {
  Open(true);
  ASSERT_EQ(ButtonText(), "已连接");
  QTest::mouseClick(window_->CloseLeftoversButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return !dialogs_->Asks().empty(); }));
  EXPECT_TRUE(window_->ConnectButton()->isEnabled());
  EXPECT_EQ(ButtonText(), "连接");
  // Our interpreter and the adb server this test started were ended.
  EXPECT_EQ(dialogs_->Asks()[0].text, "一共关闭 1 个quenlo-cmd程序\r\n一共关闭 1 adb程序\r\n");
  EXPECT_TRUE(WaitFor([] { return !Shared().console.IsRunning(); }, 5000));

  // A typed command starts a new interpreter instead of waiting forever.
  window_->CommandEdit()->setPlainText(QStringLiteral("echo again"));
  QTest::keyClick(window_->CommandEdit(), Qt::Key_Return);
  EXPECT_EQ(Output(), "again\r\n\r\n" + Prompt());

  // And the next connect works (adb starts its server again).
  window_->IpEdit()->setText(ToQ(harness_->Address()));
  QTest::mouseClick(window_->ConnectButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return ButtonText() == "已连接"; }));
}

TEST_F(WindowJourney, ListAndActOnPackages) {
  Open(true);
  const tvsim::TvState tv = harness_->State();

  // "查看包名" lists exactly what the television has installed.
  window_->CommandChooser()->setCurrentIndex(1);
  emit window_->CommandChooser()->activated(1);
  std::vector<std::string> expected, listed;
  for (const auto& p : tv.packages)
    if (p.installed) expected.push_back(p.name);
  for (int r = 1; r <= Shared().listing.RowCount(); ++r) listed.push_back(quenlo::device::RowPackage(Shared().listing, r));
  EXPECT_EQ(listed, expected);
  EXPECT_EQ(window_->ReportList().ItemCount(), static_cast<int>(expected.size()));

  // Uninstall a package without a sensitive mark: the Yes/No question, then it runs.
  const std::string weather = "com.xiaomi.tweather";
  ASSERT_GE(RowOf(weather), 0);
  dialogs_->QueueAnswer(quenlo::ui::Answer::Yes);
  ChooseFromMenu(RowOf(weather), "卸载");
  ASSERT_EQ(dialogs_->Asks().size(), 1u);
  EXPECT_EQ(dialogs_->Asks()[0].text, "您将要卸载包名为:" + weather + ", 的程序,是否卸载?");
  EXPECT_EQ(dialogs_->Asks()[0].buttons, quenlo::ui::Buttons::YesNo);
  EXPECT_EQ(Output(), "Success\r\n\r\n" + Prompt());
  EXPECT_FALSE(harness_->State().FindPackage(weather)->installed);

  // The home screen is marked sensitive (colour 255): the OK/Cancel warning;
  // Cancel leaves the television untouched.
  const std::string home = "com.mitv.tvhome";
  dialogs_->QueueAnswer(quenlo::ui::Answer::Cancel);
  ChooseFromMenu(RowOf(home), "卸载");
  ASSERT_EQ(dialogs_->Asks().size(), 2u);
  EXPECT_EQ(dialogs_->Asks()[1].buttons, quenlo::ui::Buttons::OkCancel);
  EXPECT_NE(dialogs_->Asks()[1].text.find(home), std::string::npos);
  EXPECT_TRUE(harness_->State().FindPackage(home)->installed);
  EXPECT_EQ(harness_->State().changes.size(), 1u);

  // A colour of 0,0,255 for a package without a note: the row is redrawn in
  // blue and the next close writes the note.
  const std::string plain = expected.front() == weather ? expected[1] : expected.front();
  dialogs_->QueueInput(std::string("0,0,255"));
  ChooseFromMenu(RowOf(plain), "设置显示颜色");
  std::vector<std::string> texts;
  std::int32_t colour = 0;
  static_cast<quenlo::ui::ReportView*>(window_->ReportList().Handle())->RowTexts(RowOf(plain), texts, colour);
  EXPECT_EQ(colour, 16711680);
  window_->close();
  window_.reset();
  quenlo::xml::XmlDocument saved;
  std::ifstream in(harness_->RunDirectory() / "config.xml", std::ios::binary);
  ASSERT_TRUE(saved.LoadDocument(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>())));
  const auto notes = quenlo::config::ReadPackageNotes(saved);
  ASSERT_FALSE(notes.empty());
  EXPECT_EQ(notes.back().Pack, plain);
  EXPECT_EQ(notes.back().rgb, 16711680);
}

TEST_F(WindowJourney, ForceStopFromTheProcessList) {
  Open(true);
  window_->CommandChooser()->setCurrentIndex(0);
  emit window_->CommandChooser()->activated(0);
  ASSERT_EQ(Shared().listing.viewMode, quenlo::device::kProcessListing);
  const std::string home = "com.mitv.tvhome";
  const int row = RowOf(home);
  ASSERT_GE(row, 0);
  ChooseFromMenu(row, "结束进程(&E)");
  EXPECT_EQ(FromQ(window_->CommandEdit()->toPlainText()), "adb shell am force-stop " + home);
  const auto tv = harness_->State();
  ASSERT_FALSE(tv.changes.empty());
  EXPECT_EQ(tv.changes.back().command, "am force-stop " + home);
  for (const auto& p : tv.processes) EXPECT_NE(p.package, home);
}
