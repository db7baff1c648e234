// Start-up and closing steps owned by parts of the program that are not in
// this build yet. Each does what is possible without its part: the
// configuration step applies the built-in default's address and rectangle.
#include "app/main_window.h"
#include "app/seams.h"

#include <QLineEdit>

#include "platform/qt_text.h"

namespace quenlo::app {

void ApplyStartupConfiguration(MainWindow& window) {
  window.IpEdit()->setText(ToQ("192.168.1.7"));
  window.SetOuterRect(157, 115, 1017, 500);
}

void SaveConfigurationOnClose(MainWindow&) {}

void LoadDonationWindow(MainWindow&) {}

void InstallMainWindowBehaviour(MainWindow&) {}

void InstallLabelBehaviour(MainWindow&) {}

void ParseListingReply(MainWindow&, const std::string&, const std::string&) {}

void LoadStartupDataSet(MainWindow&, const std::string&) {}

}  // namespace quenlo::app
