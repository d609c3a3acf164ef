#pragma once

#include <atomic>
#include <optional>
#include <string>

#include "orvane/export.hpp"

namespace orvane {

// Server addresses and the inspection switch, in memory only. A host that uses
// other servers sets them on every launch, before the first screen is shown.
// Request builders read the addresses when they are created. Plain fields without a
// lock: set them on the GUI thread before the SDK's first screen or request.
class ORVANE_EXPORT OrvaneSDK {
 public:
  static OrvaneSDK& shared();

  // Base URL of the API server; absent means the built-in one.
  std::optional<std::string> hostUrl;
  // Base URL of the partner server; used only together with `hostUrl`.
  std::optional<std::string> hostPartnerUrl;
  // Inspection mode: requests carry campinspect=1.
  bool isInspect = false;
  // The notice document's URL; absent means the built-in one (for sandboxes).
  std::optional<std::string> noticeUrl;

  // Does nothing; hosts may call it.
  void initialize() {}

  // Back to the initial values (tests and hosts that reconfigure).
  void reset();

 private:
  OrvaneSDK() = default;
};

}  // namespace orvane
