#pragma once

#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>

#include "ui/sdk/services.hpp"

namespace orvane::ui {

class NavigationController;

// What a screen shows in the navigation bar while it is on top of the stack.
struct NavigationItem {
  QString title;
  // Shown by the back control of the screen pushed above this one; empty means "Back".
  QString backButtonTitle;
};

// A screen of the wall: a widget with the phone-style lifecycle the screens rely on.
// The navigation container calls the lifecycle hooks; GUI thread only. A screen that
// uses services (the platform, the flow, ...) is made with them (ui/sdk/services.hpp).
class ViewController : public QWidget {
  Q_OBJECT

 public:
  // A screen that uses no service (a container, a test's screen).
  explicit ViewController(QWidget* parent = nullptr);
  explicit ViewController(Services services, QWidget* parent = nullptr);
  ~ViewController() override;

  // What the screen was made with; empty (no platform) for a screen made without.
  const Services& services() const { return services_; }

  NavigationItem& navigationItem() { return navigationItem_; }
  const NavigationItem& navigationItem() const { return navigationItem_; }
  // The container this screen is on, or null.
  NavigationController* navigationController() const { return navigationController_; }

  // Runs viewDidLoad once, the first time the screen is needed.
  void loadViewIfNeeded();
  bool isViewLoaded() const { return loaded_; }

  // Performs a transition of the storyboard ("DetailViewController"): the storyboard
  // makes the destination with this screen's services, `prepare` hands it what it
  // needs, then it is pushed. False (and a log line) when the transition or its screen
  // cannot be made, or this screen has no services.
  bool performSegue(const QString& identifier, const QVariant& sender);

 protected:
  virtual void viewDidLoad() {}
  virtual void viewWillAppear() {}
  virtual void viewDidAppear() {}
  virtual void viewWillDisappear() {}
  virtual void viewDidDisappear() {}
  // Called by performSegue before the destination is shown.
  virtual void prepare(const QString& /*identifier*/, ViewController* /*destination*/,
                       const QVariant& /*sender*/) {}
  // Names the back control above the screen under this one, while this screen lives:
  // the old name comes back when it goes, so a screen pushed later shows no stale name.
  void nameBackControl(const QString& title);

 signals:
  // The navigation item changed (title or back title); the bar updates.
  void navigationItemChanged();

 private:
  friend class NavigationController;
  // Gives the screen below its own back name again; done when this screen leaves the
  // stack, since it is deleted only later and a screen pushed meanwhile reads that name.
  void restoreBackControl();
  Services services_;
  NavigationItem navigationItem_;
  NavigationController* navigationController_ = nullptr;
  bool loaded_ = false;
  QPointer<ViewController> renamedBelow_;
  QString belowBackTitle_;
};

}  // namespace orvane::ui
