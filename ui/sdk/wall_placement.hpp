#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace orvane::ui {

// Where a presented wall goes: its minimum and first size, and the top-left corner of
// its frame (what QWidget::move places for a window).
struct WallPlacement {
  QSize minimum;
  QSize size;
  QPoint framePosition;
};

// Centred over `hostFrame` (the host window's frame; invalid: over `available`), then
// moved and shrunk until the frame lies inside `available`, the available area of the
// host's screen. `frame` is what the desktop adds around the window (the host's own
// decorations; none without a window manager). Device-independent pixels throughout,
// so it holds at any scale factor.
WallPlacement placeWall(const QRect& hostFrame, const QRect& available, const QMargins& frame);

}  // namespace orvane::ui
