#pragma once

#include <memory>

#include "core/support/platform/advertising_id.hpp"
#include "platform/qt/stored_uuid.hpp"

namespace orvane::qt {

// The desktop has no advertising identifier: a random one per user stands in,
// kept in the store so that it survives restarts.
class QtAdvertisingId final : public AdvertisingId {
 public:
  static constexpr const char* kKey = "ORVANE_ADVERTISING_ID";

  explicit QtAdvertisingId(std::shared_ptr<KeyValueStore> store) : id_(std::move(store), kKey) {}

  std::string advertisingIdentifier() override { return id_.value(); }

 private:
  StoredUuid id_;
};

}  // namespace orvane::qt
