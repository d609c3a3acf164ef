#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

// A decoded image; immutable and shareable between threads.
class Image {
 public:
  virtual ~Image() = default;
  virtual int width() const = 0;
  virtual int height() const = 0;
};
using ImagePtr = std::shared_ptr<const Image>;

// Image decoding, encoding and drawing. Safe to call from any thread.
class ImageCodec {
 public:
  virtual ~ImageCodec() = default;
  // Null when the bytes are no image.
  virtual ImagePtr decode(std::string_view bytes) const = 0;
  // Absent when the image cannot be encoded. Quality is 0..1.
  virtual std::optional<std::string> encodeJpeg(const Image& image, double quality) const = 0;
  virtual std::optional<std::string> encodePng(const Image& image) const = 0;
  // Draws the image into a new opaque image of the given size at scale 1.
  virtual ImagePtr draw(const Image& image, int width, int height) const = 0;
};

}  // namespace orvane
