#pragma once

#include <set>
#include <string>
#include <vector>

#include "core/api/records.hpp"

namespace demo {

// A readable text table of campaigns: id, kind, house mark, name, price with its
// mark, convflag and house position. `houseIds` marks the house campaigns.
std::string campaignTable(const std::vector<orvane::Camp>& camps, const std::set<std::int64_t>& houseIds);

}  // namespace demo
