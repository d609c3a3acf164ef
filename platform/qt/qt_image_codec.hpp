#pragma once

#include <QImage>

#include "core/support/platform/image_codec.hpp"

namespace orvane::qt {

// A decoded image held as a QImage (implicitly shared, read-only once made).
class QtImage : public Image {
 public:
  explicit QtImage(QImage image) : image_(std::move(image)) {}
  int width() const override { return image_.width(); }
  int height() const override { return image_.height(); }
  const QImage& image() const { return image_; }

 private:
  QImage image_;
};

// Image coding with QImage's codecs. QImage works off the GUI thread, so every call is
// safe from the executor's threads. Decoding reads raster formats only (PNG, JPEG, GIF,
// BMP, WebP) and checks the size a header declares before decoding.
class QtImageCodec : public ImageCodec {
 public:
  std::optional<DeclaredSize> declaredSize(std::string_view bytes) const override;
  ImagePtr decode(std::string_view bytes) const override;
  std::optional<std::string> encodeJpeg(const Image& image, double quality) const override;
  std::optional<std::string> encodePng(const Image& image) const override;
  ImagePtr draw(const Image& image, int width, int height) const override;

  // The QImage behind an image of this codec; null for a foreign image.
  static const QImage* qimage(const Image& image);

  // What `decode` does, with the reason when no image comes out; `upright` turns a photo
  // by its orientation metadata (the inquiry's screenshots). Any thread.
  struct Decoded {
    QImage image;           // null when refused or unreadable
    bool tooLarge = false;  // refused by the pixel bound (declared or decoded size)
    QString error;          // why the image is null
  };
  static Decoded decodeBounded(std::string_view bytes, bool upright = false);
};

}  // namespace orvane::qt
