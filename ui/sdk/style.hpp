#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QWidget>

namespace orvane::ui::style {

inline const QColor kText{0x11, 0x11, 0x11};
inline const QColor kDescriptionGrey{140, 140, 140};
inline const QColor kHairline{227, 227, 227};
inline const QColor kQuietFill{0xF7, 0xF7, 0xF7};

// The host's theme colours, read when a screen loads.
QColor accent();
QColor disabled();

// The wall looks the same whatever the host's theme: a light palette on `widget`
// and everything below it.
void forceLightAppearance(QWidget* widget);

// `base` at a size in pixels: the look's sizes are pixels, not points.
QFont pixelFont(int px, QFont::Weight weight = QFont::Normal, QFont base = QFont());

}  // namespace orvane::ui::style
