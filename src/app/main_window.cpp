#include "app/main_window.h"

#include <QCloseEvent>
#include <QResizeEvent>
#include <QCursor>
#include <QMenu>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <thread>

#include "app/seams.h"
#include "app/shared_state.h"
#include "app/window_access.h"
#include "device/button_worker.h"
#include "device/listing.h"
#include "pattern/pattern_matcher.h"
#include "platform/paths.h"
#include "platform/qt_text.h"
#include "ui/command_edit.h"
#include "ui/menu_builder.h"

namespace quenlo::app {
namespace {

constexpr const char* kCaption = "Quenlo v 2.0.19.929";

// A combo box is placed with the height of its closed box; the designed
// height is that of the box with its list dropped down.
constexpr int kComboHeight = 20;

template <class W>
W* Place(W* w, const char* name, int left, int top, int width, int height) {
  w->setObjectName(ToQ(name));
  w->setGeometry(left, top, width, height);
  return w;
}

QComboBox* PlaceCombo(QWidget* parent, const char* name, int left, int top, int width,
                      int droppedHeight) {
  auto* combo = Place(new QComboBox(parent), name, left, top, width, kComboHeight);
  combo->setProperty("droppedHeight", droppedHeight);
  // The dropped list shows as many entries as the dropped height allows.
  combo->setMaxVisibleItems(std::max(1, (droppedHeight - kComboHeight) / 16));
  return combo;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
  setWindowTitle(ToQ(kCaption));
  CreateControls();
  dialogs_ = std::make_shared<ui::QtDialogs>(this);
  Shared().mainWindow = this;
}

MainWindow::~MainWindow() {
  if (Shared().mainWindow == this) Shared().mainWindow = nullptr;
}

void MainWindow::CreateControls() {
  // Designed window: 838 by 492 at 50, 50 (the configuration then moves it).
  move(50, 50);
  resize(838, 492);

  ipEdit_ = Place(new QLineEdit(ToQ("192.168.1.7"), this), "编辑框_IP", 104, 16, 136, 20);
  label1_ = Place(new QLabel(ToQ("小米电视IP地址"), this), "标签1", 8, 16, 88, 24);
  label2_ = Place(new QLabel(this), "标签2", 80, 1, 184, 15);
  label3_ = Place(new QLabel(ToQ("   赞助作者"), this), "标签3", 1, 1, 96, 20);
  connectButton_ = Place(new QPushButton(ToQ("连接"), this), "按钮_连接", 8, 40, 64, 26);
  closeLeftoversButton_ =
      Place(new QPushButton(ToQ("关闭遗留程序"), this), "按钮_关闭遗留程序", 80, 40, 88, 26);
  importXmlButton_ = Place(new QPushButton(ToQ("导入XML"), this), "按钮_导入XML", 176, 40, 88, 26);

  group1_ = Place(new QGroupBox(ToQ("综合操作"), this), "分组框1", 8, 72, 256, 144);
  commandChooser_ = PlaceCombo(group1_, "组合框2", 8, 24, 240, 20);
  label4_ = Place(new QLabel(ToQ("需要执行的命令,回车执行,输出结果在右边"), group1_), "标签4", 8, 56,
                  240, 24);
  commandEdit_ = Place(new ui::CommandEdit(group1_), "编辑框_命令", 8, 80, 240, 56);
  commandEdit_->SetOnEnter([this] { RunConsoleCommand(); });

  group2_ = Place(new QGroupBox(ToQ("旧版本功能"), this), "分组框2", 8, 224, 256, 216);
  dataSetGroups_ = PlaceCombo(group2_, "组合框1", 2, 16, 252, 160);
  dataSetList_ = Place(new QTreeWidget(group2_), "超级列表框1", 2, 36, 252, 160);
  dataSetList_->setRootIsDecorated(false);
  dataSetList_->setUniformRowHeights(true);
  dataSetList_->setHeaderLabel(QString());

  remarkEdit_ = Place(new QLineEdit(this), "编辑框_编辑备注", 376, 80, 80, 20);
  outputEdit_ = Place(new QPlainTextEdit(this), "编辑框_输出", 264, 272, 568, 168);

  label1_->setWordWrap(false);
  label4_->setWordWrap(true);
}

void MainWindow::SetOuterRect(int left, int top, int width, int height) {
  // The frame's size is known once the window system has decorated the
  // window; until then the rectangle is applied again whenever the frame
  // changes, so the outer rectangle ends up as asked.
  wantedOuter_ = QRect(left, top, width, height);
  outerTries_ = 0;
  ApplyOuterRect();
}

void MainWindow::ApplyOuterRect() {
  if (wantedOuter_.isNull()) return;
  QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
  appliedMargins_ = frame;
  move(wantedOuter_.topLeft());
  resize(std::max(1, wantedOuter_.width() - frame.left() - frame.right()),
         std::max(1, wantedOuter_.height() - frame.top() - frame.bottom()));
}

void MainWindow::Open() {
  BeforeShow();
  opened_ = true;
  show();
  // Normally the first paint starts the rest; a window that is never
  // painted (minimised at start) starts it shortly after anyway.
  QTimer::singleShot(500, this, [this] {
    if (!afterPaintScheduled_) {
      afterPaintScheduled_ = true;
      AfterFirstPaint();
    }
  });
}

void MainWindow::BeforeShow() {
  // The list over the output area, painted from the listing table and the
  // package notes.
  reportList_.Create(this, 264, 0, 568, 272);
  reportList_.SetRowSource([this](int row, std::vector<std::string>& texts, std::int32_t& colour) {
    return RowTexts(row, texts, colour);
  });
  auto* view = static_cast<ui::ReportView*>(reportList_.Handle());
  connect(view, &ui::ReportView::rightClicked, this, &MainWindow::OnListRightClick);
  connect(view, &ui::ReportView::clicked, this, [this](int, int) { HideRemarkEditor(*this); });
  connect(view, &ui::ReportView::doubleClicked, this, &MainWindow::OnListDoubleClick);
  connect(view, &ui::ReportView::keyPressed, this, [this](int key) { SearchKey(*this, key); });

  // The configuration: config.xml in the run directory, else the built-in one.
  const std::string configPath = Shared().runDirectory + platform::kPathSeparator + "config.xml";
  std::string configBytes;
  if (platform::FileExists(configPath))
    configBytes = platform::ReadFileBytes(configPath).value_or(std::string());
  else
    configBytes = std::string(config::DefaultConfiguration());
  ApplyConfiguration(*this, configBytes, true);

  // The remark editor stays out of sight until a remark is edited.
  remarkEdit_->move(-1000, -1000);

  LoadDonationWindow(*this);

  // Both long-running buttons share one click handler, which starts the
  // worker with the tag of the button that was clicked.
  connectButton_->setProperty("tag", QStringLiteral("1"));
  closeLeftoversButton_->setProperty("tag", QStringLiteral("8"));
  connect(connectButton_, &QPushButton::clicked, this, &MainWindow::OnLongButtonClicked);
  connect(closeLeftoversButton_, &QPushButton::clicked, this, &MainWindow::OnLongButtonClicked);
  connect(importXmlButton_, &QPushButton::clicked, this, &MainWindow::ImportConfiguration);
  // Only a choice of the user runs an entry, not a selection by the program.
  connect(commandChooser_, &QComboBox::activated, this, &MainWindow::OnChooserActivated);
}

void MainWindow::ImportConfiguration() {
  const std::string path =
      dialogs_->ChooseFileToOpen("请选择去广告命令数据", Shared().runDirectory);
  if (path.empty()) return;
  // A file that cannot be read gives no bytes, which the reader reports.
  const std::string bytes = platform::ReadFileBytes(path).value_or(std::string());
  ApplyConfiguration(*this, bytes, false);
}

void MainWindow::RebuildMenus() {
  for (QMenu* m : menus_) delete m;
  menus_.clear();
  delete listMenu_;
  for (const auto& menu : Shared().menuSet) menus_.push_back(ui::BuildQMenu(menu, this));
  listMenu_ = ui::BuildQMenu(Shared().listMenu, this);
}

void MainWindow::ShowMenu(int n, std::optional<QPoint> pos) {
  if (n < 1 || n > static_cast<int>(menus_.size())) return;
  ExecMenu(menus_[static_cast<std::size_t>(n - 1)], pos.value_or(QCursor::pos()));
}

void MainWindow::ShowListMenu() {
  if (listMenu_) ExecMenu(listMenu_, QCursor::pos());
}

void MainWindow::ExecMenu(QMenu* menu, QPoint pos) {
  QAction* chosen = menu->exec(pos);
  if (chosen) OnMenuCommand(ui::MenuCommandId(chosen));
}

void MainWindow::OnMenuCommand(int commandId) {
  const std::string command = config::ResolveMenuCommand(commandId);
  if (!command.empty()) RunMenuCommand(*this, command);
}

bool MainWindow::event(QEvent* e) {
  bool handled = QWidget::event(e);
  // The frame appears after the window is shown (with some window managers
  // a little later): apply the rectangle again when its margins change.
  if (!wantedOuter_.isNull() && windowHandle() &&
      (e->type() == QEvent::Show || e->type() == QEvent::Move || e->type() == QEvent::Resize)) {
    if (windowHandle()->frameMargins() != appliedMargins_) {
      if (++outerTries_ > 3)
        wantedOuter_ = QRect();
      else
        ApplyOuterRect();
    }
  }
  if (e->type() == QEvent::Paint && opened_ && !afterPaintScheduled_) {
    afterPaintScheduled_ = true;
    // Let the paint reach the screen before the console is started.
    QTimer::singleShot(0, this, &MainWindow::AfterFirstPaint);
  }
  return handled;
}

void MainWindow::AfterFirstPaint() {
  auto& console = Shared().console;

  // The interpreter: its banner is read and discarded.
  console.Start();
  console.ReadUntilPrompt();
  if (closing_) return;
  console.CurrentPrompt(std::string(), false);

  ProbeConnection();
  if (closing_) return;

  outputEdit_->clear();

  // From here on the window lays itself out on every resize.
  layoutInstalled_ = true;
  Layout();
  InstallLabelBehaviour(*this);

  const std::string dataSetPath =
      Shared().runDirectory + platform::kPathSeparator + "小米命令.xml";
  if (platform::FileExists(dataSetPath)) {
    if (auto bytes = platform::ReadFileBytes(dataSetPath)) LoadStartupDataSet(*this, *bytes);
  }

  startupFinished_ = true;
  emit startupFinished();
}

void MainWindow::ProbeConnection() {
  std::string output =
      Shared().console.Exchange("adb devices", console::ReadMode::Briefly);
  if (closing_) return;
  if (output.find(":5555") == std::string::npos) return;
  connectButton_->setEnabled(false);
  connectButton_->setText(ToQ("已连接"));
  PatternMatcher matcher;
  matcher.Execute("(\\d+\\.\\d+\\.\\d+\\.\\d+)\\:5555", output);
  ipEdit_->setText(ToQ(matcher.SubMatchText(1, 1)));
  ipEdit_->end(false);
}

void MainWindow::RunConsoleCommand() {
  const std::string command = FromQLines(commandEdit_->toPlainText());
  const long long ticket = ++commandsAsked_;
  const std::string reply = Shared().console.Exchange(command);
  // The window may have closed while the reply was awaited. A command asked
  // during this wait has already shown its (later) reply: this older one
  // must not cover it.
  if (closing_ || ticket < newestShown_) return;
  newestShown_ = ticket;
  ShowListing(command, reply);
  outputEdit_->setPlainText(ToQLines(reply));
}

void MainWindow::ShowListing(const std::string& command, const std::string& reply) {
  const int kind = device::ListingKindOf(command);
  if (kind == device::kNoListing) return;
  device::ListingTable& table = Shared().listing;
  table = kind == device::kPackageListing ? device::ParsePackageListing(reply, reportList_.Width())
                                          : device::ParseProcessListing(reply);
  while (reportList_.ColumnCount() >= 1) reportList_.DeleteColumn(0);
  for (const auto& column : table.columns) reportList_.InsertColumn(column.title, column.width);
  Layout();
  reportList_.SetItemCount(table.RowCount());
  reportList_.Redraw();
}

bool MainWindow::RowTexts(int row, std::vector<std::string>& texts, std::int32_t& colour) const {
  const SharedState& s = Shared();
  const int t = row + 1;
  if (t > s.listing.RowCount()) return false;
  const int note = device::FindPackageNote(s.packageNotes, device::RowPackage(s.listing, t));
  colour = note >= 1 ? s.packageNotes[static_cast<std::size_t>(note - 1)].rgb : 0;
  std::string remark = note >= 1 ? s.packageNotes[static_cast<std::size_t>(note - 1)].Tips : std::string();
  if (remark.empty()) remark = "暂无说明";
  const int columns = reportList_.ColumnCount();
  for (int k = 0; k < columns; ++k)
    texts.push_back(k == columns - 1 ? remark : s.listing.Cell(t, k + 1));
  return true;
}

void MainWindow::Layout() {
  if (!layoutInstalled_) return;
  const int w = width() - 264;
  const int h = height();
  const int outputHeight = outputEdit_->height();
  reportList_.SetPosition(264, 0, w, h - outputHeight);
  outputEdit_->setGeometry(264, h - outputHeight, w, outputHeight);
  const int mode = Shared().listing.viewMode;
  if (mode == device::kProcessListing) {
    const int n = reportList_.ColumnCount() - 1;
    const int shared = (w - 536) / 2;
    reportList_.SetColumnWidth(n - 1, shared);
    reportList_.SetColumnWidth(n, shared);
  } else if (mode == device::kPackageListing) {
    reportList_.SetColumnWidth(2, w - 380);
  }
  group2_->resize(group2_->width(), h - group2_->y() - 5);
  dataSetList_->resize(dataSetList_->width(), group2_->height() - dataSetList_->y() - 10);
}

void MainWindow::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  Layout();
}

void MainWindow::OnListRightClick(int row, int column) {
  if (row < 0) return;
  Shared().currentCell = {row + 1, column + 1};
  ShowMenu(commandChooser_->currentIndex() + 1);
}

void MainWindow::OnListDoubleClick(int row, int column) {
  if (row < 0) return;
  const int mode = Shared().listing.viewMode;
  const int remarkColumn = mode == device::kProcessListing ? 9 : mode == device::kPackageListing ? 3 : -1;
  if (column + 1 == remarkColumn) OpenRemarkEditor(*this, row + 1, column + 1);
}

void MainWindow::OnChooserActivated(int index) {
  const auto& commands = Shared().viewCommands;
  if (index < 0 || index >= static_cast<int>(commands.size())) return;
  commandEdit_->setPlainText(ToQLines(commands[static_cast<std::size_t>(index)].command));
  RunConsoleCommand();
}

void MainWindow::OnLongButtonClicked() {
  QObject* button = sender();
  if (!button) return;
  int code = button->property("tag").toString().toInt();
  std::function<void(int)> worker = buttonWorker_;
  if (!worker) {
    worker = [window = QPointer<MainWindow>(this), control = processControl_,
              runDir = Shared().runDirectory](int actionCode) {
      QtWindowAccess access(window.data());
      device::ButtonWorker(actionCode, access, Shared().console, runDir, control);
    };
  }
  // The worker runs on its own and is not waited for.
  std::thread([worker, code] { worker(code); }).detach();
}

void MainWindow::closeEvent(QCloseEvent* e) {
  closing_ = true;
  SaveConfiguration(*this);
  // The window closes even when the interpreter had already ended.
  Shared().console.Close();
  e->accept();
}

}  // namespace quenlo::app
