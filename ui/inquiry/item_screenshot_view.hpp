#pragma once

#include <QImage>
#include <QWidget>
#include <memory>

#include "core/support/platform/image_codec.hpp"

class QLabel;
class QToolButton;

namespace Ui {
class ItemScreenshotView;
}

namespace orvane::ui {

// One screenshot thumbnail of the inquiry form: the picture, 70 px wide, and a round
// delete badge at its top right. It remembers which accepted image it shows, so that the
// form removes exactly that one. GUI thread.
class ItemScreenshotView : public QWidget {
  Q_OBJECT

 public:
  explicit ItemScreenshotView(QWidget* parent = nullptr);
  ~ItemScreenshotView() override;

  // `image` is the accepted picture (kept, by identity); `thumbnail` what is drawn, made
  // off the GUI thread at the tile's size.
  void setScreenshot(ImagePtr image, const QImage& thumbnail);
  const ImagePtr& image() const { return image_; }

  QLabel* iv_screenshot() const;
  QToolButton* iv_screenshot_delete() const;

  static constexpr int kSide = 70;

 signals:
  void deleteRequested(orvane::ui::ItemScreenshotView* view);

 private:
  std::unique_ptr<Ui::ItemScreenshotView> ui_;
  ImagePtr image_;
};

}  // namespace orvane::ui
