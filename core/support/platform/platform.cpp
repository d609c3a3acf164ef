#include "core/support/platform/platform.hpp"

#include <atomic>

#include "core/support/platform/memory_key_value_store.hpp"

namespace orvane {

namespace {

std::shared_ptr<const Platform> makeBarePlatform() {
  auto p = std::make_shared<Platform>();
  p->store = std::make_shared<MemoryKeyValueStore>();
  p->clock = std::make_shared<SystemClock>();
  return p;
}

// Atomic so that a worker reading `current()` never races the installer.
std::atomic<std::shared_ptr<const Platform>>& slot() {
  static std::atomic<std::shared_ptr<const Platform>> s{makeBarePlatform()};
  return s;
}

}  // namespace

std::shared_ptr<const Platform> Platform::current() { return slot().load(); }

void Platform::install(std::shared_ptr<const Platform> platform) {
  slot().store(platform ? std::move(platform) : makeBarePlatform());
}

}  // namespace orvane
