// Listings in the report list: parsing through the command box, the layout,
// the painting of rows, right clicks and the menu commands.
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

#include "config/menus.h"
#include "device/menu_command.h"
#include "ui/command_edit.h"
#include "ui/menu_builder.h"
#include "ui/report_list.h"
#include "window_fixture.h"

namespace {

class ListingWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    std::ofstream(dir_ / "pm.txt") << "package:com.xiaomi.tweather\r\npackage:com.example.plain\r\n"
                                      "package:com.mitv.tvhome\r\n";
    std::ofstream(dir_ / "ps.txt")
        << "USER     PID   PPID  VSIZE  RSS     WCHAN    PC        NAME\r\n"
           "root      1     0     8744   704   SyS_epoll_ 00000000 S /init\r\n"
           "u0_a19    974   224   1236669 44276 SyS_epoll_ 00000000 S com.mitv.tvhome\r\n";
    StandInAdbScript(R"(case "$1 $2 $3" in
  "devices  ") printf 'List of devices attached\n\n' ;;
  "shell pm list") cat pm.txt ;;
  "shell ps "*) cat ps.txt ;;
  "shell pm uninstall") echo Success ;;
  *) echo "adb $*" ;;
esac
)");
  }
  quenlo::ui::ReportView* View(MainWindow& w) {
    return static_cast<quenlo::ui::ReportView*>(w.ReportList().Handle());
  }
  void Run(MainWindow& w, const char* command) {
    w.CommandEdit()->setPlainText(ToQ(command));
    QTest::keyClick(w.CommandEdit(), Qt::Key_Return);
  }
  std::vector<std::string> Texts(MainWindow& w, int row, std::int32_t* colour = nullptr) {
    std::vector<std::string> texts;
    std::int32_t c = -1;
    View(w)->RowTexts(row, texts, c);
    if (colour) *colour = c;
    return texts;
  }
};

}  // namespace

TEST_F(ListingWindowTest, PackageAndProcessListingsFillTheList) {
  MainWindow& w = OpenWindow();
  WaitForStartup();
  Run(w, "adb shell pm list packages");
  auto& list = w.ReportList();
  ASSERT_EQ(list.ColumnCount(), 3);
  EXPECT_EQ(list.ItemCount(), 3);
  EXPECT_EQ(list.ColumnWidth(0), 50);
  EXPECT_EQ(list.ColumnWidth(1), 300);
  EXPECT_EQ(list.ColumnWidth(2), list.Width() - 380);
  EXPECT_EQ(FromQ(list.Handle()->model()->headerData(1, Qt::Horizontal).toString()), "app包名");
  // The default notes colour and annotate the rows; a package without a
  // note is black with "暂无说明".
  std::int32_t colour = -1;
  EXPECT_EQ(Texts(w, 0, &colour), (std::vector<std::string>{"1", "com.xiaomi.tweather", "天气预报"}));
  EXPECT_EQ(colour, 16711680);
  EXPECT_EQ(Texts(w, 1, &colour), (std::vector<std::string>{"2", "com.example.plain", "暂无说明"}));
  EXPECT_EQ(colour, 0);
  // The reply is in the output box as well.
  EXPECT_EQ(quenlo::FromQLines(w.OutputEdit()->toPlainText()).rfind("package:com.xiaomi.tweather\r\n", 0), 0u);

  // The chooser's first entry lists the processes.
  w.CommandChooser()->setCurrentIndex(0);
  emit w.CommandChooser()->activated(0);
  EXPECT_EQ(FromQ(w.CommandEdit()->toPlainText()), "adb shell ps");
  ASSERT_EQ(list.ColumnCount(), 9);
  EXPECT_EQ(list.ItemCount(), 2);
  EXPECT_EQ(Texts(w, 1, &colour),
            (std::vector<std::string>{"2", "u0_a19", "974", "224", "1236669", "44276", "SyS_epoll_",
                                      "S com.mitv.tvhome", "!!!谨慎删除,这个是小米桌面,删除之前请先下载第三方桌面"}));
  EXPECT_EQ(colour, 255);
  // Other commands leave the list as it is.
  Run(w, "echo hi");
  EXPECT_EQ(list.ItemCount(), 2);
  EXPECT_EQ(Shared().listing.viewMode, 1);
}

