#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/main_window.h"
#include "app/shared_state.h"
#include "platform/paths.h"
#include "platform/text.h"

int main(int argc, char** argv) {
  int rc = 0;
  {
    QApplication app(argc, argv);
    const std::string runDir = quenlo::platform::RunDirectory();
    quenlo::app::InitializeProcess(quenlo::platform::GbkToUtf8(runDir) + "/quenlo-cmd", runDir);
    quenlo::app::MainWindow window;
    window.Open();
    rc = QApplication::exec();
  }
  quenlo::app::Shared().console.Close();
  // A worker thread may still be waiting (a connection in progress): the
  // process ends here without tearing down the shared objects under it.
  std::fflush(nullptr);
  std::_Exit(rc);
}
