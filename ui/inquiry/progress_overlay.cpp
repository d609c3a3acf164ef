#include "ui/inquiry/progress_overlay.hpp"

#include <QApplication>
#include <QPainter>
#include <QResizeEvent>
#include <cmath>

#include "orvane/localized.hpp"
#include "ui/sdk/layers.hpp"

namespace orvane::ui {

namespace {

// A phone's medium activity indicator is 20 px across; the overlay's is 2.5 times that.
constexpr qreal kIndicator = 20;
constexpr int kSpokes = 12;

}  // namespace

ProgressOverlay::ProgressOverlay(QWidget* host, bool animated) : QWidget(host), host_(host) {
  setObjectName(QStringLiteral("vProgress"));
  setAccessibleName(QString::fromStdString(localized("ov_sending")));
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::StrongFocus);
  // The topmost layer while it lasts: Esc, from wherever it comes, ends here and does
  // not pop the form under a submission.
  layers::markAsLayer(this);
  if (host) {
    setGeometry(host->rect());
    host->installEventFilter(this);
  }
  if (animated) {
    spin_.setStartValue(0.0);
    spin_.setEndValue(360.0);
    spin_.setDuration(1000);
    spin_.setLoopCount(-1);
    connect(&spin_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
      // Steps of a spoke, as the indicator turns.
      angle_ = std::floor(value.toReal() / (360.0 / kSpokes)) * (360.0 / kSpokes);
      update();
    });
    spin_.start();
  }
  focusBefore_ = QApplication::focusWidget();
  raise();
  show();
  setFocus(Qt::OtherFocusReason);
}

ProgressOverlay::~ProgressOverlay() {
  if (host_) host_->removeEventFilter(this);
  if (focusBefore_) focusBefore_->setFocus(Qt::OtherFocusReason);
}

bool ProgressOverlay::eventFilter(QObject* watched, QEvent* event) {
  if (watched == host_ && event->type() == QEvent::Resize) setGeometry(host_->rect());
  // A screen pushed meanwhile must not cover it.
  if (watched == host_ && event->type() == QEvent::ChildAdded) raise();
  return QWidget::eventFilter(watched, event);
}

bool ProgressOverlay::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
      event->accept();
      return true;  // nothing under the overlay may be touched, Tab included
    default:
      break;
  }
  return QWidget::event(event);
}

void ProgressOverlay::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor::fromRgbF(0.5, 0.5, 0.5, 0.5));
  p.setRenderHint(QPainter::Antialiasing);
  p.translate(QRectF(rect()).center());
  p.scale(kScale, kScale);
  p.rotate(angle_);
  const qreal outer = kIndicator / 2;
  const qreal inner = outer * 0.45;
  for (int i = 0; i < kSpokes; ++i) {
    QColor red(Qt::red);
    red.setAlphaF(0.25 + 0.75 * (static_cast<qreal>(i + 1) / kSpokes));
    p.setPen(QPen(red, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(0, -inner), QPointF(0, -outer));
    p.rotate(360.0 / kSpokes);
  }
}

}  // namespace orvane::ui
