#pragma once

#include <functional>
#include <memory>

#include "core/support/platform/alert_host.hpp"

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
  // Asks the user when the status is not determined; otherwise answers at once. The
  // question blocks `host`, the screen the user is on (the flow hands its own alert
  // host), as the phone's prompt blocks the screen; empty when there is none, and the
  // platform asks in its own way. The completion runs exactly once, also when the
  // question goes away unanswered (then with a status other than authorized).
  virtual void requestAuthorization(std::function<void(int status)> completion,
                                    std::weak_ptr<AlertHost> host) = 0;
};

}  // namespace orvane
