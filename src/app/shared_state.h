#pragma once
// The objects every part of the program shares. There is exactly one of
// each; they live as long as the process.
#include <string>

#include <vector>

#include "config/configuration.h"
#include "console/shell_console.h"
#include "device/listing.h"
#include "xml/xml_document.h"

namespace quenlo::app {

class MainWindow;

struct SharedState {
  // The directory that holds the program (GBK); config.xml, the data set
  // file and a bundled adb are looked for there.
  std::string runDirectory;
  console::ShellConsole console;
  // The last configuration read, and what was taken from it.
  xml::XmlDocument configDocument;
  std::vector<config::ViewCommand> viewCommands;
  std::vector<config::PackageNote> packageNotes;
  // The right-click menus of the report list (entry N for the N-th chooser
  // entry) and the menu of the data-set list.
  std::vector<config::PopupMenu> menuSet;
  config::PopupMenu listMenu;
  // The table behind the report list and which listing it holds.
  device::ListingTable listing;
  // The report-list cell last right-clicked or double-clicked (from 1).
  struct {
    int row = 0;
    int column = 0;
  } currentCell;
  MainWindow* mainWindow = nullptr;
};

SharedState& Shared();

// Process-wide set-up shared by the program and its window tests: waits on
// the window thread keep the window responsive, the console runs the
// interpreter at `interpreterPath` (UTF-8), the run directory is `runDir`
// (GBK), and the window font is the small one the layout is designed for.
void InitializeProcess(const std::string& interpreterPath, const std::string& runDir);

}  // namespace quenlo::app
