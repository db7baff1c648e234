#include "console/qt_waiter.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <mutex>

#include "console/shell_console.h"

namespace quenlo::console {
namespace {

class EventLoopWaiter : public Waiter {
 public:
  void Wait(std::chrono::steady_clock::time_point deadline) override {
    QEventLoop loop;
    {
      std::lock_guard lock(mu_);
      if (woken_) {
        woken_ = false;
        return;
      }
      loop_ = &loop;
    }
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (deadline != std::chrono::steady_clock::time_point::max()) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                      deadline - std::chrono::steady_clock::now())
                      .count() +
                  1;
      timer.start(static_cast<int>(std::clamp<long long>(left, 0, 24LL * 3600 * 1000)));
    }
    loop.exec();
    std::lock_guard lock(mu_);
    loop_ = nullptr;
    woken_ = false;
  }

  void Wake() override {
    std::lock_guard lock(mu_);
    woken_ = true;
    if (loop_) QMetaObject::invokeMethod(loop_, &QEventLoop::quit, Qt::QueuedConnection);
  }

 private:
  std::mutex mu_;
  bool woken_ = false;
  QEventLoop* loop_ = nullptr;
};

}  // namespace

void InstallQtWaiters() {
  SetWaiterFactory([]() -> std::unique_ptr<Waiter> {
    auto* app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread()) return std::make_unique<EventLoopWaiter>();
    return nullptr;
  });
}

}  // namespace quenlo::console
