#include "core/screens/camp_ordering.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <utility>

#include "orvane/localized.hpp"
#include "orvane/log.hpp"

namespace orvane {

namespace {

// What the comparator reads of a campaign, packed so that sorting thousands of
// campaigns does not drag their strings through the cache.
struct SortKey {
  bool converted;
  bool hasNative;
  std::int64_t orderseq;
  double price;
};

SortKey keyOf(const Camp& camp) {
  const double price =
      std::isnan(camp.rewardprice) ? -std::numeric_limits<double>::infinity() : camp.rewardprice;
  return {camp.convflag == 1, camp.nativeurl.has_value(), camp.orderseq, price};
}

bool keyComesBefore(const SortKey& a, const SortKey& b, std::int64_t listType, SortMode mode) {
  if (a.converted != b.converted) return a.converted;
  switch (mode) {
    case SortMode::init:
      if (listType != kListTypeIcon && a.hasNative != b.hasNative) return a.hasNative;
      return a.orderseq < b.orderseq;
    case SortMode::high:
      return a.price > b.price;
    case SortMode::low:
      return a.price < b.price;
  }
  return false;
}

}  // namespace

CampLists classify(Req req) {
  CampLists lists;
  const std::int64_t rewardtype = req.rewardtype.value_or(-1);
  const auto split = [&](std::optional<std::vector<Camp>>& camps, std::vector<Camp>& cps,
                         std::vector<Camp>& other) {
    if (!camps) return;
    for (auto& camp : *camps) {
      camp.rewardtype = rewardtype;
      if (lists.rewardMark.empty()) lists.rewardMark = camp.pricemark;
      lists.rewardTotal += camp.rewardprice;
      (camp.bm == kCpsBm ? cps : other).push_back(std::move(camp));
    }
  };
  split(req.camp, lists.cpsCampList, lists.otherCampList);
  split(req.housemd, lists.cpsHouseList, lists.otherHouseList);
  Log::log("OrvaneViewController otherCampList.count : " + std::to_string(lists.otherCampList.size()) +
               " cpsCampList.count : " + std::to_string(lists.cpsCampList.size()) +
               " otherHouseList.count : " + std::to_string(lists.otherHouseList.size()) +
               " cpsHouseList.count : " + std::to_string(lists.cpsHouseList.size()),
           Log::Level::info());
  return lists;
}

KindChoice chooseKind(std::size_t otherCamps, std::size_t cpsCamps, std::size_t otherHouses,
                      std::size_t cpsHouses) {
  const bool other = otherCamps > 0 || otherHouses > 0;
  const bool cps = cpsCamps > 0 || cpsHouses > 0;
  if (other && cps) return {KindChoice::Result::bothKinds, CampKind::other, true};
  if (other) return {KindChoice::Result::otherOnly, CampKind::other, false};
  if (cps) return {KindChoice::Result::cpsOnly, CampKind::cps, false};
  return {};
}

KindChoice chooseKind(const CampLists& lists) {
  return chooseKind(lists.otherCampList.size(), lists.cpsCampList.size(), lists.otherHouseList.size(),
                    lists.cpsHouseList.size());
}

CampKind kindForTab(int index) { return index == 0 ? CampKind::other : CampKind::cps; }

const std::vector<Camp>& campListOf(const CampLists& lists, CampKind kind) {
  return kind == CampKind::other ? lists.otherCampList : lists.cpsCampList;
}

const std::vector<Camp>& houseListOf(const CampLists& lists, CampKind kind) {
  return kind == CampKind::other ? lists.otherHouseList : lists.cpsHouseList;
}

SortTitles SortTitles::localizedTitles() {
  return {localized("ov_sort_init"), localized("ov_sort_high"), localized("ov_sort_low")};
}

SortMode sortModeFor(std::string_view title, const SortTitles& titles) {
  if (title == titles.init) return SortMode::init;
  if (title == titles.high) return SortMode::high;
  return SortMode::low;
}

SortMode nextSortMode(SortMode mode) {
  switch (mode) {
    case SortMode::init:
      return SortMode::high;
    case SortMode::high:
      return SortMode::low;
    case SortMode::low:
      break;
  }
  return SortMode::init;
}

const std::string& nextSortTitle(std::string_view title, const SortTitles& titles) {
  if (title == titles.init) return titles.high;
  if (title == titles.high) return titles.low;
  return titles.init;
}

bool campComesBefore(const Camp& a, const Camp& b, std::int64_t listType, SortMode mode) {
  return keyComesBefore(keyOf(a), keyOf(b), listType, mode);
}

SortedCamps setSort(const std::vector<Camp>& selectedCampList, const std::vector<Camp>& selectedHouseList,
                    std::int64_t listType, SortMode mode) {
  // Orders indices rather than campaigns: a campaign is a large record, and each one
  // is copied exactly once, into the result.
  std::vector<SortKey> keys;
  keys.reserve(selectedCampList.size());
  for (const auto& camp : selectedCampList) keys.push_back(keyOf(camp));
  std::vector<std::size_t> campOrder(selectedCampList.size());
  std::iota(campOrder.begin(), campOrder.end(), std::size_t{0});
  std::stable_sort(campOrder.begin(), campOrder.end(), [&](std::size_t i, std::size_t j) {
    return keyComesBefore(keys[i], keys[j], listType, mode);
  });

  std::vector<std::size_t> houseOrder(selectedHouseList.size());
  std::iota(houseOrder.begin(), houseOrder.end(), std::size_t{0});
  std::stable_sort(houseOrder.begin(), houseOrder.end(), [&](std::size_t i, std::size_t j) {
    return selectedHouseList[i].orderseq < selectedHouseList[j].orderseq;
  });

  struct Slot {
    std::size_t index;
    bool house;
  };
  std::vector<Slot> slots;
  slots.reserve(campOrder.size() + houseOrder.size());
  for (const auto i : campOrder) slots.push_back({i, false});
  std::vector<std::size_t> outOfRange;
  for (const auto h : houseOrder) {
    const std::int64_t position = selectedHouseList[h].orderseq;
    if (position >= 1 && static_cast<std::uint64_t>(position) <= slots.size() + 1) {
      slots.insert(slots.begin() + static_cast<std::ptrdiff_t>(position - 1), {h, true});
    } else {
      outOfRange.push_back(h);
    }
  }
  for (const auto h : outOfRange) slots.push_back({h, true});

  SortedCamps sorted;
  sorted.selectedAllCampList.reserve(slots.size());
  for (const auto& slot : slots) {
    sorted.selectedAllCampList.push_back(slot.house ? selectedHouseList[slot.index]
                                                    : selectedCampList[slot.index]);
  }
  sorted.selectedHouseList.reserve(houseOrder.size());
  for (const auto h : houseOrder) sorted.selectedHouseList.push_back(selectedHouseList[h]);
  return sorted;
}

SortedCamps setSort(const std::vector<Camp>& selectedCampList, const std::vector<Camp>& selectedHouseList,
                    std::int64_t listType, std::string_view sortTitle, const SortTitles& titles) {
  return setSort(selectedCampList, selectedHouseList, listType, sortModeFor(sortTitle, titles));
}

}  // namespace orvane
