#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvane::sandbox {

struct GeneratedImage {
  std::string bytes;
  std::string contentType;  // "image/png" or "image/jpeg"
};

// Draws campaign artwork on demand from its file name, so the fixture needs no binary files:
// "<label>-<W>x<H>.<png|jpg|jpeg>", for example "native-10001-720x376.jpg". The label picks
// the colours and is written on the tile. Sizes run from 8 to 2048 pixels a side.
// Thread-safe: each call paints its own image.
class ImageFactory {
 public:
  static std::optional<GeneratedImage> render(std::string_view fileName);
};

}  // namespace orvane::sandbox
