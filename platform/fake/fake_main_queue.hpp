#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>

#include "core/support/platform/main_queue.hpp"

namespace orvane::testing {

// A main queue on virtual time. Nothing runs until the test calls `advance` or
// `runUntilIdle`; then due work runs in due-time order (submission order for equal
// times) on the calling thread, which counts as the main thread. No sleeping.
class FakeMainQueue : public MainQueue, public std::enable_shared_from_this<FakeMainQueue> {
 public:
  FakeMainQueue();

  void post(std::function<void()> work) override;
  void postDelayed(Millis delay, std::function<void()> work) override;
  std::unique_ptr<Timer> scheduleTimer(Millis interval, bool repeats,
                                       std::function<void(Timer&)> tick) override;
  bool isMainThread() const override;

  // Moves virtual time forward by `ms`, running everything that falls due, including
  // work that the run itself schedules within the window. `between`, when given, runs
  // before each piece of work and once at the end (FakePlatform runs its executor there).
  void advance(Millis ms, const std::function<void()>& between = nullptr);
  // Runs work due now (and what it posts for now) without moving time.
  void runUntilIdle() { advance(Millis{0}); }
  Millis now() const;
  std::size_t pending() const;
  // Makes the calling thread the main thread (the constructing thread is by default).
  void adoptCurrentThread();

 private:
  friend class FakeTimer;
  using Key = std::tuple<std::int64_t, std::uint64_t>;  // due time, sequence
  std::uint64_t schedule(Millis due, std::function<void()> work);
  void cancel(std::uint64_t seq);

  mutable std::mutex mutex_;
  std::int64_t now_ = 0;
  std::uint64_t nextSeq_ = 0;
  std::map<Key, std::function<void()>> queue_;
  std::thread::id mainThread_;
};

}  // namespace orvane::testing
