#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace orvane::ui::icons {

// The wall's small icons, drawn for this project at the screen's pixel ratio.
QPixmap backChevron(const QColor& color, int size = 24, qreal dpr = 1.0);
QPixmap close(const QColor& color, int size = 24, qreal dpr = 1.0);
QPixmap checkMark(const QColor& color, int size = 24, qreal dpr = 1.0);

// The same at 1x and 2x, for buttons.
QIcon backChevronIcon(const QColor& color, int size = 24);
QIcon closeIcon(const QColor& color, int size = 24);
QIcon checkMarkIcon(const QColor& color, int size = 24);

}  // namespace orvane::ui::icons
