#include "platform/headless/pump_main_queue.hpp"

#include <atomic>
#include <utility>
#include <vector>

namespace orvane::headless {

// Ticks reach the timer through `state`, so a tick queued before `invalidate` finds
// it invalid and does nothing.
struct PumpMainQueue::TimerImpl final : Timer {
  struct State {
    std::atomic<bool> valid{true};
    std::function<void(Timer&)> tick;
    Millis interval{0};
    bool repeats = false;
    TimerImpl* owner = nullptr;  // main thread only
  };

  TimerImpl(PumpMainQueue& queue, std::shared_ptr<State> state) : queue(&queue), state(std::move(state)) {}
  ~TimerImpl() override {
    state->valid = false;
    state->owner = nullptr;
  }
  void invalidate() override { state->valid = false; }
  bool isValid() const override { return state->valid; }
  void fire() override {
    if (!state->valid) return;
    if (!state->repeats) state->valid = false;
    auto keep = state;  // the tick may destroy this timer
    keep->tick(*this);
  }

  void arm() {
    std::weak_ptr<State> weak = state;
    queue->schedule(Clock::now() + state->interval, [weak] {
      auto s = weak.lock();
      if (!s || !s->valid || !s->owner) return;
      TimerImpl* self = s->owner;
      if (s->repeats) self->arm();
      self->fire();
    });
  }

  PumpMainQueue* queue;
  std::shared_ptr<State> state;
};

PumpMainQueue::PumpMainQueue(Wake wake) : wake_(std::move(wake)) {
  if (wake_) waker_ = std::thread([this] { wakerLoop(); });
}

PumpMainQueue::~PumpMainQueue() {
  close();
  if (waker_.joinable()) waker_.join();
}

void PumpMainQueue::close() {
  std::deque<std::function<void()>> ready;
  decltype(delayed_) delayed;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    ready.swap(ready_);
    delayed.swap(delayed_);
  }
  changed_.notify_all();
  // A wake in progress on another thread ends before close returns; none starts after.
  std::lock_guard waking(wakeMutex_);
  // Destroyed outside the lock: work may own objects whose destructors post.
}

void PumpMainQueue::post(std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    ready_.push_back(std::move(work));
  }
  callWake();
}

void PumpMainQueue::callWake() {
  if (!wake_) return;
  std::lock_guard waking(wakeMutex_);
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
  }
  wake_();
}

void PumpMainQueue::postDelayed(Millis delay, std::function<void()> work) {
  schedule(Clock::now() + std::max(delay, Millis{0}), std::move(work));
}

void PumpMainQueue::schedule(Clock::time_point due, std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    delayed_.emplace(std::make_pair(due, sequence_++), std::move(work));
  }
  changed_.notify_all();
}

std::unique_ptr<Timer> PumpMainQueue::scheduleTimer(Millis interval, bool repeats,
                                                    std::function<void(Timer&)> tick) {
  auto state = std::make_shared<TimerImpl::State>();
  state->tick = std::move(tick);
  state->interval = std::max(interval, Millis{0});
  state->repeats = repeats;
  auto timer = std::make_unique<TimerImpl>(*this, state);
  state->owner = timer.get();
  timer->arm();
  return timer;
}

long PumpMainQueue::pump() {
  if (!isMainThread()) return -1;
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return 0;
    const auto now = Clock::now();
    while (!delayed_.empty() && delayed_.begin()->first.first <= now) {
      ready_.push_back(std::move(delayed_.begin()->second));
      delayed_.erase(delayed_.begin());
    }
    batch.swap(ready_);
  }
  changed_.notify_all();  // the waker may ask again for what is due later
  long ran = 0;
  for (auto& work : batch) {
    {
      std::lock_guard lock(mutex_);
      if (closed_) break;
    }
    work();
    ++ran;
  }
  return ran;
}

std::size_t PumpMainQueue::pending() const {
  std::lock_guard lock(mutex_);
  return ready_.size() + delayed_.size();
}

std::size_t PumpMainQueue::ready() const {
  std::lock_guard lock(mutex_);
  return ready_.size();
}

std::optional<PumpMainQueue::Clock::time_point> PumpMainQueue::nextDue() const {
  std::lock_guard lock(mutex_);
  if (delayed_.empty()) return std::nullopt;
  return delayed_.begin()->first.first;
}

void PumpMainQueue::wakerLoop() {
  std::unique_lock lock(mutex_);
  while (!closed_) {
    if (delayed_.empty()) {
      changed_.wait(lock);
      continue;
    }
    const auto due = delayed_.begin()->first.first;
    if (Clock::now() < due) {
      changed_.wait_until(lock, due);
      continue;
    }
    // Due: ask the host for a pump, then wait for the pump to take it (or for new work).
    lock.unlock();
    callWake();
    lock.lock();
    changed_.wait(lock, [&] { return closed_ || delayed_.empty() || delayed_.begin()->first.first > due; });
  }
}

}  // namespace orvane::headless
