#pragma once

#include <string>
#include <string_view>

// Reward amounts as the screens show them: the decimal number style of a locale
// (digit grouping, at most three fraction digits), one space, then the reward mark.
// The UI passes the separators of the user's locale; the core knows no locale.

namespace orvane {

struct DecimalStyle {
  std::string groupSeparator = ",";
  std::string decimalSeparator = ".";
  std::string minusSign = "-";
  int groupSize = 3;  // 0 or less: no grouping
};

// `value` with at most three fraction digits (trailing zeros dropped, ties to even on
// the exact binary value) and grouped integer digits. NaN shows as "NaN", infinities
// as "∞" with a minus sign when negative; a value that rounds to zero has no sign.
std::string formatDecimal(double value, const DecimalStyle& style = {});

// An integer amount in the same style (the CPS prices).
std::string formatDecimal(long long value, const DecimalStyle& style = {});

// formatDecimal(price), one space, the mark: "1,500 P". An empty mark leaves the space.
std::string rewardText(double price, std::string_view mark, const DecimalStyle& style = {});

}  // namespace orvane
