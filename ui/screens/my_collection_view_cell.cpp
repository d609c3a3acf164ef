#include "ui/screens/my_collection_view_cell.hpp"

#include <QPainter>
#include <QPainterPath>

namespace orvane::ui {

namespace {

QPainterPath roundedCard(const QRectF& rect, double radius) {
  QPainterPath path;
  path.addRoundedRect(rect, radius, radius);
  return path;
}

// A black ring with a white one inside: visible on any card colour.
class Ring : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    const QRectF r = QRectF(rect());
    p.setPen(QPen(QColor(0x11, 0x11, 0x11), 3));
    p.drawPath(roundedCard(r.adjusted(1.5, 1.5, -1.5, -1.5), MyCollectionViewCell::kCornerRadius - 1.5));
    p.setPen(QPen(Qt::white, 2));
    p.drawPath(roundedCard(r.adjusted(4, 4, -4, -4), MyCollectionViewCell::kCornerRadius - 4));
  }
};

}  // namespace

// A rounded area in one colour; an invalid colour paints nothing.
class MyCollectionViewCell::Fill : public QWidget {
 public:
  using QWidget::QWidget;

  QColor color() const { return color_; }
  void setColor(const QColor& color) {
    if (color == color_) return;
    color_ = color;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!color_.isValid()) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(roundedCard(QRectF(rect()), kCornerRadius), color_);
  }

 private:
  QColor color_;
};

MyCollectionViewCell::MyCollectionViewCell(QWidget* parent)
    : QWidget(parent), myView_(new Fill(this)), dimmedView_(new Fill(this)), focusRing_(new Ring(this)) {
  setObjectName(QString::fromLatin1(kReuseIdentifier));
  myView_->setObjectName(QStringLiteral("myView"));
  dimmedView_->setObjectName(QStringLiteral("dimmedView"));
  focusRing_->setObjectName(QStringLiteral("focusRing"));
  QColor dim(Qt::black);
  dim.setAlphaF(static_cast<float>(kDimmedAlpha));
  dimmedView_->setColor(dim);
  focusRing_->hide();
  // The row handles every press and drag; a tap on a card does nothing.
  for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(myView_),
                     static_cast<QWidget*>(dimmedView_), focusRing_})
    w->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void MyCollectionViewCell::prepareForReuse() {
  myView_->setColor(QColor());
  setDimmed(true);
  setFocusRingVisible(false);
}

QWidget* MyCollectionViewCell::myView() const { return myView_; }

QWidget* MyCollectionViewCell::dimmedView() const { return dimmedView_; }

bool MyCollectionViewCell::isDimmed() const { return !dimmedView_->isHidden(); }

QColor MyCollectionViewCell::color() const { return myView_->color(); }

void MyCollectionViewCell::setColor(const QColor& color) { myView_->setColor(color); }

void MyCollectionViewCell::setDimmed(bool dimmed) { dimmedView_->setVisible(dimmed); }

void MyCollectionViewCell::setFocusRingVisible(bool visible) { focusRing_->setVisible(visible); }

bool MyCollectionViewCell::isFocusRingVisible() const { return !focusRing_->isHidden(); }

void MyCollectionViewCell::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  for (QWidget* w : {static_cast<QWidget*>(myView_), static_cast<QWidget*>(dimmedView_), focusRing_})
    w->setGeometry(rect());
}

}  // namespace orvane::ui
