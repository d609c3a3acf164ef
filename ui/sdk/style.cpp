#include "ui/sdk/style.hpp"

#include "orvane/orvane.hpp"

namespace orvane::ui::style {

QColor accent() { return Orvane::shared().orvaneColorPrimary; }
QColor disabled() { return Orvane::shared().orvaneColorDisable; }

void forceLightAppearance(QWidget* widget) {
  QPalette p;
  p.setColor(QPalette::Window, Qt::white);
  p.setColor(QPalette::Base, Qt::white);
  p.setColor(QPalette::AlternateBase, kQuietFill);
  p.setColor(QPalette::WindowText, kText);
  p.setColor(QPalette::Text, kText);
  p.setColor(QPalette::ButtonText, kText);
  p.setColor(QPalette::Button, Qt::white);
  p.setColor(QPalette::PlaceholderText, QColor(0xB0, 0xB0, 0xB0));
  p.setColor(QPalette::Highlight, accent());
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::Disabled, QPalette::Text, disabled());
  p.setColor(QPalette::Disabled, QPalette::ButtonText, disabled());
  p.setColor(QPalette::Disabled, QPalette::WindowText, disabled());
  widget->setPalette(p);
  widget->setAutoFillBackground(true);
}

QFont pixelFont(int px, QFont::Weight weight, QFont base) {
  base.setPixelSize(px);
  base.setWeight(weight);
  return base;
}

}  // namespace orvane::ui::style
