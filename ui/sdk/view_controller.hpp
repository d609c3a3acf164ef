#pragma once

#include <QString>
#include <QVariant>
#include <QWidget>

namespace orvane::ui {

class NavigationController;

// What a screen shows in the navigation bar while it is on top of the stack.
struct NavigationItem {
  QString title;
  // Shown by the back control of the screen pushed above this one; empty means "Back".
  QString backButtonTitle;
};

// A screen of the wall: a widget with the phone-style lifecycle the screens rely on.
// The navigation container calls the lifecycle hooks; GUI thread only.
class ViewController : public QWidget {
  Q_OBJECT

 public:
  explicit ViewController(QWidget* parent = nullptr);
  ~ViewController() override;

  NavigationItem& navigationItem() { return navigationItem_; }
  const NavigationItem& navigationItem() const { return navigationItem_; }
  // The container this screen is on, or null.
  NavigationController* navigationController() const { return navigationController_; }

  // Runs viewDidLoad once, the first time the screen is needed.
  void loadViewIfNeeded();
  bool isViewLoaded() const { return loaded_; }

  // Performs a transition of the storyboard ("DetailViewController"): the storyboard
  // makes the destination, `prepare` hands it what it needs, then it is pushed.
  // False (and a log line) when the transition or its screen cannot be made.
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

 signals:
  // The navigation item changed (title or back title); the bar updates.
  void navigationItemChanged();

 private:
  friend class NavigationController;
  NavigationItem navigationItem_;
  NavigationController* navigationController_ = nullptr;
  bool loaded_ = false;
};

}  // namespace orvane::ui
