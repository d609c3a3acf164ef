#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/api/records.hpp"

// The pure logic behind the campaign list: classification of a list answer into
// kinds, the choice of the kind shown, and the ordering of the shown list with the
// house campaigns placed at their positions. Free of any UI; any thread.

namespace orvane {

// listType of the icon list (the facade's TYPE_LIST_ICON), which ignores nativeurl.
inline constexpr std::int64_t kListTypeIcon = 2;
// bm of a CPS (purchase) campaign.
inline constexpr std::int64_t kCpsBm = 4;

// The four kind lists of one answer, with the reward total and its unit word.
struct CampLists {
  std::vector<Camp> otherCampList;
  std::vector<Camp> cpsCampList;
  std::vector<Camp> otherHouseList;
  std::vector<Camp> cpsHouseList;
  double rewardTotal = 0.0;
  std::string rewardMark;  // the first non-empty pricemark, campaigns before house campaigns
};

// Splits the answer by kind (bm 4 is CPS), in answer order, and stamps every campaign
// with the answer's rewardtype (-1 when the answer has none). Logs the four counts.
CampLists classify(Req req);

enum class CampKind { other, cps };

struct KindChoice {
  enum class Result { nothingToShow, otherOnly, cpsOnly, bothKinds };
  Result result = Result::nothingToShow;
  std::optional<CampKind> selected;  // absent: the selected lists stay as they were
  std::optional<bool> tabsShown;     // absent: the kind tabs stay as they were
};

KindChoice chooseKind(std::size_t otherCamps, std::size_t cpsCamps, std::size_t otherHouses,
                      std::size_t cpsHouses);
KindChoice chooseKind(const CampLists& lists);

// The kind tabs: index 0 is the ordinary kind, any other index CPS.
CampKind kindForTab(int index);

const std::vector<Camp>& campListOf(const CampLists& lists, CampKind kind);
const std::vector<Camp>& houseListOf(const CampLists& lists, CampKind kind);

enum class SortMode { init, high, low };

// The sort button's three titles as the screen shows them.
struct SortTitles {
  std::string init;
  std::string high;
  std::string low;

  // The texts of "ov_sort_init", "ov_sort_high" and "ov_sort_low".
  static SortTitles localizedTitles();
};

// The mode a button title stands for: a title that is neither the init nor the high
// text orders as low.
SortMode sortModeFor(std::string_view title, const SortTitles& titles);
// init -> high -> low -> init.
SortMode nextSortMode(SortMode mode);
// The title after a tap on the sort button: any unknown title starts over at init.
const std::string& nextSortTitle(std::string_view title, const SortTitles& titles);

// The campaign comparator: true when `a` comes before `b`. Campaigns whose convflag
// is 1 come first; every other convflag value ranks like 0, which keeps this a strict
// weak ordering. A NaN price ranks below every other price.
bool campComesBefore(const Camp& a, const Camp& b, std::int64_t listType, SortMode mode);

struct SortedCamps {
  std::vector<Camp> selectedAllCampList;  // what the table shows
  std::vector<Camp> selectedHouseList;    // the house list sorted by orderseq
};

// Sorts the campaigns stably with the comparator, sorts the house campaigns stably by
// orderseq and inserts each at index orderseq - 1 of the list as the earlier
// insertions left it. A house campaign whose orderseq lies outside 1..length + 1 at
// its turn is appended at the end instead, after the others, in orderseq order.
SortedCamps setSort(const std::vector<Camp>& selectedCampList, const std::vector<Camp>& selectedHouseList,
                    std::int64_t listType, SortMode mode);
SortedCamps setSort(const std::vector<Camp>& selectedCampList, const std::vector<Camp>& selectedHouseList,
                    std::int64_t listType, std::string_view sortTitle, const SortTitles& titles);

}  // namespace orvane
