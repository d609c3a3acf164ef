#pragma once

#include <cstdint>
#include <string_view>

namespace orvane {

// Reads the text of one JSON number token as an integer by its exact decimal value, so that
// 300.0 and 1e2 count as integers while 300.5 and 1e400 do not; no rounding through double.
struct JsonInteger {
  enum class Status {
    integer,     // `value` holds it
    fractional,  // a valid number whose value is not integral
    outOfRange,  // integral, but outside the signed 64-bit range
    malformed,   // not a JSON number at all
  };
  Status status = Status::malformed;
  std::int64_t value = 0;
};

JsonInteger readJsonInteger(std::string_view token);

// Whether `token` follows the JSON number grammar exactly (no surrounding white space).
bool isJsonNumber(std::string_view token);

}  // namespace orvane
