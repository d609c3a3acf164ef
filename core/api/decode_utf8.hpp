#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// Copies `text` with each maximal ill-formed UTF-8 subsequence replaced by U+FFFD. When
// `repairs` is given, it receives the output offset of every replacement in ascending order,
// so that a reader can tell an inserted U+FFFD from one that was in the text.
std::string repairUtf8(std::string_view text, std::vector<std::size_t>* repairs = nullptr);

}  // namespace orvane
