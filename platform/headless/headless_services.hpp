#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "core/support/platform/advertising_id.hpp"
#include "core/support/platform/device_info.hpp"
#include "core/support/platform/key_value_store.hpp"
#include "core/support/platform/tracking_authorization.hpp"

// The small services of a host without Qt: tracking consent asked through the host,
// the advertising identifier it guards, and the device facts read from the system.
namespace orvane::headless {

// A random UUID made once and kept in the store, as upper-case hyphenated text. A
// stored value that is no such UUID is replaced rather than handed on.
class StoredUuid {
 public:
  StoredUuid(std::shared_ptr<KeyValueStore> store, std::string key);
  std::string value();
  void reset();  // the next value() makes a new one
  static bool isUuidText(std::string_view text);
  static std::string random();

 private:
  std::shared_ptr<KeyValueStore> store_;
  std::string key_;
  std::mutex mutex_;
};

// Tracking consent, asked through the host: `ask` is called on the main thread with a
// function the host calls once with its user's answer (any thread, any time later).
// An answer is remembered in the store, so the user is asked once; `reset` forgets it
// (the host's privacy settings). The advertising identifier is a random one per user,
// handed out only while tracking is allowed (else all zeros), and renewed whenever the
// answer changes.
class HeadlessTracking final : public TrackingAuthorization, public AdvertisingId {
 public:
  using Ask = std::function<void(std::function<void(bool allowed)> answer)>;
  static constexpr const char* kStatusKey = "ORVANE_TRACKING_STATUS";
  static constexpr const char* kAdvertisingIdKey = "ORVANE_ADVERTISING_ID";
  static constexpr const char* kZeroAdvertisingId = "00000000-0000-0000-0000-000000000000";

  HeadlessTracking(std::shared_ptr<KeyValueStore> store, Ask ask);

  int status() const override;
  // The host draws its own question: the SDK's alert host is not used.
  void requestAuthorization(std::function<void(int status)> completion,
                            std::weak_ptr<AlertHost> host) override;
  std::string advertisingIdentifier() override;
  void reset();

 private:
  void record(int status);

  std::shared_ptr<KeyValueStore> store_;
  Ask ask_;
  StoredUuid id_;
};

// Device facts of this machine: os-release's VERSION_ID (else uname's release), uname's
// machine, a vendor UUID kept in the store, no carrier. Either fact may be overridden.
class HeadlessDeviceInfo final : public DeviceInfo {
 public:
  static constexpr const char* kVendorIdKey = "ORVANE_VENDOR_ID";
  static constexpr const char* kPrivacySettingsUrl = "orvane-settings:privacy";

  HeadlessDeviceInfo(std::shared_ptr<KeyValueStore> store,
                     std::optional<std::string> systemVersion = std::nullopt,
                     std::optional<std::string> machine = std::nullopt);

  std::string systemVersion() const override { return systemVersion_; }
  std::optional<std::string> vendorIdentifier() const override { return vendorId_.value(); }
  std::string machineIdentifier() const override { return machine_; }
  std::optional<std::string> carrierName() const override { return std::nullopt; }
  bool isSystemVersionAtLeast(int /*major*/) const override { return true; }
  std::optional<std::string> privacySettingsUrl() const override { return std::string(kPrivacySettingsUrl); }

  // VERSION_ID of an os-release text, quotes removed; absent when missing or empty.
  static std::optional<std::string> versionIdFromOsRelease(std::string_view text);

 private:
  std::string systemVersion_;
  std::string machine_;
  mutable StoredUuid vendorId_;
};

}  // namespace orvane::headless
