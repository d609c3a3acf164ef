#include "platform/fake/fake_main_queue.hpp"

#include <algorithm>
#include <optional>

namespace orvane::testing {

class FakeTimer : public Timer {
 public:
  FakeTimer(std::weak_ptr<FakeMainQueue> queue, Millis interval, bool repeats,
            std::function<void(Timer&)> tick)
      : queue_(std::move(queue)), interval_(interval), repeats_(repeats), tick_(std::move(tick)) {}
  ~FakeTimer() override { invalidate(); }

  void start() { arm(); }

  void invalidate() override {
    valid_ = false;
    if (auto q = queue_.lock(); q && armedSeq_) q->cancel(*armedSeq_);
    armedSeq_.reset();
  }
  bool isValid() const override { return valid_; }
  void fire() override {
    if (!valid_) return;
    if (!repeats_) invalidate();
    auto tick = tick_;  // the tick may destroy this timer
    tick(*this);
  }

 private:
  void arm() {
    auto q = queue_.lock();
    if (!q || !valid_) return;
    // A zero interval would spin forever on virtual time; the platform clamps too.
    const Millis step = interval_.count() > 0 ? interval_ : Millis{1};
    armedSeq_ = q->schedule(q->now() + step, [this] {
      armedSeq_.reset();
      if (!valid_) return;
      if (repeats_) {
        arm();
      } else {
        valid_ = false;
      }
      auto tick = tick_;  // the tick may destroy this timer
      tick(*this);
    });
  }

  std::weak_ptr<FakeMainQueue> queue_;
  Millis interval_;
  bool repeats_;
  std::function<void(Timer&)> tick_;
  bool valid_ = true;
  std::optional<std::uint64_t> armedSeq_;
};

FakeMainQueue::FakeMainQueue() : mainThread_(std::this_thread::get_id()) {}

void FakeMainQueue::post(std::function<void()> work) { postDelayed(Millis{0}, std::move(work)); }

void FakeMainQueue::postDelayed(Millis delay, std::function<void()> work) {
  std::lock_guard lock(mutex_);
  queue_.emplace(Key{now_ + std::max<std::int64_t>(0, delay.count()), nextSeq_++}, std::move(work));
}

std::uint64_t FakeMainQueue::schedule(Millis due, std::function<void()> work) {
  std::lock_guard lock(mutex_);
  const auto seq = nextSeq_++;
  queue_.emplace(Key{due.count(), seq}, std::move(work));
  return seq;
}

void FakeMainQueue::cancel(std::uint64_t seq) {
  std::lock_guard lock(mutex_);
  for (auto it = queue_.begin(); it != queue_.end(); ++it) {
    if (std::get<1>(it->first) == seq) {
      queue_.erase(it);
      return;
    }
  }
}

std::unique_ptr<Timer> FakeMainQueue::scheduleTimer(Millis interval, bool repeats,
                                                    std::function<void(Timer&)> tick) {
  auto timer = std::make_unique<FakeTimer>(weak_from_this(), interval, repeats, std::move(tick));
  timer->start();
  return timer;
}

bool FakeMainQueue::isMainThread() const {
  std::lock_guard lock(mutex_);
  return std::this_thread::get_id() == mainThread_;
}

void FakeMainQueue::adoptCurrentThread() {
  std::lock_guard lock(mutex_);
  mainThread_ = std::this_thread::get_id();
}

void FakeMainQueue::advance(Millis ms, const std::function<void()>& between) {
  std::int64_t end = 0;
  {
    std::lock_guard lock(mutex_);
    end = now_ + std::max<std::int64_t>(0, ms.count());
  }
  for (;;) {
    if (between) between();
    std::function<void()> work;
    {
      std::lock_guard lock(mutex_);
      auto it = queue_.begin();
      if (it == queue_.end() || std::get<0>(it->first) > end) {
        now_ = end;
        return;
      }
      now_ = std::max(now_, std::get<0>(it->first));
      work = std::move(it->second);
      queue_.erase(it);
    }
    work();
  }
}

Millis FakeMainQueue::now() const {
  std::lock_guard lock(mutex_);
  return Millis{now_};
}

std::size_t FakeMainQueue::pending() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

}  // namespace orvane::testing
