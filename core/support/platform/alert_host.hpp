#pragma once

#include <functional>
#include <string>
#include <vector>

namespace orvane {

struct AlertAction {
  enum class Style { normal, cancel, destructive };
  std::string title;
  Style style = Style::normal;
  std::function<void()> handler;  // may be empty; runs on the main thread after the press
  bool checked = false;           // action sheets: the current entry carries a check mark
  bool preferred = false;         // Enter presses it; else the first action that does not cancel
};

struct Alert {
  enum class Kind { alert, actionSheet };
  Kind kind = Kind::alert;
  std::string title;
  std::string message;
  std::vector<AlertAction> actions;  // shown in this order
};

// A screen that can present alerts and action sheets. Called on the main thread;
// `present` returns at once (never a nested event loop) and the alert closes itself
// when a button is pressed.
class AlertHost {
 public:
  virtual ~AlertHost() = default;
  virtual void present(Alert alert) = 0;
};

}  // namespace orvane
