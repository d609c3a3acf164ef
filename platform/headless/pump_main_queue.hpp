#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "core/support/platform/main_queue.hpp"

namespace orvane::headless {

// The main queue of a host without a toolkit: work waits here until the host's main
// thread drains it with `pump`, once a frame. A host that prefers it hands in `wake`, a
// function the queue calls (from any thread, never holding a lock) whenever work is
// due; the host then arranges a `pump` on its main thread. Delayed work and timer
// ticks become due by the steady clock; with `wake`, a small thread of the queue calls
// it at their due time.
//
// The main thread is the one that made the queue; `pump` refuses any other.
class PumpMainQueue final : public MainQueue {
 public:
  using Wake = std::function<void()>;
  using Clock = std::chrono::steady_clock;

  explicit PumpMainQueue(Wake wake = nullptr);
  ~PumpMainQueue() override;  // drops what is pending; no work runs afterwards
  PumpMainQueue(const PumpMainQueue&) = delete;
  PumpMainQueue& operator=(const PumpMainQueue&) = delete;

  void post(std::function<void()> work) override;
  void postDelayed(Millis delay, std::function<void()> work) override;
  std::unique_ptr<Timer> scheduleTimer(Millis interval, bool repeats,
                                       std::function<void(Timer&)> tick) override;
  bool isMainThread() const override { return std::this_thread::get_id() == mainThread_; }

  // Runs the work that is due now (work posted meanwhile waits for the next call).
  // Returns how many ran, or -1 when called off the main thread (nothing then runs).
  long pump();
  // Work waiting, due or not; work posted to run at once.
  std::size_t pending() const;
  std::size_t ready() const;
  // When the next delayed work is due; absent when none waits.
  std::optional<Clock::time_point> nextDue() const;
  // Drops everything pending and refuses new work (shutdown).
  void close();

 private:
  struct TimerImpl;
  void schedule(Clock::time_point due, std::function<void()> work);
  void wakerLoop();
  void callWake();  // never while holding mutex_

  const std::thread::id mainThread_ = std::this_thread::get_id();
  Wake wake_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> ready_;
  std::multimap<std::pair<Clock::time_point, std::uint64_t>, std::function<void()>> delayed_;
  std::uint64_t sequence_ = 0;
  bool closed_ = false;
  std::recursive_mutex wakeMutex_;  // held while the host's wake runs, so that close() can wait for it
  std::thread waker_;
};

}  // namespace orvane::headless
