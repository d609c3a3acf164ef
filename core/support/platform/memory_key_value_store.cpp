#include "core/support/platform/memory_key_value_store.hpp"

namespace orvane {

std::optional<StoreValue> MemoryKeyValueStore::object(std::string_view key) const {
  std::lock_guard lock(mutex_);
  if (auto it = values_.find(key); it != values_.end()) return it->second;
  if (auto it = defaults_.find(key); it != defaults_.end()) return it->second;
  return std::nullopt;
}

void MemoryKeyValueStore::setObject(std::string_view key, StoreValue value) {
  std::lock_guard lock(mutex_);
  values_.insert_or_assign(std::string(key), std::move(value));
}

void MemoryKeyValueStore::removeObject(std::string_view key) {
  std::lock_guard lock(mutex_);
  if (auto it = values_.find(key); it != values_.end()) values_.erase(it);
}

void MemoryKeyValueStore::registerDefaults(const std::map<std::string, StoreValue>& defaults) {
  std::lock_guard lock(mutex_);
  for (const auto& [k, v] : defaults) defaults_.insert_or_assign(k, v);
}

std::map<std::string, StoreValue, std::less<>> MemoryKeyValueStore::persisted() const {
  std::lock_guard lock(mutex_);
  return values_;
}

}  // namespace orvane
