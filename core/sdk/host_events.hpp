#pragma once

#include <memory>
#include <string>
#include <variant>

#include "core/support/platform/platform.hpp"
#include "core/support/result.hpp"
#include "orvane/events.hpp"

namespace orvane {

using HostEvent = std::variant<WallOpened, WallClosed, ListLoaded, ListFailed, ParticipationStarted,
                               RewardClaimed, ErrorEvent>;

// Hands the SDK's events to the host's listeners (orvane/events.hpp says what a host is
// promised). `raise` may be called from any thread: it queues the event and posts one
// delivery run to the main queue, so a listener never runs inside the SDK code that
// raised it, and an event raised while a listener runs waits for it to return.
//
// A WallClosed waits while a hold is kept: the participation flow holds closes while a
// reward claim or a confirmation poll is under way, so its RewardClaimed comes first.
class HostEvents {
 public:
  // A null platform means Platform::current() at each raise.
  explicit HostEvents(std::shared_ptr<const Platform> platform = nullptr);
  ~HostEvents();
  HostEvents(const HostEvents&) = delete;
  HostEvents& operator=(const HostEvents&) = delete;

  // The process-wide instance behind addEventListener; never destroyed.
  static HostEvents& shared();

  void addListener(const std::shared_ptr<EventListener>& listener);
  void removeListener(const EventListener* listener);

  void raise(HostEvent event);

  // WallClosed events wait until every hold is released (the token dropped, any thread).
  [[nodiscard]] std::shared_ptr<void> holdCloses();

  // The next wall's number, from 1.
  static std::uint64_t nextWallId();

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

// An error as the host sees it: the HTTP status or server code where there is one.
int hostErrorCode(const Error& error);
ErrorEvent errorEvent(std::string operation, const Error& error);

}  // namespace orvane
