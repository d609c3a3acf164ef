#include "ui/sdk/wall_placement.hpp"

#include <algorithm>

namespace orvane::ui {

namespace {
// A phone's width and a little more than its height; the minimum keeps the list readable.
constexpr QSize kWallSize(390, 720);
constexpr QSize kWallMinimum(360, 480);
}  // namespace

WallPlacement placeWall(const QRect& hostFrame, const QRect& available, const QMargins& frame) {
  const QSize decorations(frame.left() + frame.right(), frame.top() + frame.bottom());
  const QSize room = (available.size() - decorations).expandedTo(QSize(1, 1));
  WallPlacement placement;
  placement.minimum = kWallMinimum.boundedTo(room);
  placement.size = kWallSize.boundedTo(room);
  const QSize outer = placement.size + decorations;
  const QRect over = hostFrame.isValid() ? hostFrame : available;
  QPoint topLeft(over.x() + (over.width() - outer.width()) / 2,
                 over.y() + (over.height() - outer.height()) / 2);
  // Right and bottom first: where the wall is larger than the area, its top-left wins.
  topLeft.setX(
      std::max(std::min(topLeft.x(), available.x() + available.width() - outer.width()), available.x()));
  topLeft.setY(
      std::max(std::min(topLeft.y(), available.y() + available.height() - outer.height()), available.y()));
  placement.framePosition = topLeft;
  return placement;
}

}  // namespace orvane::ui
