#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "orvane/export.hpp"

// What the SDK tells its host: the wall opened and closed, its list, a participation and
// its reward, and errors. Free of Qt, for hosts with another toolkit; a Qt host can use
// the signals of `Orvane::events()` (orvane_events.hpp) instead, which carry the same.
//
// Threading. Every event is delivered on the GUI thread (the platform's main queue), from
// the event loop, never from inside an SDK call: a listener may close or delete a wall,
// open another or call any entry point. Delivery is never re-entrant: an event raised
// while a listener runs is queued and delivered after that listener returns, in the order
// raised. Listeners are called in the order they were added.
//
// Order. For one wall:
//   WallOpened
//   then ListLoaded or ListFailed for each list the wall shows or fails to get (a wall
//     opened after a prefetch reports the prefetched list, then the refreshed one)
//   then, for each campaign the user takes part in, ParticipationStarted, and when the
//     server confirms the reward, RewardClaimed
//   WallClosed, last. A claim or a confirmation poll still under way when the wall closes
//     is finished first (bounded by the transport's timeout and the poll's five seconds),
//     so that its RewardClaimed always comes before the WallClosed.
// ErrorEvent comes at the point of the failure, beside ListFailed where both apply.
// Configuration faults of an entry point (not initialised, a base URL that does not parse,
// no application object) are raised as ErrorEvent too, and returned as its Outcome.
namespace orvane {

// Why an entry point did nothing.
enum class Fault {
  none,
  notInitialized,  // initialize() has not stored a media key, channel key and user id
  invalidBaseUrl,  // OrvaneSDK::hostUrl does not parse as an http(s) URL
  noApplication,   // no QApplication (or another toolkit's platform) exists yet
  noHostWidget,    // presentOrvane was given no widget
  offGuiThread,    // called from a thread other than the GUI thread
  noResources,     // the wall's screens could not be made
};

// What an entry point did: ok, or the fault and a text for the developer (never for users).
struct Outcome {
  Fault fault = Fault::none;
  std::string text;

  bool ok() const { return fault == Fault::none; }
  explicit operator bool() const { return ok(); }
};

// The `code` of an ErrorEvent: the server's result code or the HTTP status where there is
// one (positive), otherwise one of these.
namespace error_code {
inline constexpr int notInitialized = -1;
inline constexpr int invalidBaseUrl = -2;
inline constexpr int noApplication = -3;
inline constexpr int noHostWidget = -4;
inline constexpr int offGuiThread = -5;
inline constexpr int noResources = -6;
inline constexpr int network = -10;  // refused, DNS, TLS, reset
inline constexpr int timeout = -11;
inline constexpr int emptyResponse = -12;
inline constexpr int decoding = -13;  // an answer that is not what the server should send
inline constexpr int other = -20;
}  // namespace error_code

// Walls are numbered from 1 in the order they are made, per process.
struct WallOpened {
  std::uint64_t wall = 0;
};
struct WallClosed {
  std::uint64_t wall = 0;
};
struct ListLoaded {
  std::uint64_t wall = 0;
  std::size_t count = 0;   // campaigns in the list, of both kinds
  double totalReward = 0;  // what the user can still collect
  std::string mark;        // the currency mark of the total
  bool outOfDate = false;  // the last list kept from an earlier load (no network)
};
struct ListFailed {
  std::uint64_t wall = 0;
  std::string reason;
};
struct ParticipationStarted {
  std::int64_t campid = 0;
  std::string name;
};
struct RewardClaimed {
  std::int64_t campid = 0;
  std::string name;
  double amount = 0;
  std::string mark;
};
struct ErrorEvent {
  std::string operation;  // "presentOrvane", "list", "join", "reward", ...
  int code = 0;
  std::string text;  // for the developer's log, not for users
};

// Override what you need; the defaults do nothing.
class ORVANE_EXPORT EventListener {
 public:
  EventListener() = default;
  EventListener(const EventListener&) = default;
  EventListener(EventListener&&) = default;
  EventListener& operator=(const EventListener&) = default;
  EventListener& operator=(EventListener&&) = default;
  virtual ~EventListener();
  virtual void onWallOpened(const WallOpened& /*event*/) {}
  virtual void onWallClosed(const WallClosed& /*event*/) {}
  virtual void onListLoaded(const ListLoaded& /*event*/) {}
  virtual void onListFailed(const ListFailed& /*event*/) {}
  virtual void onParticipationStarted(const ParticipationStarted& /*event*/) {}
  virtual void onRewardClaimed(const RewardClaimed& /*event*/) {}
  virtual void onError(const ErrorEvent& /*event*/) {}
};

// Adds a listener for every later event. It is kept weakly: dropping the last reference
// removes it. Any thread; a listener added while events are delivered gets the next ones.
ORVANE_EXPORT void addEventListener(const std::shared_ptr<EventListener>& listener);
// Removes a listener; after this returns on the GUI thread it is not called again.
ORVANE_EXPORT void removeEventListener(const EventListener* listener);

}  // namespace orvane
