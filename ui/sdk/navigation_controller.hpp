#pragma once

#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "ui/sdk/view_controller.hpp"

namespace orvane::ui {

class QtAlertHost;

// The wall's navigation container: a bar (title of the top screen, a back control
// with the previous screen's back title, close, and extra actions) over a stack of
// screens. Pushes and pops slide in 250 ms; with the services' animations off (tests)
// they are instant, and so are the sheets of its alert host. Owns the screens on its
// stack. GUI thread only.
class NavigationController : public ViewController {
  Q_OBJECT

 public:
  explicit NavigationController(ViewController* root, Services services = {}, QWidget* parent = nullptr);
  ~NavigationController() override;

  void pushViewController(ViewController* controller, bool animated);
  // Pops the top screen (never the root) and deletes it once it is off screen.
  void popViewController(bool animated);
  void popToRootViewController(bool animated);

  ViewController* topViewController() const;
  ViewController* rootViewController() const;
  std::vector<ViewController*> viewControllers() const;

  // Alerts of the wall's screens are drawn over this container.
  std::shared_ptr<QtAlertHost> alertHost() const;

  // What Esc does: closes the topmost layer drawn over the container (the rewards
  // pop-up, an alert, an action sheet), else pops the top screen, else asks to close
  // the wall (closeRequested). Esc pressed anywhere inside the container lands here;
  // a held key closes one layer only.
  void handleEscape();

 signals:
  // The close control was pressed, or Esc with nothing left to close; the presenter
  // (the facade) closes the wall.
  void closeRequested();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void adopt(ViewController* controller);
  void transition(ViewController* from, ViewController* to, bool forward, bool animated,
                  std::vector<QPointer<ViewController>> discarded);
  void finishRunningTransition();
  void updateBar();
  void layoutScreens();

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvane::ui
