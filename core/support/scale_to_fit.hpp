#pragma once

#include <optional>

#include "core/support/platform/image_codec.hpp"
#include "orvane/size.hpp"

namespace orvane {

// The pixel size an image of `width` x `height` is drawn at to cover `box`: the larger
// of the two axis ratios, raised to the next hundredth. Absent when the image would
// not shrink (images are never enlarged) or when the box or image is empty.
std::optional<Size> scaledSizeToFit(int width, int height, Size box);

// A copy of `image` drawn opaque at scale 1 so that it covers `box`, or `image` itself
// when it needs no shrinking (or cannot be drawn).
ImagePtr scaleToFit(const ImageCodec& codec, const ImagePtr& image, Size box);

}  // namespace orvane
