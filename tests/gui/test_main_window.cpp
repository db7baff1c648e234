// The main window under the offscreen platform: its controls, start-up with a
// stand-in adb in the interpreter's current directory, buttons, drops, close.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <QUrl>
#include <atomic>
#include <filesystem>
#include <fstream>

#include "app/main_window.h"
#include "app/shared_state.h"
#include "platform/qt_text.h"
#include "platform/text.h"
#include "ui/command_edit.h"
#include "window_fixture.h"


TEST_F(WindowTest, EveryControlAtItsDesignedPlace) {
  window_ = std::make_unique<MainWindow>();
  EXPECT_EQ(window_->windowTitle(), ToQ("Quenlo v 2.0.19.929"));
  EXPECT_EQ(window_->pos(), QPoint(50, 50));
  EXPECT_EQ(window_->size(), QSize(838, 492));

  enum Kind { Edit, MultiEdit, Label, Button, Group, Combo, List };
  struct Control {
    const char* name;
    Kind kind;
    const char* container;  // nullptr: the window
    int left, top, width, height;
    const char* text;
  } controls[] = {
      {"编辑框_IP", Edit, nullptr, 104, 16, 136, 20, "192.168.1.7"},
      {"标签1", Label, nullptr, 8, 16, 88, 24, "小米电视IP地址"},
      {"标签2", Label, nullptr, 80, 1, 184, 15, ""},
      {"标签3", Label, nullptr, 1, 1, 96, 20, "   赞助作者"},
      {"按钮_连接", Button, nullptr, 8, 40, 64, 26, "连接"},
      {"按钮_关闭遗留程序", Button, nullptr, 80, 40, 88, 26, "关闭遗留程序"},
      {"按钮_导入XML", Button, nullptr, 176, 40, 88, 26, "导入XML"},
      {"分组框1", Group, nullptr, 8, 72, 256, 144, "综合操作"},
      {"组合框2", Combo, "分组框1", 8, 24, 240, 20, ""},
      {"标签4", Label, "分组框1", 8, 56, 240, 24, "需要执行的命令,回车执行,输出结果在右边"},
      {"编辑框_命令", MultiEdit, "分组框1", 8, 80, 240, 56, ""},
      {"分组框2", Group, nullptr, 8, 224, 256, 216, "旧版本功能"},
      {"组合框1", Combo, "分组框2", 2, 16, 252, 160, ""},
      {"超级列表框1", List, "分组框2", 2, 36, 252, 160, ""},
      {"编辑框_编辑备注", Edit, nullptr, 376, 80, 80, 20, ""},
      {"编辑框_输出", MultiEdit, nullptr, 264, 272, 568, 168, ""},
  };
  for (const auto& c : controls) {
    SCOPED_TRACE(c.name);
    auto* w = Find<QWidget>(c.name);
    ASSERT_NE(w, nullptr);
    QWidget* container = c.container ? Find<QWidget>(c.container) : window_.get();
    EXPECT_EQ(w->parentWidget(), container);
    EXPECT_EQ(w->pos(), QPoint(c.left, c.top));
    EXPECT_EQ(w->width(), c.width);
    QString text;
    switch (c.kind) {
      case Edit: ASSERT_TRUE(qobject_cast<QLineEdit*>(w)); text = qobject_cast<QLineEdit*>(w)->text(); break;
      case MultiEdit:
        ASSERT_TRUE(qobject_cast<QPlainTextEdit*>(w));
        text = qobject_cast<QPlainTextEdit*>(w)->toPlainText();
        break;
      case Label: ASSERT_TRUE(qobject_cast<QLabel*>(w)); text = qobject_cast<QLabel*>(w)->text(); break;
      case Button: ASSERT_TRUE(qobject_cast<QPushButton*>(w)); text = qobject_cast<QPushButton*>(w)->text(); break;
      case Group: ASSERT_TRUE(qobject_cast<QGroupBox*>(w)); text = qobject_cast<QGroupBox*>(w)->title(); break;
      case Combo:
        ASSERT_TRUE(qobject_cast<QComboBox*>(w));
        EXPECT_EQ(qobject_cast<QComboBox*>(w)->count(), 0);
        break;
      case List: ASSERT_TRUE(qobject_cast<QTreeWidget*>(w)); break;
    }
    EXPECT_EQ(FromQ(text), c.text);
    if (c.kind == Combo) {
      // A combo box shows its closed box; its designed height is the box with
      // the list dropped down.
      EXPECT_EQ(w->height(), 20);
      EXPECT_EQ(w->property("droppedHeight").toInt(), c.height);
    } else {
      EXPECT_EQ(w->height(), c.height);
    }
  }
  // The command box takes dropped files.
  EXPECT_TRUE(Find<QWidget>("编辑框_命令")->acceptDrops());
}

