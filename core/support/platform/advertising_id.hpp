#pragma once

#include <string>

namespace orvane {

// The device's advertising identifier: a UUID as upper-case hyphenated text
// (36 characters). Safe to call from any thread.
class AdvertisingId {
 public:
  virtual ~AdvertisingId() = default;
  virtual std::string advertisingIdentifier() = 0;
};

}  // namespace orvane
