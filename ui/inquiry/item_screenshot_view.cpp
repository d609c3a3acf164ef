#include "ui/inquiry/item_screenshot_view.hpp"

#include <QIcon>
#include <QPainter>
#include <QPainterPath>

#include "orvane/localized.hpp"
#include "ui/sdk/style.hpp"
#include "ui_item_screenshot_view.h"

namespace orvane::ui {

namespace {

// The thumbnail in a rounded tile with a hairline, at the thumbnail's own pixel ratio.
QPixmap tile(const QImage& thumbnail) {
  const qreal dpr = thumbnail.isNull() ? 1.0 : thumbnail.devicePixelRatio();
  const int side = ItemScreenshotView::kSide;
  QPixmap pixmap(QSize(side, side) * dpr);
  pixmap.setDevicePixelRatio(dpr);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  QPainterPath clip;
  clip.addRoundedRect(QRectF(0.5, 0.5, side - 1, side - 1), 8, 8);
  p.fillPath(clip, QColor(0xF2, 0xF2, 0xF2));
  if (!thumbnail.isNull()) {
    p.setClipPath(clip);
    p.drawImage(QRectF(0, 0, side, side), thumbnail);
    p.setClipping(false);
  }
  p.setPen(QPen(style::kHairline, 1));
  p.setBrush(Qt::NoBrush);
  p.drawPath(clip);
  return pixmap;
}

}  // namespace

ItemScreenshotView::ItemScreenshotView(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::ItemScreenshotView>()) {
  ui_->setupUi(this);
  setFixedSize(kSide, kSide);
  ui_->iv_screenshot->setPixmap(tile(QImage()));
  ui_->iv_screenshot->setAccessibleName(QString::fromStdString(localized("ov_screenshot")));
  ui_->iv_screenshot_delete->setIcon(QIcon(QStringLiteral(":/orvane/images/ov_delete_badge_20.png")));
  ui_->iv_screenshot_delete->setAccessibleName(QString::fromStdString(localized("ov_delete_screenshot")));
  ui_->iv_screenshot_delete->setToolTip(ui_->iv_screenshot_delete->accessibleName());
  ui_->iv_screenshot_delete->setFocusPolicy(Qt::StrongFocus);
  connect(ui_->iv_screenshot_delete, &QToolButton::clicked, this, [this] { emit deleteRequested(this); });
}

ItemScreenshotView::~ItemScreenshotView() = default;

void ItemScreenshotView::setScreenshot(ImagePtr image, const QImage& thumbnail) {
  image_ = std::move(image);
  ui_->iv_screenshot->setPixmap(tile(thumbnail));
}

QLabel* ItemScreenshotView::iv_screenshot() const { return ui_->iv_screenshot; }
QToolButton* ItemScreenshotView::iv_screenshot_delete() const { return ui_->iv_screenshot_delete; }

}  // namespace orvane::ui