TEST_F(WindowTest, StartupPlacesWindowListAndRemarkEditor) {
  StandInAdb("List of devices attached\\n\\n");
  MainWindow& w = OpenWindow();
  WaitForStartup();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.pos(), QPoint(157, 115));
  EXPECT_EQ(w.frameGeometry(), QRect(157, 115, 1017, 500));
  EXPECT_EQ(Find<QLineEdit>("编辑框_编辑备注")->pos(), QPoint(-1000, -1000));
  QTableView* list = w.ReportList().Handle();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->parentWidget(), &w);
  EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_TRUE(list->showGrid());
  EXPECT_EQ(FromQ(w.OutputEdit()->toPlainText()), "");
}

TEST_F(WindowTest, ProbeReadsAdbDevices) {
  struct Case {
    const char* devices;
    bool connected;
    const char* ip;
  } cases[] = {
      {"List of devices attached\\n192.168.1.23:5555\\tdevice\\n\\n", true, "192.168.1.23"},
      {"List of devices attached\\n10.0.0.8:5555\\tdevice\\n192.168.1.23:5555\\tdevice\\n\\n", true,
       "10.0.0.8"},
      {"List of devices attached\\n192.168.1.5:5555\\toffline\\n\\n", true, "192.168.1.5"},
      {"List of devices attached\\nmitv.local:5555\\tdevice\\n\\n", true, ""},
      {"List of devices attached\\nemulator-5554\\tdevice\\n\\n", false, "192.168.1.7"},
      {"List of devices attached\\n\\n", false, "192.168.1.7"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.devices);
    StandInAdb(c.devices);
    MainWindow& w = OpenWindow();
    WaitForStartup();
    EXPECT_EQ(w.ConnectButton()->isEnabled(), !c.connected);
    EXPECT_EQ(FromQ(w.ConnectButton()->text()), c.connected ? "已连接" : "连接");
    EXPECT_EQ(FromQ(w.IpEdit()->text()), c.ip);
    EXPECT_EQ(w.IpEdit()->cursorPosition(), w.IpEdit()->text().size());
    window_->close();
    window_.reset();
    // Closing saved the probed address; each case starts from the default.
    fs::remove(dir_ / "config.xml");
  }
}

TEST_F(WindowTest, SlowAdbLeavesControlsAndTheWindowUsable) {
  StandInAdb("List of devices attached\\n192.168.1.23:5555\\tdevice\\n\\n", "2");
  MainWindow& w = OpenWindow();
  // While the probe waits, the window is on screen and takes input.
  bool exposed = false, finishedThen = true;
  QString typed;
  QTimer::singleShot(500, &w, [&] {
    exposed = w.windowHandle() && w.windowHandle()->isExposed();
    finishedThen = w.StartupFinished();
    w.IpEdit()->clear();
    QTest::keyClicks(w.IpEdit(), QStringLiteral("10.1.2.3"));
    typed = w.IpEdit()->text();
  });
  WaitForStartup();
  EXPECT_TRUE(exposed);
  EXPECT_FALSE(finishedThen);
  EXPECT_EQ(typed, QStringLiteral("10.1.2.3"));
  // The reply came too late for the probe: nothing changed.
  EXPECT_TRUE(w.ConnectButton()->isEnabled());
  EXPECT_EQ(FromQ(w.ConnectButton()->text()), "连接");
  EXPECT_EQ(w.IpEdit()->text(), QStringLiteral("10.1.2.3"));
  // The late reply is not handed to the next command.
  const std::string prompt = quenlo::platform::Utf8ToGbk(dir_.string()) + ">";
  EXPECT_EQ(Shared().console.Exchange("echo next"), "next\r\n\r\n" + prompt);
}

