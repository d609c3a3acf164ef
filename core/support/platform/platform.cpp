#include "core/support/platform/platform.hpp"

#include <mutex>

#include "core/support/platform/memory_key_value_store.hpp"

namespace orvane {

namespace {

std::shared_ptr<const Platform> makeBarePlatform() {
  auto p = std::make_shared<Platform>();
  p->store = std::make_shared<MemoryKeyValueStore>();
  p->clock = std::make_shared<SystemClock>();
  return p;
}

// A mutex rather than std::atomic<std::shared_ptr>: libstdc++ 12's version of the
// latter is reported as racy by ThreadSanitizer.
struct Slot {
  std::mutex mutex;
  std::shared_ptr<const Platform> platform = makeBarePlatform();
};

// Never destroyed: the installed services (threads, Qt objects) must not be torn
// down during static destruction, in an order nobody controls.
Slot& slot() {
  static auto* s = new Slot;
  return *s;
}

}  // namespace

std::shared_ptr<const Platform> Platform::current() {
  std::lock_guard lock(slot().mutex);
  return slot().platform;
}

void Platform::install(std::shared_ptr<const Platform> platform) {
  auto fresh = platform ? std::move(platform) : makeBarePlatform();
  std::lock_guard lock(slot().mutex);
  slot().platform.swap(fresh);
}

}  // namespace orvane
