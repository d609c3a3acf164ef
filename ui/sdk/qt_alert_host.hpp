#pragma once

#include <QPointer>
#include <QWidget>

#include "core/support/platform/alert_host.hpp"

namespace orvane::ui {

// Presents alerts and action sheets inside a window, phone style: the window dimmed,
// a card (or a sheet sliding up from the bottom) with the buttons in order. Never a
// nested event loop: `present` returns at once and the handler runs after the press.
// Alerts queue up: a second alert shows when the first closes. Esc presses the
// cancel button, or the only button of a one-button alert; Enter the preferred button,
// else the first non-cancel one; Tab moves among the buttons only. Over a
// NavigationController, Esc goes to whichever layer is topmost (ui/sdk/layers.hpp).
// GUI thread only.
// Buttons carry objectName "alert_button_<index>" and accessible names = their titles,
// the card "orvane_alert"; tests find and click them.
class QtAlertHost : public AlertHost {
 public:
  // Alerts are drawn over `window`; when the window goes away pending alerts are dropped.
  // Action sheets slide up when `animated`.
  explicit QtAlertHost(QWidget* window, bool animated = true);
  ~QtAlertHost() override;

  void present(Alert alert) override;

  // The alert now on screen, if any (tests).
  QWidget* currentAlertWidget() const;

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

}  // namespace orvane::ui
