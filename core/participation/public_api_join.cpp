// The public ApiJoin over the internal flow. Its header comes second: from then on
// orvane::ApiJoin is ambiguous here, so the internal class is named through an alias.
#include "core/participation/api_join.hpp"

namespace orvane::internal {
using JoinFlow = ::orvane::ApiJoin;
}  // namespace orvane::internal

#include "orvane/api_join.hpp"

namespace orvane {
inline namespace public_api {

ApiJoin& ApiJoin::shared() {
  static ApiJoin instance;
  return instance;
}

std::vector<std::int64_t> ApiJoin::getPartiConfirmList() const {
  return internal::JoinFlow::shared().getPartiConfirmList();
}

}  // namespace public_api
}  // namespace orvane
