#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "core/support/image_cache.hpp"

namespace orvane::qt {

// A view that shows one image, bound to a URL through an `ImageCache`. A reused view
// (a table cell) shows only the image of the URL it was bound to last: a late delivery
// for an earlier URL is dropped, and its completion does not run. GUI thread only.
class ImageView : public QWidget {
  Q_OBJECT

 public:
  using Completion = std::function<void(ImagePtr image)>;

  explicit ImageView(QWidget* parent = nullptr);

  // Binds `url` and loads it. With a quality factor the image is fitted to the view's
  // current size times that factor; without one it comes at full size. `completion`
  // runs after the image is shown, and only if the view is still bound to `url`.
  void setUrl(const std::string& url, std::optional<double> qualityFactor, ImageCache& cache,
              Completion completion = {});
  // Forgets the bound URL, so every later delivery to this view is dropped.
  void clear();

  const std::optional<std::string>& boundUrl() const { return url_; }
  ImagePtr image() const { return image_; }
  // Shows `image` (null shows nothing); images of another codec than Qt's show nothing.
  void setImage(ImagePtr image);

  // Rounds the shown image's corners (logical pixels); 0 draws it square.
  void setCornerRadius(qreal radius);
  qreal cornerRadius() const { return radius_; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::optional<std::string> url_;
  ImagePtr image_;
  QImage shown_;
  qreal radius_ = 0;
  // The image as last drawn, at device pixels: scrolling repaints reuse it instead of
  // scaling the full-size image again.
  QImage rendered_;
};

}  // namespace orvane::qt
