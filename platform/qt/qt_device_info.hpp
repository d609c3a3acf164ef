#pragma once

#include <memory>
#include <string_view>

#include "core/support/platform/device_info.hpp"
#include "platform/qt/stored_uuid.hpp"

namespace orvane::qt {

// Facts about a Linux desktop: the release from os-release, the machine from
// uname(2), a per-user vendor UUID kept in the store, and no carrier.
class QtDeviceInfo final : public DeviceInfo {
 public:
  static constexpr const char* kVendorIdKey = "ORVANE_VENDOR_ID";
  // Our own scheme: the URL opener answers it by reopening the tracking-consent dialog.
  static constexpr const char* kPrivacySettingsUrl = "orvane-settings:privacy";

  explicit QtDeviceInfo(std::shared_ptr<KeyValueStore> store);

  std::string systemVersion() const override { return systemVersion_; }
  std::optional<std::string> vendorIdentifier() const override { return vendorId_.value(); }
  std::string machineIdentifier() const override { return machine_; }
  std::optional<std::string> carrierName() const override { return std::nullopt; }
  bool isSystemVersionAtLeast(int) const override { return true; }
  std::optional<std::string> privacySettingsUrl() const override { return std::string(kPrivacySettingsUrl); }

 private:
  std::string systemVersion_;
  std::string machine_;
  mutable StoredUuid vendorId_;
};

}  // namespace orvane::qt
