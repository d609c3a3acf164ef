#pragma once

#include <functional>

namespace orvane {

// Whether the user allows tracking. Statuses as the phone platforms number them.
namespace tracking {
inline constexpr int notDetermined = 0;
inline constexpr int restricted = 1;
inline constexpr int denied = 2;
inline constexpr int authorized = 3;
}  // namespace tracking

// Called on the main thread. The completion may run on any thread; callers hop to
// the main thread themselves.
class TrackingAuthorization {
 public:
  virtual ~TrackingAuthorization() = default;
  virtual int status() const = 0;
  // Asks the user when the status is not determined; otherwise answers at once.
  virtual void requestAuthorization(std::function<void(int status)> completion) = 0;
};

}  // namespace orvane
