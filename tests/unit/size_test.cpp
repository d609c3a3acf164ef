#include "orvane/size.hpp"

#include <gtest/gtest.h>

#include "orvane/log.hpp"
#include "platform/fake/fakes.hpp"

namespace orvane {
namespace {

TEST(SizeTest, ScalesAndDivides) {
  EXPECT_EQ((Size{3, 4} * 2), (Size{6, 8}));
  EXPECT_EQ((Size{3, 4} / 2), (Size{1.5, 2}));
  EXPECT_EQ((Size{3, 4} * 0), (Size{0, 0}));
  EXPECT_EQ((Size{3, 4} / -0.5), (Size{-6, -8}));
  EXPECT_NE((Size{3, 4}), (Size{4, 3}));
}

TEST(SizeTest, ZeroDivisorIsLoggedAndLeavesSizeUnchanged) {
  testing::FakePlatform fake;
  fake.install();
  Log::displayLog = true;
  EXPECT_EQ((Size{3, 4} / 0.0), (Size{3, 4}));
  EXPECT_EQ((Size{3, 4} / -0.0), (Size{3, 4}));
  Log::displayLog = false;

  const auto lines = fake.logSink->lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].message, "Can't devine by 0 ");
  EXPECT_EQ(lines[0].category, "🔴 ERROR");
  EXPECT_EQ(lines[0].type, LogType::error);
}

}  // namespace
}  // namespace orvane
