// Running the command of a chosen menu item: the built-in commands that act
// on the package notes, and command templates filled from the right-clicked
// row, with the confirmation the package deserves.
#include <QLineEdit>

#include "app/main_window.h"
#include "app/seams.h"
#include "app/shared_state.h"
#include "device/menu_command.h"
#include "platform/qt_text.h"
#include "ui/command_edit.h"

namespace quenlo::app {
namespace {

std::string CurrentRowPackage() {
  const SharedState& s = Shared();
  return device::RowPackage(s.listing, s.currentCell.row);
}

void DeleteRemark(MainWindow& window) {
  SharedState& s = Shared();
  const int note = device::FindPackageNote(s.packageNotes, CurrentRowPackage());
  if (note >= 1) s.packageNotes.erase(s.packageNotes.begin() + (note - 1));
  window.ReportList().Redraw();
}

void SetColour(MainWindow& window) {
  SharedState& s = Shared();
  const int mode = s.listing.viewMode;
  if (mode != device::kProcessListing && mode != device::kPackageListing) return;
  const std::string package = CurrentRowPackage();
  int note = device::FindPackageNote(s.packageNotes, package);
  if (note == -1) return;
  const auto typed = window.Dialogs().Input(device::kColourPrompt, device::kColourTitle, "0");
  if (!typed) return;
  const auto colour = device::ParseColour(*typed);
  if (!colour) {
    window.Dialogs().Message(device::kColourFormatError, "", ui::Icon::Information, ui::Buttons::Ok);
    return;
  }
  // The notes may have changed while the input box was open.
  note = device::FindPackageNote(s.packageNotes, package);
  if (note == 0) {
    s.packageNotes.push_back({package, "", 0});
    note = static_cast<int>(s.packageNotes.size());
  }
  s.packageNotes[static_cast<std::size_t>(note - 1)].rgb = *colour;
  window.ReportList().Redraw();
}

void RunTemplate(MainWindow& window, const std::string& command) {
  const SharedState& s = Shared();
  const device::TemplatePlan plan =
      device::PlanTemplate(command, s.listing, s.currentCell.row, s.packageNotes);
  if (!plan.refusal.empty()) {
    window.Dialogs().Message(plan.refusal, "", ui::Icon::Warning, ui::Buttons::Ok);
    return;
  }
  if (!plan.run) return;
  if (plan.question) {
    const ui::Answer answer = window.Dialogs().Message(plan.question->text, plan.question->title,
                                                       plan.question->icon, plan.question->buttons);
    if (answer != ui::Answer::Ok && answer != ui::Answer::Yes) return;
  }
  window.CommandEdit()->setPlainText(ToQLines(plan.command));
  window.RunConsoleCommand();
}

}  // namespace

void RunMenuCommand(MainWindow& window, const std::string& command) {
  switch (device::ClassifyMenuCommand(command)) {
    case device::MenuAction::ImportDataSet: ImportDataSet(window); break;
    case device::MenuAction::BatchRun: StartBatchRun(window); break;
    case device::MenuAction::DeleteRemark: DeleteRemark(window); break;
    case device::MenuAction::SetColour: SetColour(window); break;
    case device::MenuAction::Template: RunTemplate(window, command); break;
  }
}

void HideRemarkEditor(MainWindow& window) { window.RemarkEdit()->move(-1000, -1000); }

}  // namespace quenlo::app
