#include "platform/qt/qt_url_opener.hpp"

#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QStringList>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <map>
#include <thread>

#include "core/participation/link_url.hpp"
#include "orvane/log.hpp"
#include "platform/qt/qt_device_info.hpp"
#include "platform/qt/qt_tracking_authorization.hpp"
#include "platform/xdg/handler_cache.hpp"
#include "platform/xdg/mime_apps.hpp"

namespace orvane::qt {

namespace {

using SteadyClock = std::chrono::steady_clock;

bool isSettingsUrl(const QUrl& url) {
  return url == QUrl(QString::fromLatin1(QtDeviceInfo::kPrivacySettingsUrl));
}

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The URL as the desktop gets it: absolute, well formed; null otherwise.
std::optional<QUrl> parsed(const std::string& url) {
  if (!parsesAsUrl(url)) return std::nullopt;
  QUrl u(QString::fromStdString(url), QUrl::StrictMode);
  if (!u.isValid() || u.scheme().isEmpty()) return std::nullopt;
  const auto scheme = u.scheme().toLower();
  if ((scheme == "http" || scheme == "https") && u.host().isEmpty()) return std::nullopt;
  return u;
}

void logError(const std::string& message) { Log::log(message, Log::Level::error()); }

// Starts the handler detached (double fork: no zombie, and it outlives us), the URL a
// single argument. True when its program was executed.
bool launch(const xdg::HandlerLookup& found, const std::string& url, std::string& why) {
  const auto argv = xdg::expandExec(*found.handler, url);
  if (!argv) {
    why = "its Exec line is malformed";
    return false;
  }
  QStringList arguments;
  for (std::size_t i = 1; i < argv->size(); ++i) arguments << QString::fromStdString((*argv)[i]);
  const QString dir = QString::fromStdString(found.handler->workingDirectory);
  const QString workingDirectory = QDir::isAbsolutePath(dir) && QDir(dir).exists() ? dir : QString();
  if (!QProcess::startDetached(QString::fromStdString(found.program), arguments, workingDirectory)) {
    why = "its program did not start";
    return false;
  }
  return true;
}

}  // namespace

QtUrlOpener::QtUrlOpener(std::shared_ptr<MainQueue> mainQueue,
                         std::shared_ptr<QtTrackingAuthorization> tracking)
    : QtUrlOpener(std::move(mainQueue), std::move(tracking), Options{}) {}

QtUrlOpener::QtUrlOpener(std::shared_ptr<MainQueue> mainQueue,
                         std::shared_ptr<QtTrackingAuthorization> tracking, Options options)
    : mainQueue_(std::move(mainQueue)),
      tracking_(tracking),
      options_(std::move(options)),
      handlers_(std::make_shared<xdg::HandlerCache>()) {}

QtUrlOpener::~QtUrlOpener() = default;

xdg::XdgEnvironment QtUrlOpener::environment() const {
  return options_.environment ? options_.environment() : xdg::XdgEnvironment::fromProcess();
}

bool QtUrlOpener::canOpen(const std::string& url) const {
  const auto u = parsed(url);
  if (!u) return false;
  if (isSettingsUrl(*u)) return !tracking_.expired();
  const std::string scheme = lowerCase(u->scheme().toStdString());
  {
    std::lock_guard lock(mutex_);
    if (extraSchemes_.count(scheme) > 0) return true;
  }
  return handlers_->found(scheme, environment(), SteadyClock::now() + options_.timeLimit);
}

void QtUrlOpener::complete(std::function<void(bool)> completion, bool opened) const {
  if (!completion) return;
  if (mainQueue_) {
    mainQueue_->post([completion = std::move(completion), opened] { completion(opened); });
  } else {
    completion(opened);
  }
}

void QtUrlOpener::open(const std::string& url, std::function<void(bool opened)> completion) {
  const auto u = parsed(url);
  if (!u) {
    logError("QtUrlOpener not an absolute URL, nothing opened : " + url);
    complete(std::move(completion), false);
    return;
  }
  if (isSettingsUrl(*u)) {
    bool opened = false;
    if (auto tracking = tracking_.lock()) {
      tracking->showSettings();
      opened = true;
    }
    complete(std::move(completion), opened);
    return;
  }
  const std::string scheme = lowerCase(u->scheme().toStdString());
  bool declared = false;
  {
    std::lock_guard lock(mutex_);
    declared = extraSchemes_.count(scheme) > 0;
  }
  if (declared) {
    complete(std::move(completion), QDesktopServices::openUrl(*u));
    return;
  }
  if (!mainQueue_) {
    logError("QtUrlOpener no main queue to report on, nothing opened : " + url);
    complete(std::move(completion), false);
    return;
  }

  // Looking: the worker may still start the handler. Launching: it is starting it
  // and will report. Done: reported (the worker's answer, or the time limit's).
  enum : int { kLooking, kLaunching, kDone };
  struct Attempt {
    std::atomic<int> state{kLooking};
    std::function<void(bool)> completion;
    std::string url;
    void report(bool opened, const std::string& note) const {
      if (opened) {
        Log::log("QtUrlOpener opened with " + note + " : " + url, Log::Level::info());
      } else {
        logError("QtUrlOpener not opened (" + note + ") : " + url);
      }
      if (completion) completion(opened);
    }
  };
  auto attempt = std::make_shared<Attempt>();
  attempt->completion = std::move(completion);
  attempt->url = url;

  std::thread([attempt, queue = mainQueue_, handlers = handlers_, env = environment(), scheme,
               deadline = SteadyClock::now() + options_.timeLimit] {
    const auto found = xdg::findUrlHandler(env, scheme, deadline);
    handlers->record(scheme, found);
    bool opened = false;
    std::string note;
    int expected = kLooking;
    if (found.status != xdg::HandlerLookup::Status::found) {
      if (!attempt->state.compare_exchange_strong(expected, kDone)) return;  // the limit has reported
      note = found.status == xdg::HandlerLookup::Status::timedOut ? "the look-up ran out of time"
                                                                  : "no application handles " + scheme + ":";
    } else {
      if (!attempt->state.compare_exchange_strong(expected, kLaunching)) return;  // too late to start it
      opened = launch(found, attempt->url, note);
      if (opened) note = found.handler->id;
      attempt->state = kDone;
    }
    queue->post([attempt, opened, note] { attempt->report(opened, note); });
  }).detach();

  mainQueue_->postDelayed(options_.timeLimit, [attempt] {
    int expected = kLooking;
    if (attempt->state.compare_exchange_strong(expected, kDone)) attempt->report(false, "time limit reached");
  });
}

void QtUrlOpener::addOpenableScheme(std::string scheme) {
  std::lock_guard lock(mutex_);
  extraSchemes_.insert(lowerCase(std::move(scheme)));
}

}  // namespace orvane::qt
