#include "carousel_frame.hpp"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "orvane/orvane.hpp"

namespace demo {

namespace {

QLabel* text(const QString& content, int pixels, bool bold, const QColor& colour) {
  auto* label = new QLabel(content);
  QFont font = label->font();
  font.setPixelSize(pixels);
  font.setBold(bold);
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
  return label;
}

}  // namespace

QWidget* makeCarouselFrame() {
  auto* frame = new QWidget;
  frame->setObjectName(QStringLiteral("demo_carousel_frame"));
  frame->setWindowTitle(QStringLiteral("Orvane demo host: carousel"));
  QPalette light = frame->palette();
  light.setColor(QPalette::Window, Qt::white);
  frame->setPalette(light);
  frame->setAutoFillBackground(true);

  // The host's own bar, in its own colours.
  auto* bar = new QWidget;
  bar->setFixedHeight(56);
  QPalette dark = bar->palette();
  dark.setColor(QPalette::Window, QColor(0x1F, 0x29, 0x37));
  bar->setPalette(dark);
  bar->setAutoFillBackground(true);
  auto* barLayout = new QHBoxLayout(bar);
  barLayout->setContentsMargins(24, 0, 24, 0);
  barLayout->addWidget(text(QStringLiteral("Demo host"), 17, true, Qt::white));
  barLayout->addStretch();
  barLayout->addWidget(text(QStringLiteral("demo-user"), 13, false, QColor(0xC8, 0xCD, 0xD4)));

  auto* heading = text(QStringLiteral("Today's picks"), 20, true, QColor(0x11, 0x11, 0x11));
  auto* hint = text(QStringLiteral("Drag the cards, click a dot below them, or use the arrow keys."), 13,
                    false, QColor(0x8C, 0x8C, 0x8C));
  auto* footer =
      text(QStringLiteral("Embedded with Orvane::orvaneCarouselView()"), 12, false, QColor(0xB0, 0xB0, 0xB0));
  footer->setAlignment(Qt::AlignCenter);
  auto* rule = new QFrame;
  rule->setFrameShape(QFrame::HLine);
  rule->setFixedHeight(1);
  QPalette hairline = rule->palette();
  hairline.setColor(QPalette::WindowText, QColor(0xE3, 0xE3, 0xE3));
  rule->setPalette(hairline);

  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(0, 0, 0, 16);
  layout->setSpacing(0);
  layout->addWidget(bar);
  auto* texts = new QVBoxLayout;
  texts->setContentsMargins(24, 20, 24, 4);
  texts->setSpacing(4);
  texts->addWidget(heading);
  texts->addWidget(hint);
  layout->addLayout(texts);
  // Edge to edge, so the neighbours of the middle card run off the window as on a phone.
  if (QWidget* carousel = orvane::Orvane::shared().orvaneCarouselView()) {
    carousel->setParent(frame);
    layout->addWidget(carousel, 1);
  }
  layout->addWidget(rule);
  layout->addSpacing(12);
  layout->addWidget(footer);
  frame->resize(760, 680);
  return frame;
}

}  // namespace demo
