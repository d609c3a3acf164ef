#include "ui/sdk/view_controller.hpp"

#include "orvane/log.hpp"
#include "ui/sdk/navigation_controller.hpp"
#include "ui/sdk/storyboard.hpp"

namespace orvane::ui {

ViewController::ViewController(QWidget* parent) : QWidget(parent) {}

ViewController::ViewController(Services services, QWidget* parent)
    : QWidget(parent), services_(std::move(services)) {}

ViewController::~ViewController() { restoreBackControl(); }

void ViewController::restoreBackControl() {
  if (!renamedBelow_) return;
  renamedBelow_->navigationItem_.backButtonTitle = belowBackTitle_;
  emit renamedBelow_->navigationItemChanged();
  renamedBelow_ = nullptr;
}

void ViewController::nameBackControl(const QString& title) {
  auto* nav = navigationController();
  ViewController* below = nav ? nav->topViewController() : nullptr;
  if (below == nullptr || below == this) return;
  if (renamedBelow_ != below) {
    if (renamedBelow_) renamedBelow_->navigationItem_.backButtonTitle = belowBackTitle_;
    renamedBelow_ = below;
    belowBackTitle_ = below->navigationItem_.backButtonTitle;
  }
  below->navigationItem_.backButtonTitle = title;
  emit below->navigationItemChanged();
}

void ViewController::loadViewIfNeeded() {
  if (loaded_) return;
  loaded_ = true;
  viewDidLoad();
}

bool ViewController::performSegue(const QString& identifier, const QVariant& sender) {
  auto* nav = navigationController();
  if (nav == nullptr) {
    Log::log("performSegue without a navigation controller:", {identifier.toStdString()},
             Log::Level::error());
    return false;
  }
  if (!services_.platform) {
    Log::log("performSegue from a screen made without services:", {identifier.toStdString()},
             Log::Level::error());
    return false;
  }
  auto storyboard = Storyboard::named(QStringLiteral("OrvaneStoryboard"), services_);
  ViewController* destination = storyboard ? storyboard->instantiateViewController(identifier) : nullptr;
  if (destination == nullptr) return false;
  prepare(identifier, destination, sender);
  nav->pushViewController(destination, true);
  return true;
}

}  // namespace orvane::ui
