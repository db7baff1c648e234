#include "app/shared_state.h"

#include <QApplication>
#include <QFont>

#include "console/qt_waiter.h"
#include "platform/process.h"

namespace quenlo::app {

SharedState& Shared() {
  static SharedState state;
  return state;
}

void InitializeProcess(const std::string& interpreterPath, const std::string& runDir) {
  platform::IgnoreBrokenPipes();
  console::InstallQtWaiters();
  Shared().runDirectory = runDir;
  Shared().console.SetInterpreter(interpreterPath);
  if (qApp) {
    QFont font = QApplication::font();
    font.setPointSize(9);
    QApplication::setFont(font);
  }
}

}  // namespace quenlo::app
