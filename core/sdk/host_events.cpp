#include "core/sdk/host_events.hpp"

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

#include "orvane/log.hpp"

namespace orvane {

EventListener::~EventListener() = default;

struct HostEvents::Impl : std::enable_shared_from_this<Impl> {
  explicit Impl(std::shared_ptr<const Platform> p) : platform(std::move(p)) {}

  std::shared_ptr<const Platform> platform;
  std::mutex mutex;
  std::vector<std::weak_ptr<EventListener>> listeners;
  std::deque<HostEvent> queue;
  std::vector<HostEvent> parked;  // closes waiting for the holds
  int holds = 0;
  bool posted = false;
  bool delivering = false;

  // Called with the mutex held.
  void schedule(std::unique_lock<std::mutex>& lock) {
    if (posted || delivering || queue.empty()) return;
    const auto p = platform ? platform : Platform::current();
    if (!p->mainQueue) {
      // No event loop to post to (a bare platform): delivered here, still one at a time.
      lock.unlock();
      drain();
      lock.lock();
      return;
    }
    posted = true;
    p->mainQueue->post([weak = weak_from_this()] {
      if (auto self = weak.lock()) {
        {
          std::lock_guard guard(self->mutex);
          self->posted = false;
        }
        self->drain();
      }
    });
  }

  void drain() {
    std::unique_lock lock(mutex);
    if (delivering) return;
    delivering = true;
    while (!queue.empty()) {
      HostEvent event = std::move(queue.front());
      queue.pop_front();
      std::vector<std::shared_ptr<EventListener>> targets;
      for (const auto& weak : listeners)
        if (auto listener = weak.lock()) targets.push_back(std::move(listener));
      lock.unlock();
      for (const auto& listener : targets) {
        // Removed by an earlier listener of this same event: not called any more.
        if (!isListening(listener.get())) continue;
        deliver(*listener, event);
      }
      lock.lock();
    }
    delivering = false;
  }

  bool isListening(const EventListener* listener) {
    std::lock_guard guard(mutex);
    return std::any_of(listeners.begin(), listeners.end(),
                       [&](const auto& weak) { return weak.lock().get() == listener; });
  }

  static void deliver(EventListener& listener, const HostEvent& event) {
    std::visit(
        [&](const auto& e) {
          using E = std::decay_t<decltype(e)>;
          if constexpr (std::is_same_v<E, WallOpened>) listener.onWallOpened(e);
          if constexpr (std::is_same_v<E, WallClosed>) listener.onWallClosed(e);
          if constexpr (std::is_same_v<E, ListLoaded>) listener.onListLoaded(e);
          if constexpr (std::is_same_v<E, ListFailed>) listener.onListFailed(e);
          if constexpr (std::is_same_v<E, ParticipationStarted>) listener.onParticipationStarted(e);
          if constexpr (std::is_same_v<E, RewardClaimed>) listener.onRewardClaimed(e);
          if constexpr (std::is_same_v<E, ErrorEvent>) listener.onError(e);
        },
        event);
  }

  void release() {
    std::unique_lock lock(mutex);
    if (holds > 0) --holds;
    if (holds > 0 || parked.empty()) return;
    for (auto& event : parked) queue.push_back(std::move(event));
    parked.clear();
    schedule(lock);
  }
};

HostEvents::HostEvents(std::shared_ptr<const Platform> platform)
    : impl_(std::make_shared<Impl>(std::move(platform))) {}

HostEvents::~HostEvents() = default;

HostEvents& HostEvents::shared() {
  // Never destroyed: a delivery may be queued while the process exits.
  static auto* instance = new HostEvents(nullptr);
  return *instance;
}

void HostEvents::addListener(const std::shared_ptr<EventListener>& listener) {
  if (!listener) return;
  std::lock_guard lock(impl_->mutex);
  auto& all = impl_->listeners;
  all.erase(std::remove_if(all.begin(), all.end(), [](const auto& weak) { return weak.expired(); }),
            all.end());
  all.push_back(listener);
}

void HostEvents::removeListener(const EventListener* listener) {
  std::lock_guard lock(impl_->mutex);
  auto& all = impl_->listeners;
  all.erase(std::remove_if(all.begin(), all.end(),
                           [&](const auto& weak) {
                             const auto locked = weak.lock();
                             return !locked || locked.get() == listener;
                           }),
            all.end());
}

void HostEvents::raise(HostEvent event) {
  std::unique_lock lock(impl_->mutex);
  if (std::holds_alternative<WallClosed>(event) && impl_->holds > 0) {
    Log::log("Orvane: the wall's closed event waits for the reward claim under way", Log::Level::info());
    impl_->parked.push_back(std::move(event));
    return;
  }
  impl_->queue.push_back(std::move(event));
  impl_->schedule(lock);
}

std::shared_ptr<void> HostEvents::holdCloses() {
  {
    std::lock_guard lock(impl_->mutex);
    ++impl_->holds;
  }
  return std::shared_ptr<void>(nullptr, [weak = std::weak_ptr<Impl>(impl_)](void*) {
    if (auto impl = weak.lock()) impl->release();
  });
}

std::uint64_t HostEvents::nextWallId() {
  static std::atomic<std::uint64_t> next{1};
  return next.fetch_add(1);
}

int hostErrorCode(const Error& error) {
  switch (error.kind) {
    case Error::Kind::httpStatus:
      return error.status;
    case Error::Kind::network:
    case Error::Kind::cancelled:
      return error_code::network;
    case Error::Kind::timeout:
      return error_code::timeout;
    case Error::Kind::emptyResponse:
      return error_code::emptyResponse;
    case Error::Kind::notConfigured:
      return error_code::notInitialized;
    case Error::Kind::invalidUrl:
      return error_code::invalidBaseUrl;
    case Error::Kind::decoding:
      return error_code::decoding;
    case Error::Kind::encoding:
      return error_code::other;
  }
  return error_code::other;
}

ErrorEvent errorEvent(std::string operation, const Error& error) {
  return ErrorEvent{std::move(operation), hostErrorCode(error), error.description};
}

void addEventListener(const std::shared_ptr<EventListener>& listener) {
  HostEvents::shared().addListener(listener);
}

void removeEventListener(const EventListener* listener) { HostEvents::shared().removeListener(listener); }

}  // namespace orvane
