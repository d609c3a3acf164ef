#include "ui/sdk/icons.hpp"

#include <QPainter>
#include <QPainterPath>
#include <functional>

namespace orvane::ui::icons {

namespace {

// Strokes a path given in a 24 x 24 box, scaled to `size`.
QPixmap draw(const QColor& color, int size, qreal dpr, qreal width,
             const std::function<void(QPainterPath&)>& shape) {
  QPixmap pixmap(QSize(size, size) * dpr);
  pixmap.setDevicePixelRatio(dpr);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 24.0, size / 24.0);
  QPen pen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  QPainterPath path;
  shape(path);
  p.drawPath(path);
  return pixmap;
}

QIcon both(const std::function<QPixmap(qreal)>& make) {
  QIcon icon;
  icon.addPixmap(make(1.0));
  icon.addPixmap(make(2.0));
  return icon;
}

}  // namespace

QPixmap backChevron(const QColor& color, int size, qreal dpr) {
  return draw(color, size, dpr, 2.4, [](QPainterPath& path) {
    path.moveTo(15, 4.5);
    path.lineTo(7.5, 12);
    path.lineTo(15, 19.5);
  });
}

QPixmap close(const QColor& color, int size, qreal dpr) {
  return draw(color, size, dpr, 2.0, [](QPainterPath& path) {
    path.moveTo(6, 6);
    path.lineTo(18, 18);
    path.moveTo(18, 6);
    path.lineTo(6, 18);
  });
}

QPixmap checkMark(const QColor& color, int size, qreal dpr) {
  return draw(color, size, dpr, 2.4, [](QPainterPath& path) {
    path.moveTo(5, 12.5);
    path.lineTo(10, 17.5);
    path.lineTo(19.5, 7);
  });
}

QIcon backChevronIcon(const QColor& color, int size) {
  return both([&](qreal dpr) { return backChevron(color, size, dpr); });
}
QIcon closeIcon(const QColor& color, int size) {
  return both([&](qreal dpr) { return close(color, size, dpr); });
}
QIcon checkMarkIcon(const QColor& color, int size) {
  return both([&](qreal dpr) { return checkMark(color, size, dpr); });
}

}  // namespace orvane::ui::icons
