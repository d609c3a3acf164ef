#include "orvane/size.hpp"

#include "orvane/log.hpp"

namespace orvane {

Size operator/(const Size& size, double divisor) {
  if (divisor == 0) {
    Log::log("Can't devine by 0", Log::Level::error());
    return size;
  }
  return {size.width / divisor, size.height / divisor};
}

}  // namespace orvane
