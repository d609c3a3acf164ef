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
  updateGeometry();
  update();
}

QSize ImageView::sizeHint() const { return shown_.isNull() ? QWidget::sizeHint() : shown_.size(); }

void ImageView::paintEvent(QPaintEvent*) {
  if (shown_.isNull() || width() <= 0 || height() <= 0) return;
  // Aspect fit, centred: the whole image is visible.
  const QSize target = shown_.size().scaled(size(), Qt::KeepAspectRatio);
  const QRect rect(QPoint((width() - target.width()) / 2, (height() - target.height()) / 2), target);
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(rect, shown_);
}

}  // namespace orvane::qt
