#include "orvane/orvane_sdk.hpp"

namespace orvane {

OrvaneSDK& OrvaneSDK::shared() {
  static OrvaneSDK instance;
  return instance;
}

void OrvaneSDK::reset() {
  hostUrl.reset();
  hostPartnerUrl.reset();
  isInspect = false;
  noticeUrl.reset();
}

}  // namespace orvane
