#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace orvane {

using Millis = std::chrono::milliseconds;

// A repeating or one-shot timer on the main thread. Destroying the handle
// invalidates the timer; no tick runs after `invalidate()` or destruction.
class Timer {
 public:
  virtual ~Timer() = default;
  virtual void invalidate() = 0;
  virtual bool isValid() const = 0;
  // Delivers one tick at once (on the calling thread, which must be the main thread);
  // a repeating timer keeps its schedule, a one-shot timer is then invalid.
  virtual void fire() = 0;
};

// The host's main (GUI) thread. `post` and `postDelayed` may be called from any
// thread; the work runs later on the main thread, in submission order for equal
// due times. Timers must be created on the main thread; their ticks run there.
class MainQueue {
 public:
  virtual ~MainQueue() = default;
  virtual void post(std::function<void()> work) = 0;
  virtual void postDelayed(Millis delay, std::function<void()> work) = 0;
  virtual std::unique_ptr<Timer> scheduleTimer(Millis interval, bool repeats,
                                               std::function<void(Timer&)> tick) = 0;
  // True on the main thread.
  virtual bool isMainThread() const = 0;
};

}  // namespace orvane
