#include "core/sdk/identity.hpp"

#include <optional>
#include <utility>

#include "core/sdk/settings_keys.hpp"

namespace orvane {

namespace {

void append(std::string& list, const char* key) {
  list += list.empty() ? "" : ", ";
  list += key;
}

}  // namespace

Result<Identity> readIdentity(const KeyValueStore* store) {
  Identity identity;
  std::string missing;
  std::string empty;
  const std::pair<const char*, std::string*> fields[] = {
      {keys::kMkey, &identity.mkey}, {keys::kMckey, &identity.mckey}, {keys::kUserId, &identity.userId}};
  for (const auto& [key, target] : fields) {
    auto value = store ? store->string(key) : std::nullopt;
    if (!value) {
      append(missing, key);
    } else if (value->empty()) {
      // An empty value names nobody: the server could only refuse it, and later.
      append(empty, key);
    } else {
      *target = std::move(*value);
    }
  }
  if (missing.empty() && empty.empty()) return identity;
  std::string why = missing.empty() ? "" : "missing " + missing;
  if (!empty.empty()) why += (why.empty() ? "empty " : "; empty ") + empty;
  return Error::make(
      Error::Kind::notConfigured,
      "the SDK is not initialised (" + why + "): call initialize(mkey, mckey, userId) with non-empty values");
}

}  // namespace orvane
