#pragma once

// What the headless tour does with the wall in place of a person: finding its parts,
// taps, and waiting for the screen to come to rest.
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

namespace orvane::ui {
class NavigationController;
}

namespace demo::tour {

// Prints one line of the tour at once.
void say(const QString& text);

// Polls `ready` on the event loop every 50 ms; `then(true)` once it holds, `then(false)`
// after `timeoutMs`.
void waitFor(std::function<bool()> ready, int timeoutMs, std::function<void(bool)> then);

// The presented wall's window and its navigation container, if shown.
QWidget* wallWindow();
orvane::ui::NavigationController* wallNavigation();

// Nothing in `window` moves and every image it shows has arrived: ready for a screenshot.
bool isAtRest(QWidget* window);

// The visible child of the wall named `name`, of type T.
template <class T>
T* findIn(const char* name) {
  QWidget* wall = wallWindow();
  if (!wall) return nullptr;
  for (T* w : wall->findChildren<T*>(QString::fromLatin1(name))) {
    if (w->isVisible()) return w;
  }
  return nullptr;
}

// The alert or sheet on screen, its button titled `title`, and "title: message".
QWidget* currentAlert();
QWidget* alertButton(const QString& title);
QString alertText(QWidget* card);

// A click of the left button at `at` (the middle by default) in `widget`.
void tap(QWidget* widget, std::optional<QPoint> at = std::nullopt);

}  // namespace demo::tour
