#include "core/support/scale_to_fit.hpp"

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

// Ratios like 0.07 come out of a division as 0.07000000000000001; without the slack
// ceil() would lift them a whole step.
constexpr double kSlack = 1e-9;

double ceilWithSlack(double v) { return std::ceil(v - kSlack); }

}  // namespace

std::optional<Size> scaledSizeToFit(int width, int height, Size box) {
  if (width <= 0 || height <= 0) return std::nullopt;
  if (!(box.width > 0) || !(box.height > 0) || !std::isfinite(box.width) || !std::isfinite(box.height))
    return std::nullopt;
  const double r = std::max(box.width / width, box.height / height);
  if (r >= 1.0) return std::nullopt;
  const double scale = ceilWithSlack(r * 100.0) / 100.0;
  return Size{std::max(1.0, ceilWithSlack(width * scale)), std::max(1.0, ceilWithSlack(height * scale))};
}

ImagePtr scaleToFit(const ImageCodec& codec, const ImagePtr& image, Size box) {
  if (!image) return image;
  const auto size = scaledSizeToFit(image->width(), image->height(), box);
  if (!size) return image;
  auto drawn = codec.draw(*image, static_cast<int>(size->width), static_cast<int>(size->height));
  return drawn ? drawn : image;
}

}  // namespace orvane
