#pragma once

#include <cstdint>
#include <vector>

#include "orvane/export.hpp"

namespace orvane {
// The public face of classes whose full version is internal: the inline namespace keeps
// their symbols apart from the internal ones while hosts still write orvane::ApiJoin.
inline namespace public_api {

// The participation flow, as far as a host may look into it. GUI thread only, like the
// flow itself.
class ORVANE_EXPORT ApiJoin {
 public:
  // The process-wide flow (the one the wall uses), created on first use.
  static ApiJoin& shared();

  // Campaigns whose join succeeded and that wait for the participation check; an id
  // appears once per such join. Empty before the first join of this process.
  std::vector<std::int64_t> getPartiConfirmList() const;

  ~ApiJoin() = default;
  ApiJoin(const ApiJoin&) = delete;
  ApiJoin& operator=(const ApiJoin&) = delete;

 private:
  ApiJoin() = default;
};

}  // namespace public_api
}  // namespace orvane
