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

// Runs the command text of a chosen menu item.
void RunMenuCommand(MainWindow& window, const std::string& command);

// Loads the donation window (not modal, owned by the main window).
void LoadDonationWindow(MainWindow& window);

// Lays the window out for its current size and takes over its resizing,
// painting of listing rows and right-clicks.
void InstallMainWindowBehaviour(MainWindow& window);

// Gives the three labels at the top left their hover behaviour.
void InstallLabelBehaviour(MainWindow& window);

// Called with each command run from the command box and its reply, after
// the reply is shown: the listing commands fill the report list from it.
void ParseListingReply(MainWindow& window, const std::string& command, const std::string& reply);

// Hands the bytes of the data set file found at start-up to the data-set
// panel.
void LoadStartupDataSet(MainWindow& window, const std::string& bytes);

}  // namespace quenlo::app
