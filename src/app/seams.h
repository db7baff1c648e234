#pragma once
// Start-up and closing steps that belong to other parts of the program. Each
// is called at its place in the start-up order.
#include <string>
#include <string_view>

namespace quenlo::app {

class MainWindow;

// Reads a configuration from its bytes into the shared state and the
// window: the chooser entries and package notes always; at start-up also the
// IP address, the window rectangle and the menus. Bytes that do not parse
// are reported and the built-in configuration is used instead.
void ApplyConfiguration(MainWindow& window, std::string_view bytes, bool atStartup);

// Writes the live configuration to config.xml in the run directory.
void SaveConfiguration(MainWindow& window);

// Runs the command text of a chosen menu item: a built-in or a template
// filled from the right-clicked row.
void RunMenuCommand(MainWindow& window, const std::string& command);

// The data-set panel: importing a data set file and running its list.
void ImportDataSet(MainWindow& window);
void StartBatchRun(MainWindow& window);

// The in-place remark editor and the package search of the report list.
void OpenRemarkEditor(MainWindow& window, int row, int column);
void HideRemarkEditor(MainWindow& window);
void SearchKey(MainWindow& window, int key);

// Loads the donation window (not modal, owned by the main window).
void LoadDonationWindow(MainWindow& window);

// Gives the three labels at the top left their hover behaviour.
void InstallLabelBehaviour(MainWindow& window);

// Hands the bytes of the data set file found at start-up to the data-set
// panel.
void LoadStartupDataSet(MainWindow& window, const std::string& bytes);

}  // namespace quenlo::app
