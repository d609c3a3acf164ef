#pragma once

#include <QString>
#include <memory>

#include "ui/sdk/view_controller.hpp"

namespace orvane::ui {

// The wall's screens by name, as a phone's storyboard would hold them. The screens'
// layouts are Qt Designer .ui files in the SDK's resources.
//
// Identifiers: the initial screen (a NavigationController hosting an
// OrvaneViewController), "OrvaneViewController", "DetailViewController",
// "CanReceiveBenefitsViewController", "BenefitsViewController", "RequestViewController".
// A screen that cannot be made is reported with "Failed to instantiate nib " and its
// name at error level, and null comes back; the host keeps running. Each call makes a new instance, owned by
// the caller, made with the storyboard's services. GUI thread.
class Storyboard {
 public:
  // Null (and the log line) for any name but "OrvaneStoryboard". Without services, the
  // shared ones (Services::shared(), read now).
  static std::unique_ptr<Storyboard> named(const QString& name);
  static std::unique_ptr<Storyboard> named(const QString& name, Services services);

  ViewController* instantiateInitialViewController() const;
  ViewController* instantiateViewController(const QString& identifier) const;

 private:
  explicit Storyboard(Services services) : services_(std::move(services)) {}
  Services services_;
};

}  // namespace orvane::ui
