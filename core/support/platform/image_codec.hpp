#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/support/image_bounds.hpp"
#include "core/support/result.hpp"

namespace orvane {

// A decoded image; immutable and shareable between threads.
class Image {
 public:
  virtual ~Image() = default;
  virtual int width() const = 0;
  virtual int height() const = 0;
};
using ImagePtr = std::shared_ptr<const Image>;

// The pixel size an image's header declares.
struct DeclaredSize {
  std::int64_t width = 0;
  std::int64_t height = 0;
};

// Image decoding, encoding and drawing. Safe to call from any thread.
class ImageCodec {
 public:
  virtual ~ImageCodec() = default;
  // The size the header of the bytes declares, read without decoding a pixel; absent
  // when the codec cannot tell (the bytes are no image it reads, or it has no such check).
  virtual std::optional<DeclaredSize> declaredSize(std::string_view /*bytes*/) const { return std::nullopt; }
  // Null when the bytes are no image, or when they exceed the bounds of image_bounds.hpp
  // (encoded bytes, declared pixels): such an image is refused before its pixels are
  // allocated, whatever the caller checked before.
  virtual ImagePtr decode(std::string_view bytes) const = 0;
  // Absent when the image cannot be encoded. Quality is 0..1.
  virtual std::optional<std::string> encodeJpeg(const Image& image, double quality) const = 0;
  virtual std::optional<std::string> encodePng(const Image& image) const = 0;
  // Draws the image into a new opaque image of the given size at scale 1.
  virtual ImagePtr draw(const Image& image, int width, int height) const = 0;
};

// `codec.decode(bytes)` with the reason when nothing comes out, for the log: too many
// bytes, a declared size over the bound (checked before decoding), or no image.
inline Result<ImagePtr> decodeWithinBounds(const ImageCodec& codec, std::string_view bytes) {
  const auto tooLarge = [](std::int64_t width, std::int64_t height) {
    return Error::make(Error::Kind::decoding, "declares " + std::to_string(width) + " x " +
                                                  std::to_string(height) + " pixels, more than the " +
                                                  std::to_string(kMaxDecodedPixels) +
                                                  " an image may decode to");
  };
  if (bytes.size() > kMaxEncodedImageBytes) {
    return Error::make(Error::Kind::decoding, std::to_string(bytes.size()) + " bytes, more than the " +
                                                  std::to_string(kMaxEncodedImageBytes) +
                                                  " an image may have");
  }
  const auto declared = codec.declaredSize(bytes);
  if (declared && !fitsDecodeBound(declared->width, declared->height))
    return tooLarge(declared->width, declared->height);
  auto image = codec.decode(bytes);
  if (!image)
    return Error::make(Error::Kind::decoding, declared ? "the image does not decode" : "not an image");
  // A codec without a header check is held to the bound by what it made.
  if (!fitsDecodeBound(image->width(), image->height())) return tooLarge(image->width(), image->height());
  return image;
}

}  // namespace orvane
