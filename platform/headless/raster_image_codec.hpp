#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/support/platform/image_codec.hpp"

namespace orvane::headless {

// A decoded image as 8-bit RGBA rows, top to bottom, not premultiplied.
class RgbaImage final : public Image {
 public:
  RgbaImage(int width, int height, std::vector<std::uint8_t> pixels)
      : width_(width), height_(height), pixels_(std::move(pixels)) {}
  int width() const override { return width_; }
  int height() const override { return height_; }
  const std::vector<std::uint8_t>& pixels() const { return pixels_; }

 private:
  int width_;
  int height_;
  std::vector<std::uint8_t> pixels_;
};

// PNG (libpng) and JPEG (libjpeg-turbo) without Qt. A picture whose header declares
// more pixels than the SDK's decode bound is refused before its pixels are allocated.
// Images of other codecs are drawn through their own `draw` only when they are RGBA.
class RasterImageCodec final : public ImageCodec {
 public:
  ImagePtr decode(std::string_view bytes) const override;
  std::optional<std::string> encodeJpeg(const Image& image, double quality) const override;
  std::optional<std::string> encodePng(const Image& image) const override;
  // Opaque at scale 1: transparent parts come out white; scaled by area averaging.
  ImagePtr draw(const Image& image, int width, int height) const override;
};

}  // namespace orvane::headless
