#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/support/platform/alert_host.hpp"
#include "core/support/platform/main_queue.hpp"

namespace orvane {

// An alert host for a program without a screen (a command-line host, an end-to-end
// test): it reports and keeps every alert, then presses the alert's confirm button on
// the next turn of the main queue, as a user would after reading it. An alert without
// that button is left unanswered. Main thread.
class AutoConfirmAlertHost : public AlertHost {
 public:
  using Listener = std::function<void(const Alert&)>;

  // `confirmTitle` empty means the text of "ov_confirm".
  explicit AutoConfirmAlertHost(std::shared_ptr<MainQueue> queue, Listener listener = nullptr,
                                std::string confirmTitle = {});

  void present(Alert alert) override;

  const std::vector<Alert>& alerts() const { return alerts_; }
  std::size_t pressed() const { return *pressed_; }

 private:
  std::shared_ptr<MainQueue> queue_;
  Listener listener_;
  std::string confirmTitle_;
  std::vector<Alert> alerts_;
  std::shared_ptr<std::size_t> pressed_ = std::make_shared<std::size_t>(0);
};

}  // namespace orvane
