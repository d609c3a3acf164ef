#include "ui/sdk/storyboard.hpp"

#include "orvane/log.hpp"
#include "ui/inquiry/request_view_controller.hpp"
#include "ui/screens/benefits_view_controller.hpp"
#include "ui/screens/can_receive_benefits_view_controller.hpp"
#include "ui/screens/detail_view_controller.hpp"
#include "ui/screens/orvane_view_controller.hpp"
#include "ui/sdk/navigation_controller.hpp"

namespace orvane::ui {

namespace {

constexpr char kStoryboardName[] = "OrvaneStoryboard";

void reportMissing(const QString& name) {
  Log::log("Failed to instantiate nib " + name.toStdString(), Log::Level::error());
}

}  // namespace

std::unique_ptr<Storyboard> Storyboard::named(const QString& name) {
  if (name != QLatin1String(kStoryboardName)) {
    reportMissing(name);
    return nullptr;
  }
  return named(name, Services::shared());
}

std::unique_ptr<Storyboard> Storyboard::named(const QString& name, Services services) {
  if (name != QLatin1String(kStoryboardName)) {
    reportMissing(name);
    return nullptr;
  }
  return std::unique_ptr<Storyboard>(new Storyboard(std::move(services)));
}

ViewController* Storyboard::instantiateInitialViewController() const {
  auto* root = instantiateViewController(QStringLiteral("OrvaneViewController"));
  if (root == nullptr) return nullptr;
  return new NavigationController(root, services_);
}

ViewController* Storyboard::instantiateViewController(const QString& identifier) const {
  if (identifier == QLatin1String("OrvaneViewController")) return new OrvaneViewController(services_);
  if (identifier == QLatin1String("DetailViewController")) return new DetailViewController(services_);
  if (identifier == QLatin1String("CanReceiveBenefitsViewController"))
    return new CanReceiveBenefitsViewController(services_);
  if (identifier == QLatin1String("RequestViewController")) return new RequestViewController(services_);
  if (identifier == QLatin1String("BenefitsViewController")) return new BenefitsViewController(services_);
  reportMissing(identifier);
  return nullptr;
}

}  // namespace orvane::ui
