#pragma once

#include <string>

#include "core/support/platform/key_value_store.hpp"
#include "core/support/result.hpp"

namespace orvane {

// Who the host and its user are, as `Orvane::initialize` wrote them.
struct Identity {
  std::string mkey;
  std::string mckey;
  std::string userId;
};

// The one rule for "initialised", used by the facade's entry points and the request
// builder alike: the media key, the media channel key and the user id are all written
// and none of them is empty. Otherwise an error of kind notConfigured that names each
// missing or empty setting. A null store counts as nothing written. Any thread.
Result<Identity> readIdentity(const KeyValueStore* store);
inline bool isInitialized(const KeyValueStore* store) { return readIdentity(store).ok(); }

}  // namespace orvane
