#include "orvane/config.hpp"

namespace orvane {

// The library's version, for hosts that log what they linked.
const char* orvaneVersion() { return config::kVersion; }

}  // namespace orvane
