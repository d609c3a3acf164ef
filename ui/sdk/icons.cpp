#include "ui/sdk/icons.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>
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

// Two short strokes back from `tip`, against `direction` (a unit vector), 35 degrees apart.
void arrowHead(QPainterPath& path, QPointF tip, QPointF direction, qreal length = 3.5) {
  for (const qreal turn : {35.0, -35.0}) {
    const qreal a = qDegreesToRadians(turn);
    const QPointF back(-(direction.x() * qCos(a) - direction.y() * qSin(a)),
                       -(direction.x() * qSin(a) + direction.y() * qCos(a)));
    path.moveTo(tip);
    path.lineTo(tip + back * length);
  }
}

// The point at `degrees` (counter-clockwise from 3 o'clock) on a circle, and the way a
// clockwise stroke runs there.
QPointF onCircle(QPointF centre, qreal radius, qreal degrees) {
  const qreal a = qDegreesToRadians(degrees);
  return centre + QPointF(radius * qCos(a), -radius * qSin(a));
}
QPointF clockwiseAt(qreal degrees) {
  const qreal a = qDegreesToRadians(degrees);
  return {qSin(a), qCos(a)};
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

QPixmap history(const QColor& color, int size, qreal dpr) {
  return draw(color, size, dpr, 2.0, [](QPainterPath& path) {
    const QRectF face(3.5, 3.5, 17, 17);
    // Open on the left, where the arrow turns back.
    path.arcMoveTo(face, 155);
    path.arcTo(face, 155, -310);
    const QPointF tip = onCircle(face.center(), 8.5, 155);
    arrowHead(path, tip, -clockwiseAt(155), 3.2);
    path.moveTo(12, 7.5);
    path.lineTo(12, 12);
    path.lineTo(15, 14);
  });
}

QPixmap inquiry(const QColor& color, int size, qreal dpr) {
  return draw(color, size, dpr, 2.0, [](QPainterPath& path) {
    path.moveTo(7, 4.5);
    path.lineTo(17, 4.5);
    path.quadTo(20.5, 4.5, 20.5, 8);
    path.lineTo(20.5, 13);
    path.quadTo(20.5, 16.5, 17, 16.5);
    path.lineTo(11.5, 16.5);
    path.lineTo(7, 20);
    path.lineTo(7.5, 16.5);
    path.lineTo(7, 16.5);
    path.quadTo(3.5, 16.5, 3.5, 13);
    path.lineTo(3.5, 8);
    path.quadTo(3.5, 4.5, 7, 4.5);
    path.closeSubpath();
    // Three dots: round caps of strokes too short to see.
    for (const qreal x : {8.0, 12.0, 16.0}) {
      path.moveTo(x, 10.5);
      path.lineTo(x + 0.01, 10.5);
    }
  });
}

QPixmap cycle(const QColor& color, int size, qreal dpr) {
  return draw(color, size, dpr, 2.2, [](QPainterPath& path) {
    const QRectF ring(4.5, 4.5, 15, 15);
    const QPointF centre = ring.center();
    // Over the top to the right, then under the bottom to the left, each ending in a head.
    path.arcMoveTo(ring, 160);
    path.arcTo(ring, 160, -130);
    arrowHead(path, onCircle(centre, 7.5, 30), clockwiseAt(30));
    path.arcMoveTo(ring, -20);
    path.arcTo(ring, -20, -130);
    arrowHead(path, onCircle(centre, 7.5, -150), clockwiseAt(-150));
  });
}

QPixmap chevronDown(const QColor& color, int size, qreal dpr) {
  return draw(color, size, dpr, 2.2, [](QPainterPath& path) {
    path.moveTo(6, 9.5);
    path.lineTo(12, 15.5);
    path.lineTo(18, 9.5);
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
QIcon historyIcon(const QColor& color, int size) {
  return both([&](qreal dpr) { return history(color, size, dpr); });
}
QIcon inquiryIcon(const QColor& color, int size) {
  return both([&](qreal dpr) { return inquiry(color, size, dpr); });
}
QIcon cycleIcon(const QColor& color, int size) {
  return both([&](qreal dpr) { return cycle(color, size, dpr); });
}

}  // namespace orvane::ui::icons