TEST_F(ListingWindowTest, LayoutFollowsTheWindowSize) {
  MainWindow& w = OpenWindow();
  WaitForStartup();
  struct Case {
    int width, height;
  } sizes[] = {{1013, 496}, {900, 600}, {700, 480}};
  for (const auto& c : sizes) {
    SCOPED_TRACE(c.width);
    Run(w, "adb shell ps");
    w.resize(c.width, c.height);
    QCoreApplication::processEvents();
    const int W = c.width - 264;
    const int h = w.OutputEdit()->height();
    EXPECT_EQ(w.ReportList().Handle()->geometry(), QRect(264, 0, W, c.height - h));
    EXPECT_EQ(w.OutputEdit()->geometry(), QRect(264, c.height - h, W, h));
    // "包名" and "说明" share what is left, also below zero.
    EXPECT_EQ(w.ReportList().ColumnWidth(7), (W - 536) / 2);
    EXPECT_EQ(w.ReportList().ColumnWidth(8), (W - 536) / 2);
    auto* group2 = Find<QGroupBox>("分组框2");
    EXPECT_EQ(group2->height(), c.height - 224 - 5);
    EXPECT_EQ(w.DataSetList()->height(), group2->height() - 36 - 10);
    Run(w, "adb shell pm list packages");
    EXPECT_EQ(w.ReportList().ColumnWidth(2), W - 380);
  }
}

TEST_F(ListingWindowTest, RowsArePaintedInTheirColours) {
  MainWindow& w = OpenWindow();
  WaitForStartup();
  w.resize(1013, 496);
  Run(w, "adb shell pm list packages");
  w.ReportList().Select(0);
  auto* view = View(w);
  QCoreApplication::processEvents();
  QImage image = view->viewport()->grab().toImage();
  const int rowHeight = view->rowHeight(0);
  auto background = [&](int row) { return image.pixelColor(view->width() - 20, row * rowHeight + 2); };
  EXPECT_EQ(background(0), QColor(128, 128, 128));  // selected, across the full width
  EXPECT_EQ(background(1), QColor(Qt::white));
  // Row 1 (tweather, blue in its note) has blue text somewhere in its row;
  // row 2 (no note) has black text and no blue.
  auto hasColour = [&](int row, QColor wanted) {
    for (int y = row * rowHeight; y < (row + 1) * rowHeight; ++y)
      for (int x = 0; x < image.width(); ++x) {
        QColor c = image.pixelColor(x, y);
        if (std::abs(c.red() - wanted.red()) < 40 && std::abs(c.green() - wanted.green()) < 40 &&
            std::abs(c.blue() - wanted.blue()) < 40)
          return true;
      }
    return false;
  };
  w.ReportList().Handle()->clearSelection();
  QCoreApplication::processEvents();
  image = view->viewport()->grab().toImage();
  EXPECT_TRUE(hasColour(0, QColor(0, 0, 255)));
  EXPECT_FALSE(hasColour(1, QColor(0, 0, 255)));
  EXPECT_TRUE(hasColour(1, QColor(0, 0, 0)));
  EXPECT_TRUE(hasColour(2, QColor(255, 0, 0)));
}

