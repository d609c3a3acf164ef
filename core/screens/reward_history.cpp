#include "core/screens/reward_history.hpp"

#include <algorithm>
#include <cstdio>

#include "orvane/localized.hpp"

namespace orvane {

namespace chr = std::chrono;

namespace {

// The local wall clock read as if it were UTC: plain arithmetic on the fields.
chr::sys_seconds asUtc(const LocalTime& local) { return chr::sys_days{local.date} + local.timeOfDay; }

}  // namespace

LocalTime toLocal(Instant instant, const TimeZoneRule& zone) {
  const chr::sys_seconds wall = instant + zone.offsetAt(instant);
  const auto day = chr::floor<chr::days>(wall);
  return {chr::year_month_day{day}, wall - day};
}

Instant fromLocal(const LocalTime& local, const TimeZoneRule& zone) {
  const chr::sys_seconds wall = asUtc(local);
  // At most one clock change lies within a day of any moment: the offsets before and
  // after it are the only candidates.
  const chr::seconds before = zone.offsetAt(wall - chr::days{1});
  const chr::seconds after = zone.offsetAt(wall + chr::days{1});
  std::optional<Instant> best;
  for (const chr::seconds offset : {before, after}) {
    const Instant candidate = wall - offset;
    // Both hold in an overlap: the earlier one, as the clock first shows that time.
    if (zone.offsetAt(candidate) == offset && (!best || candidate < *best)) best = candidate;
  }
  // In a gap no candidate holds: moved forward by the gap.
  return best ? *best : wall - before;
}

Instant dateByAdding(CalendarUnit unit, int value, Instant to, const TimeZoneRule& zone) {
  LocalTime local = toLocal(to, zone);
  switch (unit) {
    case CalendarUnit::weekOfMonth:
      local.date = chr::year_month_day{chr::sys_days{local.date} + chr::days{7LL * value}};
      break;
    case CalendarUnit::month: {
      const chr::year_month month =
          chr::year_month{local.date.year(), local.date.month()} + chr::months{value};
      const chr::day last = chr::year_month_day_last{month.year(), chr::month_day_last{month.month()}}.day();
      local.date = chr::year_month_day{month.year(), month.month(), std::min(local.date.day(), last)};
      break;
    }
  }
  return fromLocal(local, zone);
}

std::vector<BenefitsKind> benefitsKindList() {
  return {{localized("ov_breakdown_all"), "0"},
          {localized("ov_participation_benefits"), "1"},
          {localized("ov_purchase_benefits"), "2"}};
}

std::vector<Period> periodList(Instant now, const TimeZoneRule& zone) {
  return {{localized("ov_recently_week1"), dateByAdding(CalendarUnit::weekOfMonth, -1, now, zone)},
          {localized("ov_recently_month1"), dateByAdding(CalendarUnit::month, -1, now, zone)},
          {localized("ov_recently_month3"), dateByAdding(CalendarUnit::month, -3, now, zone)}};
}

std::string compactDate(const chr::year_month_day& date) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02u%02u", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
  return text;
}

std::string dashedDate(const chr::year_month_day& date) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
  return text;
}

std::optional<chr::year_month_day> parseCompactDate(std::string_view text) {
  if (text.size() != 8 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  const auto number = [&](std::size_t from, std::size_t count) {
    unsigned value = 0;
    for (std::size_t i = from; i < from + count; ++i)
      value = value * 10 + static_cast<unsigned>(text[i] - '0');
    return value;
  };
  const chr::year_month_day date{chr::year{static_cast<int>(number(0, 4))}, chr::month{number(4, 2)},
                                 chr::day{number(6, 2)}};
  if (!date.ok()) return std::nullopt;
  return date;
}

RewardRange rewardRange(Instant start, Instant end, const TimeZoneRule& zone) {
  const auto first = toLocal(start, zone).date;
  const auto last = toLocal(end, zone).date;
  return {compactDate(first), compactDate(last), dashedDate(first), dashedDate(last)};
}

std::string termText(std::string_view termLabel, const RewardRange& range) {
  std::string text(termLabel);
  text += " : ";
  text += range.start;
  text += " ~ ";
  text += range.end;
  return text;
}

std::string rangeLogLine(std::string_view start, std::string_view end) {
  std::string line = "sStart : ";
  line += start;
  line += " / sEnd : ";
  line += end;
  return line;
}

RewardRowText rewardRowText(const Reward& reward, const DecimalStyle& style) {
  RewardRowText row;
  row.name = reward.name.value_or(std::string());
  if (reward.rewarddate) {
    const auto date = parseCompactDate(*reward.rewarddate);
    row.date = date ? dashedDate(*date) : *reward.rewarddate;
  }
  // No amount: an empty text rather than a made-up zero.
  if (reward.rewardprice) {
    row.price = formatDecimal(*reward.rewardprice, style);
    if (reward.rewardmark) {
      row.price += ' ';
      row.price += *reward.rewardmark;
    }
  }
  return row;
}

}  // namespace orvane
