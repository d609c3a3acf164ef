#pragma once

#include <string_view>

#include "core/api/records.hpp"

namespace orvane {

// Which parser decodes a body. `automatic` tries simdjson's SIMD DOM parser first and hands
// every body it cannot settle (a parse error, a number it cannot classify exactly, a strict
// field of the wrong type) to the on-demand reader, which alone produces error descriptions.
// `onDemand` skips the first step. Both give the same result for every body; the choice is
// there so that tests and fuzzers can hold them to that.
enum class DecodePath { automatic, onDemand };

// Defined for the nine records of records.hpp.
template <class R>
Result<R> decodeRecord(std::string_view body, DecodePath path);

}  // namespace orvane