TEST_F(ListingWindowTest, RightClickOpensTheChoosersMenu) {
  MainWindow& w = OpenWindow();
  WaitForStartup();
  Run(w, "adb shell pm list packages");
  auto* view = View(w);
  w.CommandChooser()->setCurrentIndex(1);
  QWidget* opened = nullptr;
  QTimer::singleShot(200, &w, [&] {
    opened = QApplication::activePopupWidget();
    if (opened) opened->close();
  });
  const QPoint onRow2 = view->viewport()->mapTo(&w, QPoint(20, view->rowViewportPosition(1) + 3));
  QTest::mouseClick(w.windowHandle(), Qt::RightButton, Qt::NoModifier, onRow2);
  QTest::qWait(400);
  ASSERT_EQ(w.Menus().size(), 2u);
  EXPECT_EQ(opened, w.Menus()[1]);
  EXPECT_EQ(Shared().currentCell.row, 2);
  EXPECT_EQ(Shared().currentCell.column, 1);

  // Beside the rows nothing opens and the cell stays.
  opened = nullptr;
  QTimer::singleShot(200, &w, [&] { opened = QApplication::activePopupWidget(); });
  const QPoint below = view->viewport()->mapTo(&w, QPoint(20, view->rowViewportPosition(2) + 3 * view->rowHeight(0)));
  QTest::mouseClick(w.windowHandle(), Qt::RightButton, Qt::NoModifier, below);
  QTest::qWait(400);
  EXPECT_EQ(opened, nullptr);
  EXPECT_EQ(Shared().currentCell.row, 2);
}

TEST_F(ListingWindowTest, MenuCommandsOnTheClickedRow) {
  MainWindow& w = OpenWindow();
  WaitForStartup();
  Run(w, "adb shell pm list packages");
  auto choose = [&](const char* command) {
    w.OnMenuCommand(quenlo::config::RegisterMenuCommand(command));
  };
  // Uninstall of a package without a note: the Yes/No question, then the run.
  Shared().currentCell = {2, 2};
  dialogs_->QueueAnswer(quenlo::ui::Answer::Yes);
  choose("adb shell pm uninstall --user 0 (pack)");
  auto asks = dialogs_->Asks();
  ASSERT_EQ(asks.size(), 1u);
  EXPECT_EQ(asks[0].text, "您将要卸载包名为:com.example.plain, 的程序,是否卸载?");
  EXPECT_EQ(asks[0].buttons, quenlo::ui::Buttons::YesNo);
  EXPECT_EQ(FromQ(w.CommandEdit()->toPlainText()), "adb shell pm uninstall --user 0 com.example.plain");
  EXPECT_EQ(quenlo::FromQLines(w.OutputEdit()->toPlainText()).rfind("Success\r\n", 0), 0u);

  // A sensitive package (colour 255) asks OK/Cancel; Cancel runs nothing.
  Shared().currentCell = {3, 2};
  dialogs_->QueueAnswer(quenlo::ui::Answer::Cancel);
  choose("adb shell pm uninstall --user 0 (pack)");
  EXPECT_EQ(dialogs_->Asks().back().buttons, quenlo::ui::Buttons::OkCancel);
  EXPECT_EQ(FromQ(w.CommandEdit()->toPlainText()), "adb shell pm uninstall --user 0 com.example.plain");

  // Colour 0,0,255 for a package without a note adds one; delete() removes it.
  const std::size_t notes = Shared().packageNotes.size();
  Shared().currentCell = {2, 1};
  dialogs_->QueueInput(std::string("0,0,255"));
  choose("setColor()");
  ASSERT_EQ(Shared().packageNotes.size(), notes + 1);
  EXPECT_EQ(Shared().packageNotes.back().Pack, "com.example.plain");
  EXPECT_EQ(Shared().packageNotes.back().rgb, 16711680);
  std::int32_t colour = 0;
  EXPECT_EQ(Texts(w, 1, &colour)[2], "暂无说明");
  EXPECT_EQ(colour, 16711680);
  dialogs_->QueueInput(std::string("1,2"));
  choose("SetColor()");
  EXPECT_EQ(dialogs_->Asks().back().text, quenlo::device::kColourFormatError);
  EXPECT_EQ(Shared().packageNotes.back().rgb, 16711680);
  choose("DELETE()");
  EXPECT_EQ(Shared().packageNotes.size(), notes);
  // Built-ins never reach the command box.
  EXPECT_EQ(FromQ(w.CommandEdit()->toPlainText()), "adb shell pm uninstall --user 0 com.example.plain");
}
