#pragma once

#include <QColor>

namespace orvane::ui {

// One carousel card: its colour, and whether it is dimmed (every card but the centred one).
struct MyModel {
  QColor color;
  bool isDimmed = true;
};

}  // namespace orvane::ui
