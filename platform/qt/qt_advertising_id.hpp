#pragma once

#include <memory>

#include "core/support/platform/advertising_id.hpp"
#include "platform/qt/qt_tracking_authorization.hpp"

namespace orvane::qt {

// The desktop has no advertising identifier of its own: a random one per user
// stands in, kept in the store, and handed out only while the user allows tracking
// (else the all-zero UUID, as on the phone platforms). The consent dialog keeps it,
// since a change of the answer also changes the identifier.
class QtAdvertisingId final : public AdvertisingId {
 public:
  static constexpr const char* kKey = QtTrackingAuthorization::kAdvertisingIdKey;
  static constexpr const char* kZero = QtTrackingAuthorization::kZeroAdvertisingId;

  explicit QtAdvertisingId(std::shared_ptr<QtTrackingAuthorization> tracking)
      : tracking_(std::move(tracking)) {}

  std::string advertisingIdentifier() override {
    return tracking_ ? tracking_->advertisingIdentifier() : kZero;
  }

 private:
  std::shared_ptr<QtTrackingAuthorization> tracking_;
};

}  // namespace orvane::qt
