#include "platform/xdg/handler_cache.hpp"

#include <optional>
#include <thread>

namespace orvane::xdg {

bool HandlerCache::found(const std::string& scheme, const XdgEnvironment& env, Deadline deadline) {
  std::optional<Known> known;
  {
    std::lock_guard lock(mutex_);
    if (auto it = known_.find(scheme); it != known_.end()) known = it->second;
    const bool stale = !known || std::chrono::steady_clock::now() - known->at > kKnownFor;
    if (stale && refreshing_.insert(scheme).second) {
      std::thread([self = shared_from_this(), env, scheme, deadline] {
        self->record(scheme, findUrlHandler(env, scheme, deadline));
        std::lock_guard lock(self->mutex_);
        self->refreshing_.erase(scheme);
      }).detach();
    }
  }
  return known && known->found;
}

void HandlerCache::record(const std::string& scheme, const HandlerLookup& lookup) {
  if (lookup.status == HandlerLookup::Status::timedOut) return;
  std::lock_guard lock(mutex_);
  known_[scheme] = {lookup.status == HandlerLookup::Status::found, std::chrono::steady_clock::now()};
}

}  // namespace orvane::xdg
