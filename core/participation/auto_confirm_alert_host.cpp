#include "core/participation/auto_confirm_alert_host.hpp"

#include <utility>

#include "orvane/localized.hpp"

namespace orvane {

AutoConfirmAlertHost::AutoConfirmAlertHost(std::shared_ptr<MainQueue> queue, Listener listener,
                                           std::string confirmTitle)
    : queue_(std::move(queue)),
      listener_(std::move(listener)),
      confirmTitle_(confirmTitle.empty() ? localized("ov_confirm") : std::move(confirmTitle)) {}

void AutoConfirmAlertHost::present(Alert alert) {
  if (listener_) listener_(alert);
  std::function<void()> press;
  bool found = false;
  for (const auto& action : alert.actions) {
    if (action.title == confirmTitle_) {
      press = action.handler;
      found = true;
      break;
    }
  }
  alerts_.push_back(std::move(alert));
  if (!found || !queue_) return;
  // Pressed later, never from inside `present`: the flow may still be presenting.
  queue_->post([press = std::move(press), pressed = pressed_] {
    ++*pressed;
    if (press) press();
  });
}

}  // namespace orvane
