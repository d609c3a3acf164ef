#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/screens/camp_ordering.hpp"
#include "core/support/result.hpp"

// The campaign-list answer as every wall reads it (the Qt list screen, the C API), so
// that both show the same campaigns in the same order. Any thread.
namespace orvane {

// Drops a leading byte-order mark, repairs ill-formed UTF-8, removes every `newline`
// text (the localised "ascii_newline"), decodes the answer and classifies it. A result
// other than 200 is logged under `logName` and still classified (its lists are
// usually empty); `result`, when given, receives the answer's result. A decoding
// failure is logged and returned.
Result<CampLists> readCampListAnswer(std::string_view body, const std::string& newline,
                                     std::string_view logName, std::optional<std::int64_t>* result = nullptr);

// What the wall shows of classified lists: the kind chosen for them (with both kinds,
// the one of tab `tab`) and that kind's campaigns ordered with its house campaigns
// placed. `kind` is absent when there is nothing to show.
struct ShownCamps {
  KindChoice choice;
  std::optional<CampKind> kind;
  SortedCamps sorted;
};
ShownCamps showCamps(const CampLists& lists, int tab, std::int64_t listType, SortMode mode);

}  // namespace orvane
