#include "platform/qt/qt_main_queue.hpp"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <limits>

namespace orvane::qt {

namespace {

QThread* guiThread() {
  auto* app = QCoreApplication::instance();
  return app ? app->thread() : QThread::currentThread();
}

int clampedMillis(Millis ms) {
  return static_cast<int>(std::clamp<Millis::rep>(ms.count(), 0, std::numeric_limits<int>::max()));
}

// Deletes a QObject in its own thread; a direct delete from another thread races its events.
void deleteInOwnThread(QObject* object) {
  if (!object) return;
  if (object->thread() == QThread::currentThread()) {
    delete object;
  } else {
    object->deleteLater();
  }
}

class QtTimer final : public Timer {
 public:
  QtTimer(QObject* context, Millis interval, bool repeats, std::function<void(Timer&)> tick)
      : repeats_(repeats), tick_(std::move(tick)) {
    timer_ = new QTimer();
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setSingleShot(!repeats);
    // A zero interval would spin the event loop; the phone platform clamps too.
    timer_->setInterval(std::max(1, clampedMillis(interval)));
    QObject::connect(timer_, &QTimer::timeout, timer_, [this] { onTimeout(); });
    if (timer_->thread() == context->thread()) {
      timer_->start();
    } else {
      timer_->moveToThread(context->thread());
      QPointer<QTimer> t = timer_;
      QMetaObject::invokeMethod(
          context,
          [t] {
            if (t) t->start();
          },
          Qt::QueuedConnection);
    }
  }

  ~QtTimer() override {
    // Never deleted at once: this may be its own tick, still inside the QTimer's signal.
    timer_->disconnect();
    if (timer_->thread() == QThread::currentThread()) timer_->stop();
    timer_->deleteLater();
  }

  void invalidate() override {
    valid_ = false;
    if (timer_->thread() == QThread::currentThread()) {
      timer_->stop();
    } else {
      QPointer<QTimer> t = timer_;
      QMetaObject::invokeMethod(
          timer_,
          [t] {
            if (t) t->stop();
          },
          Qt::QueuedConnection);
    }
  }

  bool isValid() const override { return valid_; }

  void fire() override {
    if (!valid_) return;
    if (!repeats_) invalidate();
    deliver();
  }

 private:
  void onTimeout() {
    if (!valid_) return;  // stopped from another thread after the tick was due
    if (!repeats_) valid_ = false;
    deliver();
  }

  void deliver() {
    // The tick may destroy this handle: keep the callable alive and touch nothing after.
    auto tick = tick_;
    tick(*this);
  }

  bool repeats_;
  std::function<void(Timer&)> tick_;
  std::atomic<bool> valid_{true};
  QTimer* timer_;
};

}  // namespace

QtMainQueue::QtMainQueue() : context_(new QObject()) {
  if (context_->thread() != guiThread()) context_->moveToThread(guiThread());
}

QtMainQueue::~QtMainQueue() { deleteInOwnThread(context_); }

void QtMainQueue::post(std::function<void()> work) {
  QMetaObject::invokeMethod(context_, std::move(work), Qt::QueuedConnection);
}

void QtMainQueue::postDelayed(Millis delay, std::function<void()> work) {
  if (delay.count() <= 0) {
    post(std::move(work));
    return;
  }
  const int ms = clampedMillis(delay);
  if (isMainThread()) {
    QTimer::singleShot(ms, Qt::PreciseTimer, context_, std::move(work));
    return;
  }
  // Timers belong to the thread that starts them: start this one in the GUI thread.
  QObject* context = context_;
  post([context, ms, work = std::move(work)]() mutable {
    QTimer::singleShot(ms, Qt::PreciseTimer, context, std::move(work));
  });
}

std::unique_ptr<Timer> QtMainQueue::scheduleTimer(Millis interval, bool repeats,
                                                  std::function<void(Timer&)> tick) {
  return std::make_unique<QtTimer>(context_, interval, repeats, std::move(tick));
}

bool QtMainQueue::isMainThread() const { return QThread::currentThread() == context_->thread(); }

}  // namespace orvane::qt
