#pragma once

#include <map>
#include <mutex>
#include <string>

#include "core/support/platform/key_value_store.hpp"

namespace orvane {

// A key-value store held in memory: the stand-in before a platform is installed,
// and the store of tests.
class MemoryKeyValueStore : public KeyValueStore {
 public:
  std::optional<StoreValue> object(std::string_view key) const override;
  void setObject(std::string_view key, StoreValue value) override;
  void removeObject(std::string_view key) override;
  void registerDefaults(const std::map<std::string, StoreValue>& defaults) override;

  // Written values only, without the registration domain (what would be on disk).
  std::map<std::string, StoreValue, std::less<>> persisted() const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, StoreValue, std::less<>> values_;
  std::map<std::string, StoreValue, std::less<>> defaults_;
};

}  // namespace orvane
