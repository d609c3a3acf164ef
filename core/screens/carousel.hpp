#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <random>

// The carousel's arithmetic, free of any toolkit: where a released drag comes to rest,
// which card is dimmed, which card sits under a point, how far a fling travels, the
// stretch past either end and the card colours.
//
// Offsets are the scroll position in content coordinates: card n spans
// [step * n, step * n + itemWidth), and an offset of -inset shows card 0 centred when
// inset = (viewWidth - itemWidth) / 2 ("L").

namespace orvane::carousel {

struct Layout {
  double itemWidth = 300;
  double itemHeight = 400;
  double spacing = 24;
  double step() const { return itemWidth + spacing; }
};

inline constexpr int kItemCount = 5;
inline constexpr double kPageIndicatorGap = 16;
// Fraction of the velocity kept per millisecond while a released drag slows down.
inline constexpr double kFastDeceleration = 0.99;

// The left and right inset that lets a card sit in the middle of a view of this width.
double inset(double viewWidth, const Layout& layout = {});

// The offset that centres card `n`: step * n - inset.
double offsetForCard(int n, double inset, const Layout& layout = {});

// The range a resting row may occupy: card 0 centred to the last card centred.
double minimumOffset(double inset);
double maximumOffset(double inset, int count, const Layout& layout = {});

// The card nearest the centre at `offset`, halves away from zero, clamped to the cards.
// -1 when there are no cards.
int nearestCard(double offset, double inset, int count, const Layout& layout = {});

// Where a released drag comes to rest: the proposed target rounded to the nearest card
// (halves away from zero) and clamped to the cards, then centred. With no cards, the
// first card's place.
double snapTarget(double proposedOffset, double inset, int count, const Layout& layout = {});

// The card under a point of the content, if any (none in the gaps and past the ends).
std::optional<int> cardAt(double contentX, int count, const Layout& layout = {});

// One scroll event's change to the dimming: the card nearest the centre, rounded but not
// clamped, is shown plain and the one shown before is dimmed again; past either end
// nothing changes.
struct DimmingStep {
  std::optional<int> undim;
  std::optional<int> dim;
  std::optional<int> previousIndex;  // to keep for the next event
};
DimmingStep dimmingStep(double offset, double inset, int count, std::optional<int> previousIndex,
                        const Layout& layout = {});

// Where a drag released at `velocity` (points per second, positive toward later cards)
// would stop on its own.
double projectedOffset(double offset, double velocity, double decelerationRate = kFastDeceleration);

// How far the row follows a pull of `excess` past its end: less and less, never beyond
// `dimension`. rubberBandInverse undoes it (for a press on a stretched row).
double rubberBand(double excess, double dimension);
double rubberBandInverse(double stretched, double dimension);

// How long a settling move takes: about as long as a curve that starts at the release
// velocity needs (ease-out cubic starts at 3 * distance / duration), within bounds.
int settleDurationMs(double distance, double velocity);

// Velocity of a pointer from its recent positions.
class VelocityTracker {
 public:
  void reset() { samples_.clear(); }
  void add(std::int64_t timeMs, double position);
  // Points per second over the last 100 ms; zero when the pointer rested for more than
  // 50 ms before `nowMs` or there are too few samples.
  double velocity(std::int64_t nowMs) const;

 private:
  struct Sample {
    std::int64_t timeMs;
    double position;
  };
  std::deque<Sample> samples_;
};

// One card colour, each component in [0, 1).
struct Rgb {
  double red = 0;
  double green = 0;
  double blue = 0;
  bool operator==(const Rgb&) const = default;
};

// A card colour from three successive draws of the view's own generator.
Rgb randomColour(std::mt19937_64& engine);

}  // namespace orvane::carousel
