// Reading the configuration into the window and the shared state, and
// writing it back.
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSignalBlocker>

#include "app/main_window.h"
#include "app/seams.h"
#include "app/shared_state.h"
#include "config/configuration.h"
#include "config/menus.h"
#include "platform/paths.h"
#include "platform/qt_text.h"

namespace quenlo::app {

void ApplyConfiguration(MainWindow& window, std::string_view bytes, bool atStartup) {
  SharedState& s = Shared();
  xml::XmlDocument& doc = s.configDocument;
  doc.ClearDocument();
  if (!doc.LoadDocument(bytes)) {
    window.Dialogs().Message(config::kImportFailedMessage, "", ui::Icon::Information, ui::Buttons::Ok);
    doc.LoadDocument(config::DefaultConfiguration());
  }

  s.viewCommands = config::ReadViewCommands(doc);
  s.packageNotes = config::ReadPackageNotes(doc);
  {
    // Filling and selecting from the program does not run an entry.
    QSignalBlocker block(window.CommandChooser());
    window.CommandChooser()->clear();
    for (const auto& vc : s.viewCommands) window.CommandChooser()->addItem(ToQ(vc.name));
    window.CommandChooser()->setCurrentIndex(0);
  }
  if (!atStartup) return;

  window.IpEdit()->setText(ToQ(config::ReadIpAddress(doc)));

  QSize screen(1024, 768);
  if (QScreen* primary = QGuiApplication::primaryScreen()) screen = primary->geometry().size();
  const config::WindowRect r = config::ReadWindowRect(doc, screen.width(), screen.height());
  window.SetOuterRect(r.left, r.top, r.width, r.height);

  bool noMenus = false;
  s.menuSet = config::BuildMenuSet(doc, &noMenus);
  if (noMenus)
    window.Dialogs().Message(config::kNoMenusMessage, "", ui::Icon::Information, ui::Buttons::Ok);
  s.listMenu = config::BuildListMenu();
  window.RebuildMenus();
}

void SaveConfiguration(MainWindow& window) {
  SharedState& s = Shared();
  const QRect outer = window.frameGeometry();
  config::LiveConfiguration live;
  live.ip = FromQ(window.IpEdit()->text());
  live.window = {outer.x(), outer.y(), outer.width(), outer.height()};
  live.notes = &s.packageNotes;
  live.viewCommands = &s.viewCommands;
  live.menus = &s.menuSet;
  xml::XmlDocument doc;
  config::BuildConfigurationDocument(doc, live);
  doc.SaveToFile(s.runDirectory + platform::kPathSeparator + "config.xml");
}

}  // namespace quenlo::app
