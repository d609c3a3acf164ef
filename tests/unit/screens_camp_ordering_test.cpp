#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/screens/camp_ordering.hpp"
#include "orvane/log.hpp"
#include "platform/fake/fakes.hpp"

namespace orvane {
namespace {

Camp camp(std::int64_t id, double price = 0.0, std::int64_t convflag = 0, std::int64_t orderseq = 0) {
  Camp c;
  c.campid = id;
  c.rewardprice = price;
  c.convflag = convflag;
  c.orderseq = orderseq;
  return c;
}

Camp withNative(Camp c, std::string url = "n") {
  c.nativeurl = std::move(url);
  return c;
}

Camp withBm(Camp c, std::int64_t bm) {
  c.bm = bm;
  return c;
}

std::vector<std::int64_t> ids(const std::vector<Camp>& camps) {
  std::vector<std::int64_t> out;
  for (const auto& c : camps) out.push_back(c.campid);
  return out;
}

using Ids = std::vector<std::int64_t>;

const SortTitles kTitles{"Recommended", "Highest", "Lowest"};

Ids sorted(const std::vector<Camp>& camps, SortMode mode, std::int64_t listType = 1,
           const std::vector<Camp>& houses = {}) {
  return ids(setSort(camps, houses, listType, mode).selectedAllCampList);
}

TEST(CampClassification, SplitsByKindStampsRewardtypeAndSums) {
  testing::FakePlatform fake;
  Log::displayLog = true;
  Log::setSink(fake.logSink);

  Req req;
  req.rewardtype = 1;
  Camp a = withBm(camp(1, 300), 4);
  a.pricemark = "";
  a.rewardtype = 2;
  Camp b = withBm(camp(2, 100), 1);
  b.pricemark = "P";
  Camp c = camp(3, 50);  // no bm: ordinary
  c.pricemark = "W";
  req.camp = std::vector<Camp>{a, b, c};
  req.housemd = std::vector<Camp>{withBm(camp(9, 7), 4), withBm(camp(8, 3), 2)};

  const auto lists = classify(req);
  EXPECT_EQ(ids(lists.cpsCampList), Ids({1}));
  EXPECT_EQ(ids(lists.otherCampList), Ids({2, 3}));
  EXPECT_EQ(ids(lists.cpsHouseList), Ids({9}));
  EXPECT_EQ(ids(lists.otherHouseList), Ids({8}));
  EXPECT_DOUBLE_EQ(lists.rewardTotal, 460.0);
  EXPECT_EQ(lists.rewardMark, "P");  // an empty mark lets the next campaign supply it
  for (const auto* list :
       {&lists.cpsCampList, &lists.otherCampList, &lists.cpsHouseList, &lists.otherHouseList}) {
    for (const auto& x : *list) EXPECT_EQ(x.rewardtype, 1);
  }
  EXPECT_TRUE(fake.logSink->contains(
      "OrvaneViewController otherCampList.count : 2 cpsCampList.count : 1 otherHouseList.count : 1 "
      "cpsHouseList.count : 1"));

  req.rewardtype.reset();
  for (const auto& x : classify(req).otherCampList) EXPECT_EQ(x.rewardtype, -1);

  Log::displayLog = false;
  Log::setSink(nullptr);
}

TEST(CampClassification, EmptyAnswerShowsNothingAndKeepsTheSelection) {
  const auto lists = classify(Req{});
  EXPECT_TRUE(lists.otherCampList.empty() && lists.cpsCampList.empty() && lists.otherHouseList.empty() &&
              lists.cpsHouseList.empty());
  EXPECT_EQ(lists.rewardTotal, 0.0);
  EXPECT_EQ(lists.rewardMark, "");
  const auto choice = chooseKind(lists);
  EXPECT_EQ(choice.result, KindChoice::Result::nothingToShow);
  EXPECT_FALSE(choice.selected);
  EXPECT_FALSE(choice.tabsShown);
}

TEST(CampClassification, KindChoiceCountsHouseCampaignsAndTabsSelect) {
  using R = KindChoice::Result;
  EXPECT_EQ(chooseKind(0, 0, 1, 0).result, R::otherOnly);
  EXPECT_EQ(chooseKind(0, 0, 0, 1).result, R::cpsOnly);
  EXPECT_EQ(*chooseKind(0, 2, 0, 0).selected, CampKind::cps);
  EXPECT_FALSE(*chooseKind(0, 2, 0, 0).tabsShown);
  const auto both = chooseKind(1, 0, 0, 1);
  EXPECT_EQ(both.result, R::bothKinds);
  EXPECT_EQ(*both.selected, CampKind::other);
  EXPECT_TRUE(*both.tabsShown);

  EXPECT_EQ(kindForTab(0), CampKind::other);
  EXPECT_EQ(kindForTab(1), CampKind::cps);
  EXPECT_EQ(kindForTab(-1), CampKind::cps);
  CampLists lists;
  lists.cpsCampList = {camp(4)};
  lists.cpsHouseList = {camp(5)};
  EXPECT_EQ(ids(campListOf(lists, kindForTab(1))), Ids({4}));
  EXPECT_EQ(ids(houseListOf(lists, kindForTab(1))), Ids({5}));
}

TEST(CampOrdering, CollectableCampaignsLeadInEveryMode) {
  const std::vector<Camp> camps = {camp(1, 900, 0, 1), withNative(camp(2, 800, 0, 2)), camp(3, 1, 1, 99)};
  for (const auto mode : {SortMode::init, SortMode::high, SortMode::low}) {
    EXPECT_EQ(sorted(camps, mode).front(), 3);
  }
  // Values other than 1 rank like 0, so the comparator stays consistent.
  const std::vector<Camp> odd = {camp(1, 5, 2), camp(2, 5, 0), camp(3, 5, 1), camp(4, 5, -7)};
  EXPECT_EQ(sorted(odd, SortMode::high), Ids({3, 1, 2, 4}));
}

TEST(CampOrdering, InitModeUsesNativeUrlUnlessIconList) {
  const std::vector<Camp> camps = {camp(1, 0, 0, 1), withNative(camp(2, 0, 0, 5))};
  EXPECT_EQ(sorted(camps, SortMode::init, 1), Ids({2, 1}));
  EXPECT_EQ(sorted(camps, SortMode::init, 0), Ids({2, 1}));  // never set: as native
  EXPECT_EQ(sorted(camps, SortMode::init, kListTypeIcon), Ids({1, 2}));
  // Presence is what counts: an empty URL is present.
  EXPECT_EQ(sorted({camp(1, 0, 0, 1), withNative(camp(2, 0, 0, 5), "")}, SortMode::init), Ids({2, 1}));
  EXPECT_EQ(
      sorted({withNative(camp(1, 0, 0, 7)), withNative(camp(2, 0, 0, 3)), camp(3, 0, 0, 1)}, SortMode::init),
      Ids({2, 1, 3}));
}

TEST(CampOrdering, PriceModesAreStable) {
  const std::vector<Camp> camps = {camp(1, 100), camp(2, 300), camp(3, 100), camp(4, 200), camp(5, 300)};
  EXPECT_EQ(sorted(camps, SortMode::high), Ids({2, 5, 4, 1, 3}));
  EXPECT_EQ(sorted(camps, SortMode::low), Ids({1, 3, 4, 2, 5}));
  const auto byTitle = [&](std::string_view title) {
    return ids(setSort(camps, {}, 1, title, kTitles).selectedAllCampList);
  };
  EXPECT_EQ(byTitle("Highest"), sorted(camps, SortMode::high));
  EXPECT_EQ(byTitle("something else"), sorted(camps, SortMode::low));
  EXPECT_EQ(byTitle("Recommended"), sorted(camps, SortMode::init));
}

TEST(CampOrdering, SortModesCycleByTitle) {
  std::string title = kTitles.init;
  title = nextSortTitle(title, kTitles);
  EXPECT_EQ(title, kTitles.high);
  title = nextSortTitle(title, kTitles);
  EXPECT_EQ(title, kTitles.low);
  title = nextSortTitle(title, kTitles);
  EXPECT_EQ(title, kTitles.init);
  EXPECT_EQ(nextSortTitle("stale", kTitles), kTitles.init);
  EXPECT_EQ(nextSortMode(nextSortMode(nextSortMode(SortMode::init))), SortMode::init);
  EXPECT_EQ(sortModeFor(kTitles.low, kTitles), SortMode::low);
}

// Any mix of values, ties and NaN: the comparator is a strict weak ordering and the
// sort agrees with a plain stable sort over it.
TEST(CampOrdering, ComparatorIsAStrictWeakOrderingForAnyValues) {
  std::mt19937 rng(7);
  std::vector<Camp> camps;
  for (int i = 0; i < 40; ++i) {
    Camp c = camp(i, static_cast<double>(rng() % 4) * 100, static_cast<std::int64_t>(rng() % 5) - 1,
                  static_cast<std::int64_t>(rng() % 4));
    if (i % 11 == 0) c.rewardprice = std::nan("");
    if (rng() % 2) c.nativeurl = "u";
    camps.push_back(c);
  }
  for (const std::int64_t listType : {0, 1, 2}) {
    for (const auto mode : {SortMode::init, SortMode::high, SortMode::low}) {
      const auto less = [&](const Camp& a, const Camp& b) { return campComesBefore(a, b, listType, mode); };
      int violations = 0;
      for (const auto& a : camps) {
        violations += less(a, a);
        for (const auto& b : camps) {
          violations += less(a, b) && less(b, a);
          for (const auto& c : camps) {
            violations += less(a, b) && less(b, c) && !less(a, c);
            // Incomparability is transitive too.
            const bool abEqual = !less(a, b) && !less(b, a);
            const bool bcEqual = !less(b, c) && !less(c, b);
            violations += abEqual && bcEqual && (less(a, c) || less(c, a));
          }
        }
      }
      EXPECT_EQ(violations, 0);
      auto expected = camps;
      std::stable_sort(expected.begin(), expected.end(), less);
      EXPECT_EQ(sorted(camps, mode, listType), ids(expected));
    }
  }
}

TEST(CampOrdering, HouseCampaignsGoToTheirPositions) {
  const std::vector<Camp> camps = {camp(1, 30), camp(2, 20), camp(3, 10)};
  // orderseq 3 and 1: inserted as 1 first, then 3.
  auto result = setSort(camps, {camp(91, 0, 0, 3), camp(92, 0, 0, 1)}, 1, SortMode::high);
  EXPECT_EQ(ids(result.selectedAllCampList), Ids({92, 1, 91, 2, 3}));
  EXPECT_EQ(ids(result.selectedHouseList), Ids({92, 91}));

  // The same position twice: the later one is inserted in front of the earlier.
  EXPECT_EQ(sorted(camps, SortMode::high, 1, {camp(91, 0, 0, 2), camp(92, 0, 0, 2)}), Ids({1, 92, 91, 2, 3}));
  // Length plus one is the end; the house campaign itself is never sorted by price.
  EXPECT_EQ(sorted(camps, SortMode::high, 1, {camp(91, 999, 1, 4)}), Ids({1, 2, 3, 91}));
  // Positions are counted in the list as the earlier insertions left it.
  EXPECT_EQ(sorted(camps, SortMode::high, 1, {camp(91, 0, 0, 4), camp(92, 0, 0, 5)}), Ids({1, 2, 3, 91, 92}));
  // Outside 1..length+1: at the end, after the placed ones, in orderseq order.
  EXPECT_EQ(sorted(camps, SortMode::high, 1, {camp(93, 0, 0, 9), camp(91, 0, 0, 0), camp(92, 0, 0, 1)}),
            Ids({92, 1, 2, 3, 91, 93}));
  EXPECT_EQ(sorted({}, SortMode::init, 1, {camp(91, 0, 0, 1), camp(92, 0, 0, -3)}), Ids({91, 92}));
}

}  // namespace
}  // namespace orvane
