#pragma once

#include "orvane/export.hpp"

namespace orvane {

// A width and height in points. The operators are pure and callable from any thread.
struct Size {
  double width = 0;
  double height = 0;

  friend bool operator==(const Size&, const Size&) = default;
};

inline Size operator*(const Size& size, double factor) { return {size.width * factor, size.height * factor}; }

// A divisor of exactly 0 is the caller's fault: it is logged at error level and
// the size comes back unchanged rather than infinite.
ORVANE_EXPORT Size operator/(const Size& size, double divisor);

}  // namespace orvane
