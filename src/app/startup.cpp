// Start-up steps owned by parts of the program that are not in this build
// yet; each is called at its place and does nothing for now.
#include "app/main_window.h"
#include "app/seams.h"


namespace quenlo::app {

void ImportDataSet(MainWindow&) {}

void StartBatchRun(MainWindow&) {}

void OpenRemarkEditor(MainWindow&, int, int) {}

void SearchKey(MainWindow&, int) {}

void LoadDonationWindow(MainWindow&) {}

void InstallLabelBehaviour(MainWindow&) {}

void LoadStartupDataSet(MainWindow&, const std::string&) {}

}  // namespace quenlo::app
