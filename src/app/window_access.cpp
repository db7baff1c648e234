#include "app/window_access.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QThread>
#include <atomic>
#include <future>

#include "platform/qt_text.h"

namespace quenlo::app {
namespace {

// Runs `fn` on the application's thread and returns when it has run.
template <class Fn>
void OnWindowThread(Fn&& fn) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  if (QThread::currentThread() == app->thread()) {
    fn();
    return;
  }
  QMetaObject::invokeMethod(app, std::forward<Fn>(fn), Qt::BlockingQueuedConnection);
}

}  // namespace

std::string QtWindowAccess::IpText() {
  std::string ip;
  OnWindowThread([&] {
    if (window_) ip = FromQ(window_->IpEdit()->text());
  });
  return ip;
}

void QtWindowAccess::AppendOutput(const std::string& text) {
  OnWindowThread([&] {
    if (!window_) return;
    QPlainTextEdit* out = window_->OutputEdit();
    QTextCursor cursor = out->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(ToQLines(text));
    out->setTextCursor(cursor);
    out->ensureCursorVisible();
  });
}

void QtWindowAccess::SetConnectButton(std::optional<bool> enabled, std::optional<std::string> caption) {
  OnWindowThread([&] {
    if (!window_) return;
    if (enabled) window_->ConnectButton()->setEnabled(*enabled);
    if (caption) window_->ConnectButton()->setText(ToQ(*caption));
  });
}

void QtWindowAccess::Inform(const std::string& text) {
  auto dismissed = std::make_shared<std::promise<void>>();
  auto once = std::make_shared<std::atomic<bool>>(false);
  auto done = [dismissed, once](ui::Answer) {
    if (!once->exchange(true)) dismissed->set_value();
  };
  std::future<void> wait = dismissed->get_future();
  OnWindowThread([&] {
    if (!window_) {
      done(ui::Answer::Ok);
      return;
    }
    window_->Dialogs().MessageAsync(text, "", ui::Icon::Information, ui::Buttons::Ok, done);
  });
  wait.wait();
}

}  // namespace quenlo::app
