#include "platform/qt/qt_image_codec.hpp"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "core/support/image_bounds.hpp"

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

// Raster formats only: a vector or scripted format (an SVG plugin, if one is installed)
// could name other files, and campaign images never need one.
bool isRasterFormat(const QByteArray& format) {
  static const QByteArray kAllowed[] = {"png", "jpeg", "jpg", "gif", "bmp", "webp"};
  return std::find(std::begin(kAllowed), std::end(kAllowed), format.toLower()) != std::end(kAllowed);
}

// A reader over the bytes, without copying them; empty or oversized bytes get none.
class BytesReader {
 public:
  explicit BytesReader(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > kMaxEncodedImageBytes) return;
    data_ = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    buffer_.setBuffer(&data_);
    if (!buffer_.open(QIODevice::ReadOnly)) return;
    reader_.setDevice(&buffer_);
    ok_ = isRasterFormat(reader_.format());
  }
  // The declared size of an image of an allowed format, read from its header.
  std::optional<QSize> size() {
    if (!ok_) return std::nullopt;
    const QSize size = reader_.size();
    if (!size.isValid() || size.isEmpty()) return std::nullopt;
    return size;
  }
  QImageReader& reader() { return reader_; }

 private:
  QByteArray data_;
  QBuffer buffer_;
  QImageReader reader_;
  bool ok_ = false;
};

}  // namespace

const QImage* QtImageCodec::qimage(const Image& image) {
  const auto* q = dynamic_cast<const QtImage*>(&image);
  return q ? &q->image() : nullptr;
}

std::optional<DeclaredSize> QtImageCodec::declaredSize(std::string_view bytes) const {
  BytesReader reader(bytes);
  const auto size = reader.size();
  if (!size) return std::nullopt;
  return DeclaredSize{size->width(), size->height()};
}

QtImageCodec::Decoded QtImageCodec::decodeBounded(std::string_view bytes, bool upright) {
  Decoded out;
  if (bytes.size() > kMaxEncodedImageBytes) {
    out.error = QStringLiteral("more bytes than an image may have");
    return out;
  }
  BytesReader bytesReader(bytes);
  // The header's size decides before a pixel is allocated; a format that declares none is
  // not read at all.
  const auto size = bytesReader.size();
  if (!size) {
    out.error = QStringLiteral("not an image of a known raster format");
    return out;
  }
  if (!fitsDecodeBound(size->width(), size->height())) {
    out.tooLarge = true;
    out.error = QStringLiteral("declares %1 x %2 pixels").arg(size->width()).arg(size->height());
    return out;
  }
  QImageReader& reader = bytesReader.reader();
  reader.setAutoTransform(upright);
  QImage image;
  if (!reader.read(&image) || image.isNull()) {
    out.error = reader.errorString();
    return out;
  }
  if (!fitsDecodeBound(image.width(), image.height())) {
    out.tooLarge = true;
    out.error = QStringLiteral("decodes to %1 x %2 pixels").arg(image.width()).arg(image.height());
    return out;
  }
  out.image = std::move(image);
  return out;
}

ImagePtr QtImageCodec::decode(std::string_view bytes) const {
  Decoded decoded = decodeBounded(bytes);
  if (decoded.image.isNull()) return nullptr;
  return std::make_shared<QtImage>(std::move(decoded.image));
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
