#include "ui/widgets/image_view.hpp"

#include <QPainter>
#include <QPointer>

#include "platform/qt/qt_image_codec.hpp"

namespace orvane::qt {

ImageView::ImageView(QWidget* parent) : QWidget(parent) {}

void ImageView::setUrl(const std::string& url, std::optional<double> qualityFactor, ImageCache& cache,
                       Completion completion) {
  std::optional<Size> fitSize;
  if (qualityFactor) fitSize = Size{width() * *qualityFactor, height() * *qualityFactor};
  url_ = url;
  QPointer<ImageView> self(this);
  cache.load(url, fitSize,
             [self, completion = std::move(completion)](const std::string& delivered, ImagePtr image) {
               if (!self || self->url_ != delivered) return;
               self->setImage(image);
               if (completion) completion(image);
             });
}

void ImageView::clear() { url_.reset(); }

void ImageView::setImage(ImagePtr image) {
  image_ = std::move(image);
  const QImage* q = image_ ? QtImageCodec::qimage(*image_) : nullptr;
  shown_ = q ? *q : QImage();
  rendered_ = QImage();
  updateGeometry();
  update();
}

void ImageView::setCornerRadius(qreal radius) {
  if (radius == radius_) return;
  radius_ = radius;
  rendered_ = QImage();
  update();
}

QSize ImageView::sizeHint() const { return shown_.isNull() ? QWidget::sizeHint() : shown_.size(); }

void ImageView::paintEvent(QPaintEvent*) {
  if (shown_.isNull() || width() <= 0 || height() <= 0) return;
  // Aspect fit, centred: the whole image is visible.
  const QSize target = shown_.size().scaled(size(), Qt::KeepAspectRatio);
  if (target.isEmpty()) return;
  const QRect rect(QPoint((width() - target.width()) / 2, (height() - target.height()) / 2), target);
  const qreal ratio = devicePixelRatioF();
  const QSize pixels = (QSizeF(target) * ratio).toSize().expandedTo(QSize(1, 1));
  if (rendered_.size() != pixels || rendered_.devicePixelRatio() != ratio) {
    const QImage scaled = shown_.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (radius_ > 0) {
      rendered_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
      rendered_.fill(Qt::transparent);
      QPainter round(&rendered_);
      round.setRenderHint(QPainter::Antialiasing);
      round.setPen(Qt::NoPen);
      round.setBrush(QBrush(scaled));
      round.drawRoundedRect(QRectF(QPointF(0, 0), QSizeF(pixels)), radius_ * ratio, radius_ * ratio);
    } else {
      rendered_ = scaled;
    }
    rendered_.setDevicePixelRatio(ratio);
  }
  QPainter painter(this);
  painter.drawImage(rect.topLeft(), rendered_);
}

}  // namespace orvane::qt
