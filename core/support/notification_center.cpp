#include "core/support/notification_center.hpp"

#include <algorithm>
#include <mutex>
#include <vector>

namespace orvane {

struct NotificationCenter::Entry {
  std::string name;
  Callback callback;
  // Held while the callback runs, so that removal from another thread waits for it;
  // recursive so that a callback may post again or drop its own token.
  std::recursive_mutex callMutex;
  bool active = true;  // guarded by callMutex
};

struct NotificationCenter::Registry {
  mutable std::mutex mutex;
  std::vector<std::shared_ptr<Entry>> entries;

  void remove(const Entry* entry) {
    std::lock_guard lock(mutex);
    std::erase_if(entries, [entry](const auto& e) { return e.get() == entry; });
  }
};

NotificationCenter::Observation& NotificationCenter::Observation::operator=(Observation&& other) noexcept {
  if (this != &other) {
    reset();
    entry_ = std::move(other.entry_);
    registry_ = std::move(other.registry_);
  }
  return *this;
}

NotificationCenter::Observation::~Observation() { reset(); }

void NotificationCenter::Observation::reset() {
  if (!entry_) return;
  {
    std::lock_guard lock(entry_->callMutex);
    entry_->active = false;
  }
  if (auto registry = registry_.lock()) registry->remove(entry_.get());
  // The callback (and whatever it captured) goes with the last reference; a post
  // that still holds its snapshot only sees `active == false`.
  entry_.reset();
  registry_.reset();
}

NotificationCenter::NotificationCenter() : registry_(std::make_shared<Registry>()) {}

NotificationCenter::~NotificationCenter() = default;

NotificationCenter& NotificationCenter::shared() {
  static NotificationCenter center;
  return center;
}

NotificationCenter::Observation NotificationCenter::observe(std::string_view name, Callback callback) {
  auto entry = std::make_shared<Entry>();
  entry->name = std::string(name);
  entry->callback = std::move(callback);
  {
    std::lock_guard lock(registry_->mutex);
    registry_->entries.push_back(entry);
  }
  return Observation(std::move(entry), registry_);
}

void NotificationCenter::post(std::string_view name) {
  std::vector<std::shared_ptr<Entry>> targets;
  {
    std::lock_guard lock(registry_->mutex);
    for (const auto& entry : registry_->entries) {
      if (entry->name == name) targets.push_back(entry);
    }
  }
  // No centre lock is held while calling out: observers may observe, post or drop tokens.
  for (const auto& entry : targets) {
    std::lock_guard lock(entry->callMutex);
    if (entry->active && entry->callback) entry->callback();
  }
}

std::size_t NotificationCenter::observerCount(std::string_view name) const {
  std::lock_guard lock(registry_->mutex);
  return static_cast<std::size_t>(std::count_if(registry_->entries.begin(), registry_->entries.end(),
                                                [name](const auto& e) { return e->name == name; }));
}

}  // namespace orvane
