#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orvane {

// A value that may be absent, as the log lines write it: "Optional(200)" or "nil".
inline std::string optionalText(const std::optional<std::int64_t>& value) {
  return value ? "Optional(" + std::to_string(*value) + ")" : std::string("nil");
}

}  // namespace orvane