TEST_F(WindowTest, BothLongButtonsReachTheWorkerWithTheirTag) {
  StandInAdb("List of devices attached\\n\\n");
  MainWindow& w = OpenWindow();
  WaitForStartup();
  QTest::mouseClick(w.ConnectButton(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return clicks_ == 1; }, 5000));
  EXPECT_EQ(lastCode_, 1);
  QTest::mouseClick(w.CloseLeftoversButton(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return clicks_ == 2; }, 5000));
  EXPECT_EQ(lastCode_, 8);
}

TEST_F(WindowTest, DroppedFilePathIsAppendedToTheCommandBox) {
  StandInAdb("List of devices attached\\n\\n");
  MainWindow& w = OpenWindow();
  WaitForStartup();
  auto* box = w.CommandEdit();
  box->setPlainText(QStringLiteral("adb install "));
  const QString path = QStringLiteral("/tmp/安装包/电视.apk");
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(path)});
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(box->viewport(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(box->viewport(), &drop);
  EXPECT_EQ(FromQ(box->toPlainText()), "adb install /tmp/安装包/电视.apk");
}

TEST_F(WindowTest, ClosesAlsoWhenTheInterpreterHasEnded) {
  StandInAdb("List of devices attached\\n\\n");
  MainWindow& w = OpenWindow();
  WaitForStartup();
  Shared().console.Exchange("kill -9 $PPID");
  EXPECT_FALSE(Shared().console.IsRunning());
  EXPECT_TRUE(w.close());
  EXPECT_FALSE(w.isVisible());
}

TEST_F(WindowTest, MissingInterpreterDoesNotStopTheWindow) {
  quenlo::app::InitializeProcess((dir_ / "missing-interpreter").string(),
                                 quenlo::platform::Utf8ToGbk(dir_.string()));
  MainWindow& w = OpenWindow();
  WaitForStartup();
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(w.ConnectButton()->isEnabled());
  std::string reply = Shared().console.Exchange("adb devices");
  EXPECT_EQ(reply.find("无法启动命令解释器"), 0u) << reply;
}

TEST_F(WindowTest, EnterRunsTheCommandBoxAndShowsTheReply) {
  StandInAdb("List of devices attached\\n\\n");
  MainWindow& w = OpenWindow();
  WaitForStartup();
  const std::string prompt = quenlo::platform::Utf8ToGbk(dir_.string()) + ">";
  auto* box = w.CommandEdit();
  box->setPlainText(ToQ("echo 你好"));
  box->moveCursor(QTextCursor::End);
  QTest::keyClick(box, Qt::Key_Return);
  // Enter is swallowed: the box keeps its text without a line break.
  EXPECT_EQ(FromQ(box->toPlainText()), "echo 你好");
  EXPECT_EQ(quenlo::FromQLines(w.OutputEdit()->toPlainText()), "你好\r\n\r\n" + prompt);
}

TEST_F(WindowTest, CommandAskedDuringAnotherWaitRunsAfterItAndItsReplyStays) {
  StandInAdb("List of devices attached\\n\\n");
  MainWindow& w = OpenWindow();
  WaitForStartup();
  const std::string prompt = quenlo::platform::Utf8ToGbk(dir_.string()) + ">";
  auto* box = w.CommandEdit();
  // While the first command runs, the user types a second one and presses Enter.
  QTimer::singleShot(300, box, [&] {
    box->setPlainText(QStringLiteral("echo second"));
    QTest::keyClick(box, Qt::Key_Return);
  });
  box->setPlainText(QStringLiteral("sleep 1; echo first > first.txt"));
  QTest::keyClick(box, Qt::Key_Return);
  // Both ran, the first before the second, and the newer reply is shown.
  EXPECT_TRUE(fs::exists(dir_ / "first.txt"));
  EXPECT_EQ(quenlo::FromQLines(w.OutputEdit()->toPlainText()), "second\r\n\r\n" + prompt);
  EXPECT_EQ(Shared().console.LastCommandLine(), "echo second\r\n");
}
