#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/api/records.hpp"
#include "core/screens/reward_text.hpp"

// The pure logic behind the rewards history: the benefit kinds, the periods with their
// start dates, the dates of the query and of the term line, and the texts of one row.
//
// Dates are Gregorian (the civil calendar of std::chrono) whatever calendar the user's
// locale prefers: the server reads "yyyyMMdd" as Gregorian. The time zone is handed in,
// so the UI gives the user's and tests give a fixed one. Free of any UI; any thread.

namespace orvane {

using Instant = std::chrono::sys_seconds;

// Local time in some zone: the offset from UTC in effect at an instant.
class TimeZoneRule {
 public:
  virtual ~TimeZoneRule() = default;
  // East of UTC is positive.
  virtual std::chrono::seconds offsetAt(Instant instant) const = 0;
};

class FixedOffsetZone final : public TimeZoneRule {
 public:
  explicit FixedOffsetZone(std::chrono::seconds offset = std::chrono::seconds{0}) : offset_(offset) {}
  std::chrono::seconds offsetAt(Instant) const override { return offset_; }

 private:
  std::chrono::seconds offset_;
};

// A wall-clock date and time of day.
struct LocalTime {
  std::chrono::year_month_day date;
  std::chrono::seconds timeOfDay{0};
};

LocalTime toLocal(Instant instant, const TimeZoneRule& zone);
// The instant shown as `local`; in a gap of a clock change, the instant the gap ends at.
Instant fromLocal(const LocalTime& local, const TimeZoneRule& zone);

enum class CalendarUnit { weekOfMonth, month };

// Calendar arithmetic on the local date, the time of day kept: a week is seven days; a
// month moves the month and keeps the day, or takes the last day of a shorter month
// (31 March minus one month is 28 or 29 February). Larger units carry over.
Instant dateByAdding(CalendarUnit unit, int value, Instant to, const TimeZoneRule& zone);

// A benefit kind as the picker lists it; `code` is sent as rewardtype.
struct BenefitsKind {
  std::string label;
  std::string code;
};

// A period as the picker lists it; it starts at `start` and ends when it is asked for.
struct Period {
  std::string label;
  Instant start;
};

// "ov_breakdown_all" 0, "ov_participation_benefits" 1, "ov_purchase_benefits" 2, labels localized.
std::vector<BenefitsKind> benefitsKindList();
// A week, a month and three months before `now`, labels localized.
std::vector<Period> periodList(Instant now, const TimeZoneRule& zone);

// The entry a button title stands for: the first whose label equals it, else null.
template <class Entry>
const Entry* entryWithLabel(const std::vector<Entry>& list, std::string_view label) {
  for (const Entry& entry : list)
    if (entry.label == label) return &entry;
  return nullptr;
}

std::string compactDate(const std::chrono::year_month_day& date);  // "yyyyMMdd"
std::string dashedDate(const std::chrono::year_month_day& date);   // "yyyy-MM-dd"
// Exactly eight ASCII digits naming a real Gregorian date.
std::optional<std::chrono::year_month_day> parseCompactDate(std::string_view text);

// One query of the history: from a period's start to now.
struct RewardRange {
  std::string sStart;  // "yyyyMMdd", sent as sdate
  std::string sEnd;    // sent as edate
  std::string start;   // "yyyy-MM-dd", shown
  std::string end;
};

RewardRange rewardRange(Instant start, Instant end, const TimeZoneRule& zone);
// "<label> : <start> ~ <end>", the text of the term line.
std::string termText(std::string_view termLabel, const RewardRange& range);
// "sStart : <start> / sEnd : <end>".
std::string rangeLogLine(std::string_view start, std::string_view end);

// What one history row shows.
struct RewardRowText {
  std::string name;   // empty without a name
  std::string date;   // "yyyy-MM-dd"; a date that does not parse shows as it came
  std::string price;  // amount and mark ("1,500 P"); empty without an amount
};

RewardRowText rewardRowText(const Reward& reward, const DecimalStyle& style = {});

}  // namespace orvane
