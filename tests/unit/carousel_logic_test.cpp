#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "core/screens/carousel.hpp"

namespace orvane::carousel {
namespace {

constexpr double kL = 45;  // a 390 px wide view

TEST(CarouselSnap, RoundsTheProposedTargetToACardAndCentresIt) {
  EXPECT_DOUBLE_EQ(inset(390), kL);
  EXPECT_DOUBLE_EQ(snapTarget(200, kL, 5), 279);  // 245 / 324 rounds to 1
  // Halves go away from zero: exactly half way reaches the next card.
  EXPECT_DOUBLE_EQ(snapTarget(162 - kL, kL, 5), 279);
  EXPECT_DOUBLE_EQ(snapTarget(161.9 - kL, kL, 5), -kL);
  EXPECT_DOUBLE_EQ(snapTarget(3 * 324 + 170 - kL, kL, 5), 4 * 324 - kL);
}

TEST(CarouselSnap, StaysWithinTheCardsWhateverTheProposal) {
  EXPECT_DOUBLE_EQ(snapTarget(10'000, kL, 5), 4 * 324 - kL);
  EXPECT_DOUBLE_EQ(snapTarget(-1'000, kL, 5), -kL);
  EXPECT_DOUBLE_EQ(snapTarget(std::numeric_limits<double>::quiet_NaN(), kL, 5), -kL);
  EXPECT_DOUBLE_EQ(snapTarget(std::numeric_limits<double>::infinity(), kL, 5), 4 * 324 - kL);
  EXPECT_DOUBLE_EQ(snapTarget(500, kL, 0), -kL);
  EXPECT_EQ(nearestCard(500, kL, 0), -1);
  // A view narrower than a card still centres it.
  EXPECT_DOUBLE_EQ(snapTarget(300, inset(200), 5), 324 + 50);
}

TEST(CarouselDimming, FollowsTheCardNearTheCentreAndIgnoresOverscroll) {
  // The first event shows card 0 plain and dims nothing.
  DimmingStep s = dimmingStep(-kL, kL, 5, std::nullopt);
  EXPECT_EQ(s.undim, 0);
  EXPECT_EQ(s.dim, std::nullopt);
  EXPECT_EQ(s.previousIndex, 0);
  // Still nearer card 0: no change beyond re-undimming 0.
  s = dimmingStep(100, kL, 5, 0);
  EXPECT_EQ(s.undim, 0);
  EXPECT_EQ(s.dim, std::nullopt);
  // Half way rounds up: card 1 plain, card 0 dimmed again.
  s = dimmingStep(162 - kL, kL, 5, 0);
  EXPECT_EQ(s.undim, 1);
  EXPECT_EQ(s.dim, 0);
  EXPECT_EQ(s.previousIndex, 1);
  // Pulled far past either end: nothing changes and the last plain card is remembered.
  for (double offset : {4 * 324 - kL + 170, -kL - 170, std::numeric_limits<double>::quiet_NaN()}) {
    s = dimmingStep(offset, kL, 5, 4);
    EXPECT_EQ(s.undim, std::nullopt) << offset;
    EXPECT_EQ(s.dim, std::nullopt) << offset;
    EXPECT_EQ(s.previousIndex, 4) << offset;
  }
  // A little past the end still rounds to the last card.
  EXPECT_EQ(dimmingStep(4 * 324 - kL + 150, kL, 5, 3).undim, 4);
}

TEST(CarouselHitTest, FindsTheCardUnderAPointButNotInTheGaps) {
  EXPECT_EQ(cardAt(0, 5), 0);
  EXPECT_EQ(cardAt(299.5, 5), 0);
  EXPECT_EQ(cardAt(300, 5), std::nullopt);
  EXPECT_EQ(cardAt(323.9, 5), std::nullopt);
  EXPECT_EQ(cardAt(324, 5), 1);
  EXPECT_EQ(cardAt(4 * 324 + 299, 5), 4);
  EXPECT_EQ(cardAt(5 * 324, 5), std::nullopt);
  EXPECT_EQ(cardAt(-0.5, 5), std::nullopt);
  EXPECT_EQ(cardAt(std::numeric_limits<double>::quiet_NaN(), 5), std::nullopt);
}

TEST(CarouselMotion, FlingProjectionStretchAndSettleTime) {
  EXPECT_NEAR(projectedOffset(100, 1000), 199, 1e-9);  // the fast rate travels 0.099 s worth
  EXPECT_NEAR(projectedOffset(100, -1000), 1, 1e-9);
  EXPECT_DOUBLE_EQ(projectedOffset(100, std::numeric_limits<double>::infinity()), 100);

  // The stretch grows with the pull, ever more slowly, and never reaches the view's width.
  double last = 0;
  for (double pull : {10.0, 100.0, 1000.0, 1e6}) {
    const double s = rubberBand(pull, 390);
    EXPECT_GT(s, last);
    EXPECT_LT(s, 390);
    EXPECT_LT(s, pull);
    if (pull <= 1000) {
      EXPECT_NEAR(rubberBandInverse(s, 390), pull, pull * 1e-6);
    }
    last = s;
  }
  EXPECT_EQ(rubberBand(-5, 390), 0);
  EXPECT_TRUE(std::isfinite(rubberBandInverse(390, 390)));

  EXPECT_EQ(settleDurationMs(0.2, 1000), 0);
  EXPECT_EQ(settleDurationMs(300, -2000), 300);  // released away from the target
  EXPECT_EQ(settleDurationMs(100, 1000), 300);   // 3 * 100 px / 1000 px/s
  EXPECT_EQ(settleDurationMs(-100, -100'000), 180);
}

TEST(CarouselMotion, VelocityComesFromTheLastMomentsOfTheDrag) {
  VelocityTracker t;
  EXPECT_EQ(t.velocity(0), 0);
  for (int ms = 0; ms <= 300; ms += 10) t.add(ms, ms < 200 ? ms * 2.0 : 400 - (ms - 200) * 1.0);
  // Only the last 100 ms count: moving back at 1 px/ms.
  EXPECT_NEAR(t.velocity(300), -1000, 1e-9);
  // A pointer that rested before the release flings nothing.
  EXPECT_EQ(t.velocity(360), 0);
  // Time running backwards (another clock) starts over.
  t.add(5, 0);
  EXPECT_EQ(t.velocity(5), 0);
  t.add(15, 30);
  EXPECT_NEAR(t.velocity(15), 3000, 1e-9);
}

TEST(CarouselColours, EachGeneratorGivesItsOwnRepeatableColours) {
  std::mt19937_64 a(7), b(7), c(8);
  std::set<double> seen;
  for (int i = 0; i < kItemCount; ++i) {
    const Rgb x = randomColour(a);
    EXPECT_EQ(x, randomColour(b));
    EXPECT_NE(x, randomColour(c));
    for (double v : {x.red, x.green, x.blue}) {
      EXPECT_GE(v, 0);
      EXPECT_LT(v, 1);
      seen.insert(v);
    }
  }
  EXPECT_EQ(seen.size(), 3u * kItemCount);  // three successive draws per card
}

}  // namespace
}  // namespace orvane::carousel
