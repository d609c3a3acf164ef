#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace orvane::ui::icons {

// The wall's small icons, drawn for this project at the screen's pixel ratio.
QPixmap backChevron(const QColor& color, int size = 24, qreal dpr = 1.0);
QPixmap close(const QColor& color, int size = 24, qreal dpr = 1.0);
QPixmap checkMark(const QColor& color, int size = 24, qreal dpr = 1.0);
// A clock with a turning-back arrow: the rewards history.
QPixmap history(const QColor& color, int size = 24, qreal dpr = 1.0);
// A speech bubble: the inquiry form.
QPixmap inquiry(const QColor& color, int size = 24, qreal dpr = 1.0);
// Two arrows chasing each other round: a control that cycles through its modes.
QPixmap cycle(const QColor& color, int size = 24, qreal dpr = 1.0);
// A downward chevron: a control that opens a list.
QPixmap chevronDown(const QColor& color, int size = 24, qreal dpr = 1.0);

// The same at 1x and 2x, for buttons.
QIcon backChevronIcon(const QColor& color, int size = 24);
QIcon closeIcon(const QColor& color, int size = 24);
QIcon checkMarkIcon(const QColor& color, int size = 24);
QIcon historyIcon(const QColor& color, int size = 24);
QIcon inquiryIcon(const QColor& color, int size = 24);
QIcon cycleIcon(const QColor& color, int size = 24);

}  // namespace orvane::ui::icons
