#include "ui/inquiry/screenshot_processing.hpp"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

#include "core/api/api_provider.hpp"
#include "core/support/files.hpp"
#include "core/support/image_bounds.hpp"
#include "platform/qt/qt_image_codec.hpp"

namespace orvane::ui {

namespace {

inquiry::PictureLoad failed(inquiry::PictureLoad::Failure failure, std::string description) {
  inquiry::PictureLoad load;
  load.failure = failure;
  load.description = std::move(description);
  return load;
}

QImage squareThumbnail(const QImage& source, int side, qreal dpr) {
  const int px = std::max(1, static_cast<int>(std::lround(side * dpr)));
  // A fast halving first keeps the smooth pass small for camera-sized pictures.
  QImage image = source;
  while (image.width() > 4 * px && image.height() > 4 * px)
    image = image.scaled(image.size() / 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  image = image.scaled(px, px, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
  image = image.copy((image.width() - px) / 2, (image.height() - px) / 2, px, px);
  image.setDevicePixelRatio(dpr);
  return image;
}

}  // namespace

inquiry::PictureLoad loadPictureFile(const QString& path) {
  using Failure = inquiry::PictureLoad::Failure;
  const std::string name = QFileInfo(path).fileName().toStdString();
  // The user's own pick, but a FIFO or a device chosen by mistake would block this worker
  // or never end: only a regular file within the image byte limit is read.
  const auto bytes = readRegularFile(QFile::encodeName(path).toStdString(), kMaxEncodedImageBytes);
  if (!bytes.ok()) return failed(Failure::unreadable, bytes.error().description);
  // The same bounds as every image of the SDK: raster formats, the declared size checked
  // before a pixel is allocated.
  auto decoded = qt::QtImageCodec::decodeBounded(bytes.value(), true);
  if (decoded.image.isNull()) {
    return failed(decoded.tooLarge ? Failure::tooManyPixels : Failure::unreadable,
                  name + ": " + decoded.error.toStdString());
  }
  inquiry::PictureLoad load;
  load.image = std::make_shared<qt::QtImage>(std::move(decoded.image));
  return load;
}

ProcessedScreenshot processScreenshot(const inquiry::PickedPicture& picture, const ImageCodec& codec,
                                      int side, qreal dpr) {
  ProcessedScreenshot out;
  out.name = picture.name;
  out.load = picture.load
                 ? picture.load()
                 : failed(inquiry::PictureLoad::Failure::unreadable, picture.name + ": nothing to read");
  if (out.load.failure != inquiry::PictureLoad::Failure::none) return out;
  if (!out.load.image) {
    out.load = failed(inquiry::PictureLoad::Failure::unreadable, picture.name + ": no image");
    return out;
  }
  if (auto jpeg = codec.encodeJpeg(*out.load.image, ApiProvider::kJpegQuality)) out.jpegBytes = jpeg->size();
  if (const QImage* q = qt::QtImageCodec::qimage(*out.load.image); q && !q->isNull())
    out.thumbnail = squareThumbnail(*q, side, dpr);
  return out;
}

}  // namespace orvane::ui
