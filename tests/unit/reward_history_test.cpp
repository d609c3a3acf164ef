#include "core/screens/reward_history.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orvane/localized.hpp"

namespace orvane {
namespace {

namespace chr = std::chrono;
using namespace std::chrono_literals;

Instant at(int y, unsigned m, unsigned d, chr::seconds timeOfDay, const TimeZoneRule& zone) {
  return fromLocal({chr::year{y} / m / d, timeOfDay}, zone);
}

std::string localDay(Instant instant, const TimeZoneRule& zone) {
  return compactDate(toLocal(instant, zone).date);
}

std::vector<std::string> startDays(const std::vector<Period>& periods, const TimeZoneRule& zone) {
  std::vector<std::string> out;
  for (const auto& p : periods) out.push_back(localDay(p.start, zone));
  return out;
}

// Central European rules for 2024: +1 h, +2 h from 31 March 01:00 UTC to 27 October 01:00 UTC.
class SummerTimeZone : public TimeZoneRule {
 public:
  chr::seconds offsetAt(Instant instant) const override {
    const Instant springs = chr::sys_days{2024y / 3 / 31} + 1h;
    const Instant falls = chr::sys_days{2024y / 10 / 27} + 1h;
    return instant >= springs && instant < falls ? 2h : 1h;
  }
};

TEST(RewardHistory, PeriodsCountBackOnTheLocalCalendar) {
  const FixedOffsetZone seoul(9h);
  // 31 March of a leap year: a month back is the last day of February, three months back
  // the last day of December.
  const Instant now = at(2024, 3, 31, 10h, seoul);
  const auto periods = periodList(now, seoul);
  ASSERT_EQ(periods.size(), 3u);
  EXPECT_EQ(startDays(periods, seoul), (std::vector<std::string>{"20240324", "20240229", "20231231"}));
  EXPECT_EQ(periods[0].label, localized("ov_recently_week1"));
  EXPECT_EQ(periods[1].label, localized("ov_recently_month1"));
  EXPECT_EQ(periods[2].label, localized("ov_recently_month3"));
  for (const auto& p : periods) EXPECT_EQ(toLocal(p.start, seoul).timeOfDay, 10h) << p.label;

  // Not a leap year, and across a year boundary.
  EXPECT_EQ(startDays(periodList(at(2023, 5, 31, 0s, seoul), seoul), seoul),
            (std::vector<std::string>{"20230524", "20230430", "20230228"}));
  EXPECT_EQ(startDays(periodList(at(2024, 1, 3, 23h, seoul), seoul), seoul),
            (std::vector<std::string>{"20231227", "20231203", "20231003"}));
}

TEST(RewardHistory, DatesAreTheLocalDayNotTheUtcDay) {
  // Half past midnight in Seoul is still the previous day in UTC; in New York the
  // evening is already the next day in UTC.
  const FixedOffsetZone seoul(9h);
  const Instant newYear = at(2024, 1, 1, 30min, seoul);
  EXPECT_EQ(compactDate(toLocal(newYear, FixedOffsetZone{}).date), "20231231");
  const auto range = rewardRange(periodList(newYear, seoul)[0].start, newYear, seoul);
  EXPECT_EQ(range.sStart, "20231225");
  EXPECT_EQ(range.sEnd, "20240101");
  EXPECT_EQ(range.start, "2023-12-25");
  EXPECT_EQ(range.end, "2024-01-01");

  const FixedOffsetZone newYork(-5h);
  const Instant evening = at(2024, 2, 29, 22h, newYork);
  EXPECT_EQ(localDay(evening, newYork), "20240229");
  EXPECT_EQ(localDay(periodList(evening, newYork)[1].start, newYork), "20240129");
}

TEST(RewardHistory, ClockChangesKeepTheDateAndTimeOfDay) {
  const SummerTimeZone zone;
  // A summer instant counted back into winter time keeps its wall-clock time.
  const Instant summer = at(2024, 4, 15, 9h, zone);
  EXPECT_EQ(zone.offsetAt(summer), 2h);
  const Instant back = dateByAdding(CalendarUnit::month, -1, summer, zone);
  EXPECT_EQ(zone.offsetAt(back), 1h);
  EXPECT_EQ(toLocal(back, zone).timeOfDay, 9h);
  EXPECT_EQ(localDay(back, zone), "20240315");

  // 02:30 on the day the clock springs forward does not exist: moved on by the gap.
  const Instant gap = at(2024, 3, 31, 2h + 30min, zone);
  EXPECT_EQ(localDay(gap, zone), "20240331");
  EXPECT_EQ(toLocal(gap, zone).timeOfDay, 3h + 30min);
  // 02:30 on the day it falls back happens twice: the first one.
  const Instant twice = at(2024, 10, 27, 2h + 30min, zone);
  EXPECT_EQ(twice, chr::sys_days{2024y / 10 / 27} + 30min);
  // A week back from 1 April at half past midnight lands on 25 March, not the 24th.
  EXPECT_EQ(localDay(dateByAdding(CalendarUnit::weekOfMonth, -1, at(2024, 4, 1, 30min, zone), zone), zone),
            "20240325");
}

TEST(RewardHistory, KindsAndTheFirstEqualLabelWins) {
  const auto kinds = benefitsKindList();
  ASSERT_EQ(kinds.size(), 3u);
  EXPECT_EQ(kinds[0].label, localized("ov_breakdown_all"));
  EXPECT_EQ(kinds[1].label, localized("ov_participation_benefits"));
  EXPECT_EQ(kinds[2].label, localized("ov_purchase_benefits"));
  EXPECT_EQ(kinds[0].code, "0");
  EXPECT_EQ(kinds[1].code, "1");
  EXPECT_EQ(kinds[2].code, "2");

  const std::vector<BenefitsKind> twins = {{"Same", "1"}, {"Same", "2"}};
  ASSERT_NE(entryWithLabel(twins, "Same"), nullptr);
  EXPECT_EQ(entryWithLabel(twins, "Same")->code, "1");
  EXPECT_EQ(entryWithLabel(twins, "same"), nullptr);
  EXPECT_EQ(entryWithLabel(kinds, ""), nullptr);
}

TEST(RewardHistory, OnlyEightDigitsOfARealDateParse) {
  const auto date = parseCompactDate("20240229");
  ASSERT_TRUE(date.has_value());
  EXPECT_EQ(dashedDate(*date), "2024-02-29");
  for (const char* bad : {"20230229", "20241301", "20240100", "2024011", "202401011", "2024-1-1", "+2024010",
                          " 2024010", "", "２０２４０１０１", "abcdefgh"}) {
    EXPECT_FALSE(parseCompactDate(bad).has_value()) << bad;
  }
  EXPECT_EQ(compactDate(chr::year{812} / 1 / 2), "08120102");
}

TEST(RewardHistory, TermAndLogLines) {
  const RewardRange range{"20240101", "20240108", "2024-01-01", "2024-01-08"};
  EXPECT_EQ(termText("Period", range), "Period : 2024-01-01 ~ 2024-01-08");
  EXPECT_EQ(rangeLogLine(range.sStart, range.sEnd), "sStart : 20240101 / sEnd : 20240108");
}

TEST(RewardHistory, RowsShowWhatTheyHaveAndNeverInventTheRest) {
  Reward full;
  full.name = "<b>Quillnote</b>";
  full.rewardprice = 1500.0;
  full.rewardmark = "P";
  full.rewarddate = "20240105";
  auto row = rewardRowText(full);
  EXPECT_EQ(row.name, "<b>Quillnote</b>");
  EXPECT_EQ(row.date, "2024-01-05");
  EXPECT_EQ(row.price, "1,500 P");

  DecimalStyle german;
  german.groupSeparator = ".";
  german.decimalSeparator = ",";
  full.rewardprice = 1234.5;
  EXPECT_EQ(rewardRowText(full, german).price, "1.234,5 P");

  // Nothing but a name: no date, no amount, no stray space.
  Reward bare;
  bare.name = "Only a name";
  row = rewardRowText(bare);
  EXPECT_EQ(row.name, "Only a name");
  EXPECT_EQ(row.date, "");
  EXPECT_EQ(row.price, "");

  // An amount without its mark, a date that does not parse, no name.
  Reward odd;
  odd.rewardprice = 12.0;
  odd.rewarddate = "2024-01-05T10:00";
  row = rewardRowText(odd);
  EXPECT_EQ(row.name, "");
  EXPECT_EQ(row.price, "12");
  EXPECT_EQ(row.date, "2024-01-05T10:00");
}

}  // namespace
}  // namespace orvane
