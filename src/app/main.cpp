#include <QApplication>

#include "app/main_window.h"
#include "app/shared_state.h"
#include "platform/paths.h"
#include "platform/text.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const std::string runDir = quenlo::platform::RunDirectory();
  quenlo::app::InitializeProcess(quenlo::platform::GbkToUtf8(runDir) + "/quenlo-cmd", runDir);
  int rc = 0;
  {
    quenlo::app::MainWindow window;
    window.Open();
    rc = QApplication::exec();
  }
  quenlo::app::Shared().console.Close();
  return rc;
}
