#include "core/screens/carousel.hpp"

#include <algorithm>
#include <cmath>

namespace orvane::carousel {

namespace {

// Rounded to the nearest card, halves away from zero; NaN when the input was not finite.
double cardPosition(double offset, double inset, const Layout& layout) {
  return std::round((offset + inset) / layout.step());
}

constexpr double kRubberBandStiffness = 0.55;
constexpr std::int64_t kVelocityWindowMs = 100;
constexpr std::int64_t kRestingAfterMs = 50;

}  // namespace

double inset(double viewWidth, const Layout& layout) { return (viewWidth - layout.itemWidth) * 0.5; }

double offsetForCard(int n, double inset, const Layout& layout) { return layout.step() * n - inset; }

double minimumOffset(double inset) { return -inset; }

double maximumOffset(double inset, int count, const Layout& layout) {
  return offsetForCard(std::max(0, count - 1), inset, layout);
}

int nearestCard(double offset, double inset, int count, const Layout& layout) {
  if (count <= 0) return -1;
  const double n = cardPosition(offset, inset, layout);
  if (!(n > 0)) return 0;  // NaN included
  if (n >= count - 1) return count - 1;
  return static_cast<int>(n);
}

double snapTarget(double proposedOffset, double inset, int count, const Layout& layout) {
  return offsetForCard(std::max(0, nearestCard(proposedOffset, inset, count, layout)), inset, layout);
}

std::optional<int> cardAt(double contentX, int count, const Layout& layout) {
  if (!(contentX >= 0)) return std::nullopt;
  const double k = std::floor(contentX / layout.step());
  if (!(k < count)) return std::nullopt;
  if (contentX - k * layout.step() >= layout.itemWidth) return std::nullopt;
  return static_cast<int>(k);
}

DimmingStep dimmingStep(double offset, double inset, int count, std::optional<int> previousIndex,
                        const Layout& layout) {
  const double i = cardPosition(offset, inset, layout);
  if (!(i >= 0 && i < count)) return {std::nullopt, std::nullopt, previousIndex};
  const int index = static_cast<int>(i);
  DimmingStep step{index, std::nullopt, index};
  if (previousIndex && *previousIndex != index) step.dim = previousIndex;
  return step;
}

double projectedOffset(double offset, double velocity, double decelerationRate) {
  if (!(decelerationRate > 0 && decelerationRate < 1) || !std::isfinite(velocity)) return offset;
  return offset + velocity / 1000.0 * decelerationRate / (1.0 - decelerationRate);
}

double rubberBand(double excess, double dimension) {
  if (!(excess > 0) || !(dimension > 0)) return 0;
  return (1.0 - 1.0 / (excess * kRubberBandStiffness / dimension + 1.0)) * dimension;
}

double rubberBandInverse(double stretched, double dimension) {
  if (!(stretched > 0) || !(dimension > 0)) return 0;
  const double y = std::min(stretched, dimension * 0.999);
  return dimension / kRubberBandStiffness * (1.0 / (1.0 - y / dimension) - 1.0);
}

int settleDurationMs(double distance, double velocity) {
  constexpr double kPlain = 300, kShortest = 180, kLongest = 500;
  const double d = std::abs(distance);
  if (!(d >= 0.5)) return 0;
  // Only a release toward the target carries its speed into the move.
  if (!(velocity * distance > 0)) return static_cast<int>(kPlain);
  return static_cast<int>(std::clamp(3.0 * d / std::abs(velocity) * 1000.0, kShortest, kLongest));
}

void VelocityTracker::add(std::int64_t timeMs, double position) {
  if (!samples_.empty() && timeMs < samples_.back().timeMs) samples_.clear();
  samples_.push_back({timeMs, position});
  while (samples_.size() > 2 && timeMs - samples_.front().timeMs > kVelocityWindowMs) samples_.pop_front();
}

double VelocityTracker::velocity(std::int64_t nowMs) const {
  if (samples_.size() < 2 || nowMs - samples_.back().timeMs > kRestingAfterMs) return 0;
  const Sample& first = samples_.front();
  const Sample& last = samples_.back();
  const auto dt = last.timeMs - first.timeMs;
  if (dt <= 0) return 0;
  return (last.position - first.position) / static_cast<double>(dt) * 1000.0;
}

Rgb randomColour(std::mt19937_64& engine) {
  // 53 random bits make a double in [0, 1), as a uniform draw of the C library would.
  const auto unit = [&engine] { return static_cast<double>(engine() >> 11) * 0x1.0p-53; };
  Rgb c;
  c.red = unit();
  c.green = unit();
  c.blue = unit();
  return c;
}

}  // namespace orvane::carousel
