#pragma once

#include <memory>

#include "core/support/platform/main_queue.hpp"

class QObject;

namespace orvane::qt {

// The host's GUI thread through the Qt event loop. Work is delivered as queued
// calls to a context object that lives in the GUI thread, so it is dropped, not run
// on a dead object, once the queue is gone. Construct it after the QCoreApplication.
class QtMainQueue final : public MainQueue {
 public:
  QtMainQueue();
  ~QtMainQueue() override;
  QtMainQueue(const QtMainQueue&) = delete;
  QtMainQueue& operator=(const QtMainQueue&) = delete;

  void post(std::function<void()> work) override;
  void postDelayed(Millis delay, std::function<void()> work) override;
  std::unique_ptr<Timer> scheduleTimer(Millis interval, bool repeats,
                                       std::function<void(Timer&)> tick) override;
  bool isMainThread() const override;

 private:
  QObject* context_;  // owned; deleted in its own thread
};

}  // namespace orvane::qt
