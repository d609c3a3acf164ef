#include "core/screens/reward_text.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orvane {
namespace {

TEST(RewardText, GroupsDigitsAndDropsTrailingZeros) {
  EXPECT_EQ(rewardText(1500.0, "P"), "1,500 P");
  EXPECT_EQ(rewardText(1000.0, "P"), "1,000 P");
  EXPECT_EQ(rewardText(12.5, "P"), "12.5 P");
  EXPECT_EQ(formatDecimal(999.0), "999");
  EXPECT_EQ(formatDecimal(1234567.25), "1,234,567.25");
  EXPECT_EQ(formatDecimal(0.0), "0");
}

TEST(RewardText, AnEmptyMarkKeepsTheSingleSpace) { EXPECT_EQ(rewardText(0.0, ""), "0 "); }

TEST(RewardText, RoundsToThreeFractionDigits) {
  EXPECT_EQ(formatDecimal(1.23456), "1.235");
  EXPECT_EQ(formatDecimal(2.0004), "2");
  EXPECT_EQ(formatDecimal(9999.9996), "10,000");
}

TEST(RewardText, SignsAndValuesWithoutDigits) {
  EXPECT_EQ(formatDecimal(-1500.5), "-1,500.5");
  EXPECT_EQ(formatDecimal(-0.0001), "0");
  EXPECT_EQ(formatDecimal(std::nan("")), "NaN");
  EXPECT_EQ(formatDecimal(std::numeric_limits<double>::infinity()), "∞");
  EXPECT_EQ(formatDecimal(-std::numeric_limits<double>::infinity()), "-∞");
  // The largest finite double still formats in full, grouped.
  const std::string huge = formatDecimal(std::numeric_limits<double>::max());
  EXPECT_EQ(huge.substr(0, 7), "179,769");
  EXPECT_EQ(huge.find('.'), std::string::npos);
}

TEST(RewardText, IntegerAmounts) {
  EXPECT_EQ(formatDecimal(1500LL), "1,500");
  EXPECT_EQ(formatDecimal(-100LL), "-100");
  EXPECT_EQ(formatDecimal(std::numeric_limits<long long>::min()), "-9,223,372,036,854,775,808");
}

TEST(RewardText, FollowsTheLocaleSeparators) {
  const DecimalStyle german{".", ",", "-", 3};
  EXPECT_EQ(rewardText(1234.5, "Punkte", german), "1.234,5 Punkte");
  const DecimalStyle ungrouped{"", ".", "-", 0};
  EXPECT_EQ(formatDecimal(1234567.0, ungrouped), "1234567");
}

}  // namespace
}  // namespace orvane
