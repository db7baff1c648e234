#pragma once
// The main window: its controls at their designed places, start-up after the
// window is on screen, and closing.
#include <QMargins>
#include <QRect>
#include <QWidget>
#include <QPoint>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>
#include <memory>

#include "device/leftover_cleanup.h"
#include "ui/dialogs.h"
#include "ui/report_list.h"

class QComboBox;
class QMenu;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace quenlo::ui {
class CommandEdit;
}

namespace quenlo::app {

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // Runs the start-up steps that come before the window is shown, shows it,
  // and runs the rest (console, probe, …) once it has painted.
  void Open();

  // True once every start-up step has run.
  bool StartupFinished() const { return startupFinished_; }

  // Moves and sizes the window by its outer (frame) rectangle.
  void SetOuterRect(int left, int top, int width, int height);

  // The configured menus as Qt menus (rebuilt from the shared menu set).
  void RebuildMenus();
  const std::vector<QMenu*>& Menus() const { return menus_; }
  QMenu* ListMenu() const { return listMenu_; }
  // Opens menu N (1-based) at `pos` (the cursor when not given); a chosen
  // item runs its command text. N outside the menu set shows nothing.
  void ShowMenu(int n, std::optional<QPoint> pos = std::nullopt);
  void ShowListMenu();
  // Runs the command text of a chosen menu item; an empty text runs nothing.
  void OnMenuCommand(int commandId);

  // Runs the text of the command box as it stands and shows the reply in the
  // output box (the listing commands also fill the report list).
  void RunConsoleCommand();

  // Lays the controls out for the window's current size.
  void Layout();

  // For a listing command, fills the listing table and the report list from
  // its reply; other commands change nothing.
  void ShowListing(const std::string& command, const std::string& reply);

  // The work started by the two long-running buttons (replaceable in tests).
  void SetButtonWorker(std::function<void(int)> worker) { buttonWorker_ = std::move(worker); }
  // How the leftover cleanup lists and ends processes (tests give it a list
  // they control).
  void SetProcessControl(device::ProcessControl control) { processControl_ = std::move(control); }
  void SetDialogs(std::shared_ptr<ui::Dialogs> dialogs) { dialogs_ = std::move(dialogs); }
  ui::Dialogs& Dialogs() { return *dialogs_; }

  QLineEdit* IpEdit() const { return ipEdit_; }
  QPushButton* ConnectButton() const { return connectButton_; }
  QPushButton* CloseLeftoversButton() const { return closeLeftoversButton_; }
  QPushButton* ImportXmlButton() const { return importXmlButton_; }
  QComboBox* CommandChooser() const { return commandChooser_; }
  ui::CommandEdit* CommandEdit() const { return commandEdit_; }
  QComboBox* DataSetGroups() const { return dataSetGroups_; }
  QTreeWidget* DataSetList() const { return dataSetList_; }
  QLineEdit* RemarkEdit() const { return remarkEdit_; }
  QPlainTextEdit* OutputEdit() const { return outputEdit_; }
  ui::ReportList& ReportList() { return reportList_; }

 signals:
  void startupFinished();

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void CreateControls();
  void ApplyOuterRect();
  void BeforeShow();
  void AfterFirstPaint();
  void ProbeConnection();
  void OnLongButtonClicked();
  void ImportConfiguration();
  bool RowTexts(int row, std::vector<std::string>& texts, std::int32_t& colour) const;
  void OnListRightClick(int row, int column);
  void OnListDoubleClick(int row, int column);
  void OnChooserActivated(int index);
  void ExecMenu(QMenu* menu, QPoint pos);

  QLineEdit* ipEdit_ = nullptr;
  QLabel* label1_ = nullptr;
  QLabel* label2_ = nullptr;
  QLabel* label3_ = nullptr;
  QPushButton* connectButton_ = nullptr;
  QPushButton* closeLeftoversButton_ = nullptr;
  QPushButton* importXmlButton_ = nullptr;
  QGroupBox* group1_ = nullptr;
  QComboBox* commandChooser_ = nullptr;
  QLabel* label4_ = nullptr;
  ui::CommandEdit* commandEdit_ = nullptr;
  QGroupBox* group2_ = nullptr;
  QComboBox* dataSetGroups_ = nullptr;
  QTreeWidget* dataSetList_ = nullptr;
  QLineEdit* remarkEdit_ = nullptr;
  QPlainTextEdit* outputEdit_ = nullptr;
  ui::ReportList reportList_;
  std::vector<QMenu*> menus_;
  QMenu* listMenu_ = nullptr;

  std::function<void(int)> buttonWorker_;
  device::ProcessControl processControl_;
  std::shared_ptr<ui::Dialogs> dialogs_;
  bool opened_ = false;
  bool afterPaintScheduled_ = false;
  bool startupFinished_ = false;
  bool closing_ = false;
  bool layoutInstalled_ = false;
  long long commandsAsked_ = 0;  // commands run from the command box
  long long newestShown_ = 0;    // the newest of them whose reply is shown
  QRect wantedOuter_;  // outer rectangle still to be reached
  int outerTries_ = 0;
  QMargins appliedMargins_;
};

}  // namespace quenlo::app
