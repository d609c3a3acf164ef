#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "platform/xdg/mime_apps.hpp"

namespace orvane::xdg {

// What look-ups of URL handlers found, per scheme, so that a can-open test answers at
// once without reading the disk on the GUI thread: the latest answer serves for
// `kKnownFor`, and an older or missing one starts a look-up on a thread of its own
// (one per scheme at a time). A look-up that ran out of time teaches nothing. Thread-safe;
// the look-up threads hold the cache, so it may outlive its opener.
class HandlerCache : public std::enable_shared_from_this<HandlerCache> {
 public:
  static constexpr std::chrono::seconds kKnownFor{30};

  // Whether the latest look-up of `scheme` (lower case) found a handler; false while none did.
  bool found(const std::string& scheme, const XdgEnvironment& env, Deadline deadline);
  void record(const std::string& scheme, const HandlerLookup& lookup);

 private:
  struct Known {
    bool found = false;
    std::chrono::steady_clock::time_point at;
  };
  std::mutex mutex_;
  std::map<std::string, Known, std::less<>> known_;
  std::set<std::string, std::less<>> refreshing_;
};

}  // namespace orvane::xdg
