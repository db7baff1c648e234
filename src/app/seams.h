#pragma once
// Start-up and closing steps that belong to other parts of the program. Each
// is called at its place in the start-up order.
#include <string>

namespace quenlo::app {

class MainWindow;

// Reads config.xml from the run directory (or the built-in default) and
// applies it: IP address, window rectangle, chooser entries, notes, menus.
void ApplyStartupConfiguration(MainWindow& window);

// Writes the live configuration back to config.xml when the window closes.
void SaveConfigurationOnClose(MainWindow& window);

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
