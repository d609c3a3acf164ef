#pragma once

// What the headless tour does with the wall in place of a person: taps, typing, waiting
// for the screen to come to rest, and a picture source that stands for the file dialog.
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/inquiry/picture_source.hpp"
#include "core/support/platform/http_session.hpp"
#include "core/support/platform/main_queue.hpp"

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
// Types `text` into `field` key by key, after what it holds.
void typeText(QWidget* field, const QString& text);

// Draws two phone screenshots of a reward that did not arrive, as PNG files in `dir`.
// Slow enough to keep off the GUI thread.
QStringList drawScreenshots(const QString& dir, const QString& campaignName);

// Stands for the file dialog: the user picks the given files, as many as the form allows.
class ChosenPictures : public orvane::inquiry::PictureSource {
 public:
  explicit ChosenPictures(QStringList files) : files_(std::move(files)) {}

  bool hasCamera() const override { return false; }
  void pickPictures(int limit, Picked done) override;
  void takePhoto(Picked done) override;

 private:
  QStringList files_;
};

// Hands every request on, and a copy of each answer to a POST to a URL ending in `path`
// to `seen` on the main queue: what the server answered, as the SDK received it.
class AnswerTap : public orvane::HttpSession {
 public:
  using Seen = std::function<void(const orvane::Result<orvane::HttpResponse>&)>;
  AnswerTap(std::shared_ptr<orvane::HttpSession> inner, std::shared_ptr<orvane::MainQueue> queue,
            std::string path, Seen seen);

  orvane::RequestHandle send(orvane::HttpRequest request, Completion completion) override;

 private:
  std::shared_ptr<orvane::HttpSession> inner_;
  std::shared_ptr<orvane::MainQueue> queue_;
  std::string path_;
  Seen seen_;
};

}  // namespace demo::tour
