#include "platform/qt/qt_image_codec.hpp"

#include <QBuffer>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>

namespace orvane::qt {

namespace {

std::optional<std::string> encode(const Image& image, const char* format, int quality) {
  const QImage* q = QtImageCodec::qimage(image);
  if (!q || q->isNull()) return std::nullopt;
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!q->save(&buffer, format, quality)) return std::nullopt;
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace

const QImage* QtImageCodec::qimage(const Image& image) {
  const auto* q = dynamic_cast<const QtImage*>(&image);
  return q ? &q->image() : nullptr;
}

ImagePtr QtImageCodec::decode(std::string_view bytes) const {
  if (bytes.empty() || bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    return nullptr;
  QImage image;
  if (!image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size())) ||
      image.isNull()) {
    return nullptr;
  }
  return std::make_shared<QtImage>(std::move(image));
}

std::optional<std::string> QtImageCodec::encodeJpeg(const Image& image, double quality) const {
  const int q = static_cast<int>(std::lround(std::clamp(quality, 0.0, 1.0) * 100.0));
  return encode(image, "JPG", q);
}

std::optional<std::string> QtImageCodec::encodePng(const Image& image) const {
  return encode(image, "PNG", -1);
}

ImagePtr QtImageCodec::draw(const Image& image, int width, int height) const {
  const QImage* source = qimage(image);
  if (!source || source->isNull() || width <= 0 || height <= 0) return nullptr;
  // Opaque at scale 1: transparent parts come out white, as on a phone's opaque context.
  QImage target(width, height, QImage::Format_RGB32);
  target.fill(Qt::white);
  QPainter painter(&target);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRect(0, 0, width, height), *source);
  painter.end();
  return std::make_shared<QtImage>(std::move(target));
}

}  // namespace orvane::qt
