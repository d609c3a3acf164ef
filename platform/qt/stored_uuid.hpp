#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "core/support/platform/key_value_store.hpp"

namespace orvane::qt {

// A random UUID made once per user and kept in the store, as upper-case hyphenated
// text. A stored value that is no such UUID (edited by hand, written by another
// program) is replaced rather than handed on.
class StoredUuid {
 public:
  StoredUuid(std::shared_ptr<KeyValueStore> store, std::string key);

  std::string value();
  // Forgets the identifier: the next `value()` makes a new one.
  void reset();

  static bool isUuidText(const std::string& text);

 private:
  std::shared_ptr<KeyValueStore> store_;
  std::string key_;
  std::mutex mutex_;  // two first calls must not make two identifiers
};

}  // namespace orvane::qt
