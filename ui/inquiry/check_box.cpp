#include "ui/inquiry/check_box.hpp"

#include <QIcon>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include "orvane/log.hpp"
#include "ui/sdk/focus_ring.hpp"
#include "ui/sdk/style.hpp"

namespace orvane::ui {

namespace {

constexpr int kBox = 20;
constexpr int kGap = 8;
constexpr int kHeight = 32;

QPixmap resourceImage(const char* name) {
  const QString path = QStringLiteral(":/orvane/images/%1.png").arg(QLatin1String(name));
  // The icon engine picks the @2x file on a dense screen.
  QPixmap pixmap = QIcon(path).pixmap(QSize(kBox, kBox));
  if (pixmap.isNull()) Log::log(std::string("Failed to load image ") + name, Log::Level::error());
  return pixmap;
}

}  // namespace

OnOffResources::OnOffResources()
    : onImage(resourceImage("icons8-tick-box-20")), offImage(resourceImage("icons8-unchecked-checkbox-20")) {}

CheckBox::CheckBox(QWidget* parent) : QAbstractButton(parent) {
  setCheckable(true);
  setChecked(false);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::StrongFocus);
  focus::markKeyboardFocus(this);
  setFont(style::pixelFont(14, QFont::Normal, font()));
  // Repaint on every change, whatever changed it (a click, Space, setChecked).
  connect(this, &QAbstractButton::toggled, this, qOverload<>(&QWidget::update));
}

QSize CheckBox::sizeHint() const {
  const int textWidth = text().isEmpty() ? 0 : kGap + fontMetrics().horizontalAdvance(text());
  return {kBox + textWidth + 4, kHeight};
}

void CheckBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  const QRect box(2, (height() - kBox) / 2, kBox, kBox);
  p.drawPixmap(box, currentImage());
  if (!text().isEmpty()) {
    p.setPen(style::kText);
    p.drawText(QRect(box.right() + 1 + kGap, 0, width() - box.right() - kGap, height()),
               Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, text());
  }
  if (hasFocus() && property("keyboardFocus").toBool()) {
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = box.adjusted(-2, -2, 2, 2);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
  }
}

}  // namespace orvane::ui
