// Start-up steps owned by parts of the program that are not in this build
// yet; each is called at its place and does nothing for now.
#include "app/main_window.h"
#include "app/seams.h"


namespace quenlo::app {

void RunMenuCommand(MainWindow&, const std::string&) {}

void LoadDonationWindow(MainWindow&) {}

void InstallMainWindowBehaviour(MainWindow&) {}

void InstallLabelBehaviour(MainWindow&) {}

void ParseListingReply(MainWindow&, const std::string&, const std::string&) {}

void LoadStartupDataSet(MainWindow&, const std::string&) {}

}  // namespace quenlo::app
