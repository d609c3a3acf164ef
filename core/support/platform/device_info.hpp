#pragma once

#include <optional>
#include <string>

namespace orvane {

// Facts about the device. Safe to call from any thread.
class DeviceInfo {
 public:
  virtual ~DeviceInfo() = default;
  virtual std::string systemVersion() const = 0;
  // The vendor identifier as upper-case hyphenated UUID text; absent when there is none.
  virtual std::optional<std::string> vendorIdentifier() const = 0;
  // The raw machine identifier (uname's machine field).
  virtual std::string machineIdentifier() const = 0;
  // The cellular provider's name; absent without a provider.
  virtual std::optional<std::string> carrierName() const = 0;
  // Capability query in place of the phone platform's version gates
  // ("version 14 and later"). A desktop answers true.
  virtual bool isSystemVersionAtLeast(int major) const = 0;
  // The URL of this application's privacy settings page, if the platform has one.
  virtual std::optional<std::string> privacySettingsUrl() const = 0;
};

}  // namespace orvane
